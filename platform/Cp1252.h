#pragma once

#include <QString>
#include <string>
#include <string_view>

// Windows-1252, the code page of every stored text and of the advice page.
// The five bytes Windows leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// code points of the same value, as MultiByteToWideChar does, so every byte round-trips.
namespace platform {

char32_t Cp1252ToUnicode(unsigned char byte);
// The byte for a code point, or '?' when the code page has none.
unsigned char UnicodeToCp1252(char32_t codePoint);

QString FromCp1252(std::string_view bytes);
std::string ToCp1252(const QString& text);

} // namespace platform
