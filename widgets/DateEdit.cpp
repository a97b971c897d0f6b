#include "DateEdit.h"

#include "zlStrUtils.h"

namespace widgets {

bool HasDateText(const QString& text, QChar blanksChar, const platform::FormatSettings& locale) {
    const QString empty = QString(QChar(0)) + QLatin1Char(' ') + locale.dateSeparator + blanksChar;
    return !AllCharsIn(text, empty);
}

TDateTime DateOr(TDateTime date, TDateTime fallback) {
    return date == NoDate ? fallback : date;
}

std::optional<TDateTime> SteppedDate(TDateTime date, int days, TDateTime now) {
    const TDateTime stepped = DateOr(date, now) + days;
    if (!IsValidDateValue(stepped)) return std::nullopt;
    return stepped;
}

QStringList TrimmedCalendarHints(QStringList hints) {
    while (hints.size() > kCalendarHintLines)
        hints.removeLast();
    return hints;
}

} // namespace widgets
