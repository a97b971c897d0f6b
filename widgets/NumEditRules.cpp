#include "NumEditRules.h"

#include "zlStrUtils.h"

#include <algorithm>

namespace widgets {

int ClampDecimalPlaces(long long places) {
    return static_cast<int>(std::clamp<long long>(places, 0, kMaxDecimalPlaces));
}

QString NormaliseNumberText(const QString& text, const NumberSeparators& separators) {
    QString s = TrimBlanks(text);
    const QChar decimal = separators.decimal;
    const QChar thousand = separators.thousand;
    if (decimal != thousand) s = RemoveChar(s, thousand);
    if (decimal != u'.' && thousand != u'.') s = ReplaceAll(s, QStringLiteral("."), decimal);
    if (decimal != u',' && thousand != u',') s = ReplaceAll(s, QStringLiteral(","), decimal);
    if (s.isEmpty()) return QStringLiteral("0");
    if (s == u"-") return QStringLiteral("-0");
    return s;
}

std::optional<long double> ParsesAsNumber(const QString& s, const NumberSeparators& separators) {
    if (!AllCharsIn(s, QStringLiteral("+-0123456789Ee") + separators.decimal)) return std::nullopt;
    return ParseNumberText(s, separators.decimal); // all of it, however long
}

std::optional<long double> NumberOfText(const QString& s, const NumberSeparators& separators) {
    return ParseNumberText(NormaliseNumberText(s, separators), separators.decimal);
}

long double CheckNumberRange(long double x, const NumberRange& range) {
    const long double lo = range.minValue;
    const long double hi = range.maxValue;
    if (lo == hi) return x;
    if (lo < hi) return std::clamp(x, lo, hi);
    if (hi == 0) return std::max(x, lo);
    if (lo == 0) return std::min(x, hi);
    return x;
}

QString RangeErrorText(const QString& pattern, int places, const NumberRange& range, QChar decimalSeparator) {
    // The pattern's "%d" stand for the two bounds in fixed point with the edit's places.
    const QString fixed = QStringLiteral("%.*f");
    QString s = ReplaceAll(pattern, QStringLiteral("%d"), fixed);
    const QString bounds[2] = {FixedText(range.minValue, places, decimalSeparator),
                               FixedText(range.maxValue, places, decimalSeparator)};
    for (const QString& bound : bounds) {
        const qsizetype at = s.indexOf(fixed);
        if (at < 0) break;
        s.replace(at, fixed.size(), bound);
    }
    return s;
}

QString EditTextOf(long double value, int places, bool zeroEmpty, const NumberSeparators& separators) {
    if (value == 0 && zeroEmpty) return {};
    places = ClampDecimalPlaces(places);
    const QString picture =
        places > 0 ? QStringLiteral("0.") + RepeatChar(u'#', places) : QStringLiteral("0");
    return PictureText(value, picture, separators);
}

QString FormatDisplayValue(long double value, const QString& displayFormat,
                           const NumberSeparators& separators) {
    if (displayFormat.isEmpty()) return GeneralText(value, 15, separators.decimal);
    return PictureText(value, displayFormat, separators);
}

QString GroupThousands(const QString& text, bool grouping, const NumberSeparators& separators) {
    QString sign;
    QString rest = text;
    if (rest.startsWith(u'+') || rest.startsWith(u'-')) {
        sign = rest.left(1);
        rest.remove(0, 1);
    }
    auto positionOr = [&](qsizetype at) { return static_cast<int>(at < 0 ? rest.size() : at); };
    const int exponent = std::min(positionOr(rest.indexOf(u'E')), positionOr(rest.indexOf(u'e')));
    const int integerEnd = std::min(positionOr(rest.indexOf(separators.decimal)), exponent);
    QString out = rest.mid(integerEnd);
    for (int i = integerEnd - 1, count = 1; i >= 0; --i, ++count) {
        out.prepend(rest[i]);
        if (grouping && count % 3 == 0 && i > 0) out.prepend(separators.thousand);
    }
    return sign + out;
}

QChar TypedNumberChar(QChar key, const NumberSeparators& separators) {
    if ((key == u'.' || key == u',') && key != separators.thousand) return separators.decimal;
    return key;
}

QString CandidateText(const QString& text, int selectionStart, int selectionLength, QChar typed) {
    const qsizetype start = std::clamp<qsizetype>(selectionStart, 0, text.size());
    const qsizetype length = std::clamp<qsizetype>(selectionLength, 0, text.size() - start);
    return text.left(start) + typed + text.mid(start + length);
}

bool AcceptsCandidate(const QString& candidate, const TypingRules& rules,
                      const NumberSeparators& separators) {
    const QString s = NormaliseNumberText(candidate, separators);
    const qsizetype point = s.indexOf(separators.decimal);
    if (point >= 0) {
        qsizetype end = s.indexOf(QLatin1Char('E'), point + 1, Qt::CaseInsensitive);
        if (end < 0) end = s.size();
        if (end - point - 1 > ClampDecimalPlaces(rules.places)) return false;
    }
    const std::optional<long double> value = ParsesAsNumber(s, separators);
    if (!value) return false;
    return !(rules.range.minValue >= 0 && rules.range.maxValue > 0 && *value < 0);
}

} // namespace widgets
