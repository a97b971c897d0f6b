#include "PopupWindow.h"

#include "ComboEdit.h"
#include "ZlColors.h"

#include <QMouseEvent>
#include <QPainter>

namespace widgets {

TPopupWindow::TPopupWindow(QWidget* editor)
    : QWidget(editor, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus), editor_(editor) {
    // A Qt::Popup would grab the keyboard; the editor must keep it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    // The one-pixel window border.
    setContentsMargins(1, 1, 1, 1);
    setAutoFillBackground(true);
    hide();
}

void TPopupWindow::PopupClosing(bool accept) {
    emit OnClosed(accept);
}

QString TPopupWindow::PopupDisplayText() const {
    return QString();
}

void TPopupWindow::KeyDown(int&, Qt::KeyboardModifiers) {}

void TPopupWindow::KeyPress(QChar&) {}

void TPopupWindow::ShowAt(QPoint origin) {
    move(origin);
    show();
    raise();
}

void TPopupWindow::Conceal() {
    hide();
}

void TPopupWindow::RepaintEditorText() {
    if (!editor_) return;
    if (auto* combo = qobject_cast<TCustomComboEdit*>(editor_.data()))
        combo->repaint(combo->EditorTextRect());
    else
        editor_->repaint(editor_->rect());
}

void TPopupWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(ToQColor(clWindowFrame, palette()));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TPopupWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) PopupClosing(rect().contains(event->position().toPoint()));
}

} // namespace widgets
