#include "NumberSeparators.h"

#include "platform/Cp1252.h"
#include "platform/WindowsLocale.h"

namespace widgets {

NumberSeparators UserNumberSeparators() {
    const QLocale locale;
    NumberSeparators s;
    s.decimal = platform::DecimalSeparatorByte(locale);
    s.thousand = platform::ThousandSeparatorByte(locale);
    s.currency = platform::ToCp1252(locale.currencySymbol());
    return s;
}

} // namespace widgets
