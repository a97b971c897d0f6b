#pragma once

#include <string>

// The user's number settings as Windows-1252 bytes, the form in which the calculator and the
// numeric edit handle their texts.
namespace widgets {

struct NumberSeparators {
    char decimal = '.';
    char thousand = ',';
    std::string currency; // the currency symbol, may be empty
};

// The settings of the user's locale (QLocale(); tests set the default).
NumberSeparators UserNumberSeparators();

} // namespace widgets
