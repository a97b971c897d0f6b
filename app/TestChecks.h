#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

// The checks the test form runs before it stores its fields: each typed value against a fixed
// range, and the warning that names the field and the range. The bounds are texts: read as
// numbers for the comparison and shown as they stand.

struct TRangeCheck {
    const char* editName; // the numeric edit whose value is checked
    QString label;
    QString lower;
    QString upper;
};

// The captions of the body kinds as the form's radio group shows them (item index = kind byte).
inline constexpr std::array<const char*, 5> kBodyKindCaptions = {"Pool", "Spa/Hot Tub", "Pond", "Waterscape",
                                                                 "Other"};

// "248" for Fahrenheit, "120" for Celsius.
QString TemperatureMax(bool fahrenheit);

// The 14 checks in the order they run. The fractional bounds carry `decimalSeparator`; free
// chlorine is bounded by `totalChlorineText`, the total chlorine edit's text as it stands.
std::vector<TRangeCheck> TestRangeChecks(QChar decimalSeparator, const QString& totalChlorineText,
                                         bool fahrenheit);

// Blanks and control characters trimmed from both ends.
QString TrimmedText(const QString& text);

// The bound text as a number with the locale's separator; empty or unreadable text reads 0.
long double BoundValue(const QString& text, QChar decimalSeparator);

// Both bounds are inclusive.
bool PassesRange(long double value, const TRangeCheck& check, QChar decimalSeparator);

// label + ": Available value range " + lower + " .. " + upper; an upper text at or above
// "99999999" (compared as plain text) shows "unlimited".
QString RangeWarningText(const TRangeCheck& check);

// The warning when the loaded blocks hold reals that are no finite number (a damaged record):
// names the fields, which the form shows empty.
QString DamagedNumbersText(const QStringList& labels);

// When every check passed: a blank body note becomes the chosen kind's caption; nothing when
// the note has text or no kind is chosen.
std::optional<QString> FilledBodyNote(const QString& note, int kindIndex);
