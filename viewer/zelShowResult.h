#pragma once

#include <cstdint>

// The viewer library's one export: shows the result page `fileName` (zero-terminated, in
// the file system's own bytes) in a modal window over the application window `parent` (its WId),
// and returns the viewer window's handle (0 when it could not be created).
// Bound by name when the program loads.
extern "C" __attribute__((visibility("default"))) std::uintptr_t zelShowResult(std::uintptr_t parent,
                                                                               const char* fileName);
