#include "PopupCalendar.h"

#include "platform/DateTimeText.h"
#include "zlStrUtils.h"

#include <cmath>

namespace widgets {

QString CalendarTitleText(TDateTime date, const platform::FormatSettings& locale) {
    return platform::FormatDateTime(QStringLiteral("MMMM, YYYY"), date, locale);
}

TDateTime PopupCalendarDate(const QVariant& value, const platform::FormatSettings& locale) {
    if (value.isNull() || !value.isValid()) return Today();
    TDateTime date = NoDate;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (TrimBlanks(ReplaceAll(text, QString(locale.dateSeparator), QString())).isEmpty()) return Today();
        if (!TryTextToDate(locale.shortDateFormat, text, date, locale)) return Today();
    } else {
        bool isNumber = false;
        date = value.toDouble(&isNumber);
        if (!isNumber) return Today();
    }
    if (!IsValidDateValue(date)) return Today();
    return std::trunc(date);
}

std::array<QString, 4> NavigationHints(const std::array<QString, 4>& builtIn, const QStringList& hints) {
    std::array<QString, 4> result = builtIn;
    for (int i = 0; i < std::min<int>(hints.size(), 4); ++i)
        if (!hints[i].isEmpty()) result[i] = hints[i];
    return result;
}

QString ShortHint(const QString& hint) {
    return hint.section(QLatin1Char('|'), 0, 0);
}

} // namespace widgets
