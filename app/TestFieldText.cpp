#include "TestFieldText.h"

#include "TestChecks.h"
#include "app/BrinovaAPI.h"
#include "platform/Cp1252.h"
#include "platform/DateTimeText.h"

#include <QStringList>
#include <cmath>

namespace {

constexpr qsizetype kTimeEditLength = 5;

bool HasDayHalfMark(const QString& format) {
    const QString lower = format.toLower();
    return lower.contains(u"ampm") || lower.contains(u"am/pm") || lower.contains(u"a/p");
}

// Which half of the day a mark names: 0 none, 1 before noon, 2 after noon; -1 an unknown word.
int DayHalfOf(const QString& word, const platform::FormatSettings& settings) {
    if (word.isEmpty()) return 0;
    const auto is = [&word](const QString& mark) {
        return !mark.isEmpty() && word.compare(mark, Qt::CaseInsensitive) == 0;
    };
    if (is(settings.timeAMString) || is(QStringLiteral("AM"))) return 1;
    if (is(settings.timePMString) || is(QStringLiteral("PM"))) return 2;
    return -1;
}

std::optional<int> DigitsValue(const QString& digits) {
    if (digits.isEmpty() || digits.size() > 4) return std::nullopt;
    int value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

QString MemoTextOf(const std::string& stored) {
    QString text = platform::FromCp1252(stored);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string StoredMemoText(const QString& memoText, std::size_t capacity) {
    std::string stored = WithCrLfBreaks(platform::ToCp1252(memoText));
    if (capacity > 0 && stored.size() > capacity - 1) stored.resize(capacity - 1);
    return stored;
}

qsizetype StoredLength(const QString& memoText) {
    return memoText.size() + memoText.count(u'\n');
}

QString TimeEditText(double time, const platform::FormatSettings& settings) {
    if (!HasDayHalfMark(settings.shortTimeFormat)) {
        const QString text = platform::FormatDateTime(settings.shortTimeFormat, time, settings);
        if (!text.isEmpty() && text.size() <= kTimeEditLength) return text;
    }
    return platform::FormatDateTime(QStringLiteral("h:nn"), time, settings);
}

std::optional<double> ParseTimeText(const QString& text, const platform::FormatSettings& settings) {
    QString rest = TrimmedText(text);
    if (rest.isEmpty()) return 0.0;
    // The day-half mark is a word of letters at either end.
    QString mark;
    qsizetype letters = 0;
    while (letters < rest.size() && rest[letters].isLetter())
        ++letters;
    if (letters > 0) {
        mark = rest.left(letters);
        rest = TrimmedText(rest.mid(letters));
    } else {
        qsizetype start = rest.size();
        while (start > 0 && rest[start - 1].isLetter())
            --start;
        mark = rest.mid(start);
        rest = TrimmedText(rest.left(start));
    }
    const int half = DayHalfOf(mark, settings);
    if (half < 0) return std::nullopt;

    const QStringList parts = rest.split(settings.timeSeparator);
    if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
    const std::optional<int> hour = DigitsValue(TrimmedText(parts[0]));
    const std::optional<int> minute = DigitsValue(TrimmedText(parts[1]));
    const std::optional<int> second =
        parts.size() == 3 ? DigitsValue(TrimmedText(parts[2])) : std::optional<int>(0);
    if (!hour || !minute || !second || *minute > 59 || *second > 59) return std::nullopt;
    int h = *hour;
    if (half != 0) {
        if (h < 1 || h > 12) return std::nullopt;
        h = h % 12 + (half == 2 ? 12 : 0);
    } else if (h > 23) {
        return std::nullopt;
    }
    return (h * 3600.0 + *minute * 60.0 + *second) / 86400.0;
}

std::optional<double> StoredTimeOfDay(double time) {
    if (!std::isfinite(time)) return std::nullopt;
    // A day count before 1899 counts its time of day forwards too: -1.25 is 6 in the morning.
    return std::fabs(time - std::trunc(time));
}

QString InvalidTimeText(const QString& text) {
    return QStringLiteral("Time: '%1' is not a valid time").arg(text);
}
