#include "LimitedMemo.h"

#include "TestFieldText.h"

#include <QKeyEvent>
#include <QMimeData>

TLimitedMemo::TLimitedMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
}

qsizetype TLimitedMemo::Room() const {
    const QString selected = textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n');
    return maxLength_ - (StoredLength(toPlainText()) - StoredLength(selected));
}

void TLimitedMemo::keyPressEvent(QKeyEvent* event) {
    if (maxLength_ > 0 && !isReadOnly()) {
        const bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        const QString typed = event->text();
        const bool inserts =
            lineBreak || (!typed.isEmpty() && typed[0].unicode() >= u' ' && typed[0] != QChar(0x7F));
        if (inserts && !(event->modifiers() & Qt::ControlModifier) &&
            Room() < (lineBreak ? 2 : typed.size())) {
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TLimitedMemo::insertFromMimeData(const QMimeData* source) {
    if (maxLength_ == 0 || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QString pasted = source->text();
    pasted.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    qsizetype room = Room();
    qsizetype kept = 0;
    while (kept < pasted.size()) {
        const qsizetype width = pasted[kept] == u'\n' ? 2 : 1;
        if (width > room) break;
        room -= width;
        ++kept;
    }
    insertPlainText(pasted.left(kept));
}
