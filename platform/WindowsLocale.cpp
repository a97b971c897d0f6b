#include "WindowsLocale.h"

#include "Cp1252.h"

namespace platform {
namespace {

bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

int RunLength(const QString& s, qsizetype i) {
    qsizetype j = i;
    while (j < s.size() && s[j] == s[i])
        ++j;
    return static_cast<int>(j - i);
}

// A literal in the class library's quotes, choosing the quote the text does not hold.
QString Quoted(const QString& literal) {
    QChar quote = literal.contains(u'"') ? u'\'' : u'"';
    return quote + literal + quote;
}

// Rewrites a Qt date or time pattern in the class library's letters. Qt's time-zone letter
// has no counterpart and is dropped with the blank or brackets around it.
QString FromQtPattern(const QString& qt) {
    QString out;
    QString literal; // pending literal letters, quoted when flushed
    auto flushLiteral = [&] {
        if (!literal.isEmpty()) out += Quoted(literal);
        literal.clear();
    };
    for (qsizetype i = 0; i < qt.size();) {
        const QChar c = qt[i];
        if (c == u'\'') { // Qt literal: '...' with '' for a quote
            qsizetype j = i + 1;
            QString text;
            while (j < qt.size()) {
                if (qt[j] == u'\'') {
                    if (j + 1 < qt.size() && qt[j + 1] == u'\'') {
                        text += u'\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                text += qt[j++];
            }
            if (j == i + 1 && j < qt.size()) text = QStringLiteral("'"); // '' outside a literal
            literal += text;
            i = j + 1;
            continue;
        }
        const int n = RunLength(qt, i);
        QString token;
        switch (c.unicode()) {
        case u'd':
            token = QString(std::min(n, 4), u'd');
            break;
        case u'M':
            token = QString(std::min(n, 4), u'm');
            break;
        case u'y':
            token = QStringLiteral("yyyy");
            break; // four-digit years everywhere
        case u'h':
        case u'H':
            token = n >= 2 ? QStringLiteral("hh") : QStringLiteral("h");
            break;
        case u'm':
            token = n >= 2 ? QStringLiteral("nn") : QStringLiteral("n");
            break;
        case u's':
            token = n >= 2 ? QStringLiteral("ss") : QStringLiteral("s");
            break;
        case u'z':
            token = n >= 3 ? QStringLiteral("zzz") : QStringLiteral("z");
            break;
        case u'A':
        case u'a':
            token = QStringLiteral("AMPM");
            if (i + 1 < qt.size() && (qt[i + 1] == u'P' || qt[i + 1] == u'p')) {
                i += 2;
                flushLiteral();
                out += token;
                continue;
            }
            break;
        case u't':
            token = QStringLiteral("\x01");
            break; // time zone: removed below
        default:
            break;
        }
        if (token.isEmpty()) {
            if (IsAsciiLetter(c) || c == u'"') {
                literal += QString(n, c);
            } else {
                flushLiteral();
                out += QString(n, c);
            }
        } else {
            flushLiteral();
            out += token;
        }
        i += n;
    }
    flushLiteral();
    out.remove(QStringLiteral("(\x01)"));
    out.remove(QStringLiteral(" \x01"));
    out.remove(u'\x01');
    return out.trimmed();
}

// The first character between two fields of a pattern that is not a letter: the separator.
QChar SeparatorIn(const QString& pattern, QChar fallback) {
    bool afterField = false;
    for (QChar c : pattern) {
        if (IsAsciiLetter(c)) {
            afterField = true;
        } else if (afterField && c != u' ' && c != u'"' && c != u'\'' &&
                   c.category() != QChar::Other_Format) {
            return c;
        }
    }
    return fallback;
}

// Puts the class library's separator letter ('/' or ':') in place of the locale's own,
// outside quoted literals.
QString MarkSeparator(const QString& pattern, QChar separator, QChar mark) {
    QString out;
    QChar quote;
    for (QChar c : pattern) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == separator) {
            c = mark;
        }
        out += c;
    }
    return out;
}

QChar FirstChar(const QString& s, QChar fallback) {
    return s.isEmpty() ? fallback : s[0];
}

} // namespace

FormatSettings WindowsFormatSettings(const QLocale& locale) {
    FormatSettings s;
    s.decimalSeparator = FirstChar(locale.decimalPoint(), u'.');
    s.thousandSeparator = FirstChar(locale.groupSeparator(), u',');

    const QString shortDate = FromQtPattern(locale.dateFormat(QLocale::ShortFormat));
    const QString shortTime = FromQtPattern(locale.timeFormat(QLocale::ShortFormat));
    s.dateSeparator = SeparatorIn(shortDate, u'/');
    s.timeSeparator = SeparatorIn(shortTime, u':');
    s.shortDateFormat = MarkSeparator(shortDate, s.dateSeparator, u'/');
    s.longDateFormat = FromQtPattern(locale.dateFormat(QLocale::LongFormat));
    s.shortTimeFormat = MarkSeparator(shortTime, s.timeSeparator, u':');
    s.longTimeFormat =
        MarkSeparator(FromQtPattern(locale.timeFormat(QLocale::LongFormat)), s.timeSeparator, u':');

    s.timeAMString = locale.amText();
    s.timePMString = locale.pmText();
    s.currencyString = locale.currencySymbol();
    for (int month = 1; month <= 12; ++month) {
        s.shortMonthNames << locale.monthName(month, QLocale::ShortFormat);
        s.longMonthNames << locale.monthName(month, QLocale::LongFormat);
    }
    for (int day : {7, 1, 2, 3, 4, 5, 6}) { // Qt counts from Monday
        s.shortDayNames << locale.dayName(day, QLocale::ShortFormat);
        s.longDayNames << locale.dayName(day, QLocale::LongFormat);
    }
    const QLocale::Language language = locale.language();
    s.farEast = language == QLocale::Chinese || language == QLocale::Japanese || language == QLocale::Korean;
    return s;
}

char DecimalSeparatorByte(const QLocale& locale) {
    const QChar separator = FirstChar(locale.decimalPoint(), u'.');
    const unsigned char byte = UnicodeToCp1252(separator.unicode());
    // A separator the code page cannot hold falls back to the point rather than '?'.
    return byte == '?' && separator != u'?' ? '.' : static_cast<char>(byte);
}

char ThousandSeparatorByte(const QLocale& locale) {
    const QChar separator = FirstChar(locale.groupSeparator(), u',');
    const unsigned char byte = UnicodeToCp1252(separator.unicode());
    return byte == '?' && separator != u'?' ? static_cast<char>(0xA0) : static_cast<char>(byte);
}

} // namespace platform
