#include "TestChecks.h"

#include "platform/Cp1252.h"
#include "platform/NumberText.h"

namespace {

// The one upper bound that stands for "no limit".
const QString kUnlimitedBound = QStringLiteral("99999999");

QString Fraction(const char* whole, QChar decimalSeparator) {
    return QString::fromLatin1(whole) + decimalSeparator + u'0';
}

} // namespace

QString TemperatureMax(bool fahrenheit) {
    return fahrenheit ? QStringLiteral("248") : QStringLiteral("120");
}

std::vector<TRangeCheck> TestRangeChecks(QChar decimalSeparator, const QString& totalChlorineText,
                                         bool fahrenheit) {
    return {
        {"eVolume", "Volume", "1", kUnlimitedBound},
        {"eAlkalinity", "Total Alkalinity", "0", "1000"},
        {"ePH", "pH", "0", Fraction("14", decimalSeparator)},
        {"eHardness", "Total Hardness", "0", "10000"},
        {"eCopper", "Copper", "0", Fraction("5", decimalSeparator)},
        {"eIron", "Iron", "0", Fraction("5", decimalSeparator)},
        {"eTDS", "TDS", "0", "10000"},
        {"eORP", "ORP", "0", "1000"},
        {"eTotalChlorine", "Total chlorine", "0", "30"},
        {"eFree", "Free chlorine can only be equal to or lower than total chlorine", "0", totalChlorineText},
        {"eBromine", "Bromine", "0", "60"},
        {"eCyanuric", "Cyanuric Acid", "0", "100"},
        {"eTemperature", "Temperature", "0", TemperatureMax(fahrenheit)},
        {"eAcid", "Acid Demand", "0", "1000"},
    };
}

QString TrimmedText(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= u' ')
        ++first;
    while (last > first && text[last - 1].unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

long double BoundValue(const QString& text, QChar decimalSeparator) {
    const QString trimmed = TrimmedText(text);
    if (trimmed.isEmpty()) return 0;
    const char separator = static_cast<char>(platform::UnicodeToCp1252(decimalSeparator.unicode()));
    return platform::ParseNumber(platform::ToCp1252(trimmed), separator).value_or(0.0L);
}

bool PassesRange(long double value, const TRangeCheck& check, QChar decimalSeparator) {
    return BoundValue(check.lower, decimalSeparator) <= value &&
           value <= BoundValue(check.upper, decimalSeparator);
}

QString RangeWarningText(const TRangeCheck& check) {
    // QString compares code units in order: the plain byte comparison of these ASCII texts.
    const QString upper =
        check.upper.compare(kUnlimitedBound) >= 0 ? QStringLiteral("unlimited") : check.upper;
    return check.label + QStringLiteral(": Available value range ") + check.lower + QStringLiteral(" .. ") +
           upper;
}

QString DamagedNumbersText(const QStringList& labels) {
    return QStringLiteral("The stored record holds no valid number in: %1. These fields are shown empty; "
                          "Save stores what they show.")
        .arg(labels.join(QStringLiteral(", ")));
}

std::optional<QString> FilledBodyNote(const QString& note, int kindIndex) {
    if (!TrimmedText(note).isEmpty() || kindIndex < 0 ||
        kindIndex >= static_cast<int>(kBodyKindCaptions.size()))
        return std::nullopt;
    return QString::fromLatin1(kBodyKindCaptions[static_cast<std::size_t>(kindIndex)]);
}
