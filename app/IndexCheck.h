#pragma once

#include "storage/Storage.h"

#include <cstdint>

// Whether the index of the program's open Fileblock holds the entries of its live records, and
// nothing else: every live body once in key 1 under its own number, every live test once in
// key 2 under its body's number (a live body's: a test whose body is gone is damage too), as
// the index rebuild makes them. An index can be in order and still leave a record out (a byte
// of an entry changed), and such a record would be shown nowhere.
//
// One pass over the records and one step through each key. 0 when the index holds them; 10010
// when it does not; the engine's code when a record or an entry could not be read.
std::int32_t IndexDamage(Fileblock* fb);
