#include "zlStrUtils.h"

namespace widgets {

bool AllCharsIn(const QString& text, const QString& set) {
    for (QChar c : text) {
        if (!set.contains(c)) return false;
    }
    return true;
}

QString ReplaceAll(const QString& text, const QString& search, const QString& replacement) {
    if (search.isEmpty()) return text;
    QString result;
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(search); at >= 0; at = text.indexOf(search, from)) {
        result += QStringView(text).mid(from, at - from);
        result += replacement;
        from = at + search.size();
    }
    result += QStringView(text).mid(from);
    return result;
}

QString RemoveChar(const QString& text, QChar ch) {
    QString result = text;
    result.remove(ch);
    return result;
}

QString TrimLeadingBlanks(const QString& text) {
    qsizetype first = 0;
    while (first < text.size() && text[first] == u' ')
        ++first;
    return text.mid(first);
}

QString TrimTrailingBlanks(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.left(end);
}

QString TrimBlanks(const QString& text) {
    return TrimLeadingBlanks(TrimTrailingBlanks(text));
}

QString RepeatChar(QChar ch, int count) {
    return count > 0 ? QString(count, ch) : QString();
}

} // namespace widgets
