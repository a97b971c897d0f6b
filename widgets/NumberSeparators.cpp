#include "NumberSeparators.h"

#include "platform/Cp1252.h"
#include "platform/NumberText.h"
#include "platform/WindowsLocale.h"

namespace widgets {
namespace {

char Byte(QChar c) {
    return static_cast<char>(platform::UnicodeToCp1252(c.unicode()));
}

QChar FromByte(char byte) {
    return QChar(static_cast<char16_t>(platform::Cp1252ToUnicode(static_cast<unsigned char>(byte))));
}

// A text with a character the code page lacks is no number; '?' must not stand in for it.
std::optional<std::string> Bytes(const QString& text) {
    const std::string bytes = platform::ToCp1252(text);
    if (platform::FromCp1252(bytes) != text) return std::nullopt;
    return bytes;
}

} // namespace

NumberSeparators UserNumberSeparators() {
    const QLocale locale;
    NumberSeparators s;
    s.decimal = FromByte(platform::DecimalSeparatorByte(locale));
    s.thousand = FromByte(platform::ThousandSeparatorByte(locale));
    s.currency = locale.currencySymbol();
    return s;
}

std::optional<long double> ParseNumberText(const QString& text, QChar decimalSeparator) {
    const std::optional<std::string> bytes = Bytes(text);
    if (!bytes) return std::nullopt;
    return platform::ParseNumber(*bytes, Byte(decimalSeparator));
}

std::optional<double> ParseDoubleText(const QString& text, QChar decimalSeparator) {
    const std::optional<std::string> bytes = Bytes(text);
    if (!bytes) return std::nullopt;
    return platform::ParseDouble(*bytes, Byte(decimalSeparator));
}

QString GeneralText(long double value, int significantDigits, QChar decimalSeparator) {
    return platform::FromCp1252(platform::FormatGeneral(value, significantDigits, Byte(decimalSeparator)));
}

QString FixedText(long double value, int decimals, QChar decimalSeparator) {
    return platform::FromCp1252(platform::FormatFixed(value, decimals, Byte(decimalSeparator)));
}

QString PictureText(long double value, const QString& picture, const NumberSeparators& separators) {
    return platform::FromCp1252(platform::FormatPicture(value, platform::ToCp1252(picture),
                                                        Byte(separators.decimal), Byte(separators.thousand)));
}

} // namespace widgets
