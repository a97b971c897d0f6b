#include "EditMask.h"

namespace widgets {
namespace {

QString Literal(QChar c) {
    static const QString qtMeta = QStringLiteral("AaNnXx90Dd#HhBb><!{}[]\\;");
    return qtMeta.contains(c) ? QString(u'\\') + c : QString(c);
}

} // namespace

QString InputMaskOf(const QString& editMask, QChar dateSeparator, QChar timeSeparator) {
    if (editMask.isEmpty()) return QString();
    QString mask = editMask;
    QChar blank = u'_';
    // The last two fields, when present: literals kept (ignored: the display keeps them) and blank.
    const qsizetype last = mask.lastIndexOf(u';');
    if (last >= 0 && (last == 0 || mask[last - 1] != u'\\')) {
        if (last + 1 < mask.size()) blank = mask[last + 1];
        mask.truncate(last);
        const qsizetype save = mask.lastIndexOf(u';');
        if (save >= 0 && (save == 0 || mask[save - 1] != u'\\')) mask.truncate(save);
    }
    QString out;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        switch (c.unicode()) {
        case u'!':
            break;
        case u'\\':
            if (i + 1 < mask.size()) out += Literal(mask[++i]);
            break;
        case u'<':
            if (i + 1 < mask.size() && mask[i + 1] == u'>') {
                out += u'!';
                ++i;
            } else {
                out += u'<';
            }
            break;
        case u'>':
            out += u'>';
            break;
        case u'L':
            out += u'A';
            break;
        case u'l':
            out += u'a';
            break;
        case u'A':
            out += u'N';
            break;
        case u'a':
            out += u'n';
            break;
        case u'C':
            out += u'X';
            break;
        case u'c':
            out += u'x';
            break;
        case u'0':
            out += u'9';
            break;
        case u'9':
            out += u'0';
            break;
        case u'#':
            out += u'#';
            break;
        case u'/':
            out += Literal(dateSeparator);
            break;
        case u':':
            out += Literal(timeSeparator);
            break;
        case u'_':
            out += u' ';
            break;
        default:
            out += Literal(c);
            break;
        }
    }
    return out + u';' + blank;
}

} // namespace widgets
