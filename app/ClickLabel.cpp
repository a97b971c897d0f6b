#include "ClickLabel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

TClickLabel::TClickLabel(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
}

void TClickLabel::SetElidedAtEnd(bool elided) {
    elidedAtEnd_ = elided;
    update();
}

bool TClickLabel::TextIsCut() const {
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

QString TClickLabel::HintText() const {
    if (!elidedAtEnd_ || !TextIsCut()) return toolTip();
    return toolTip().isEmpty() ? text() : toolTip() + u'\n' + text();
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

void TClickLabel::paintEvent(QPaintEvent* event) {
    if (!elidedAtEnd_ || !TextIsCut()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&painter, room, QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shown, foregroundRole());
}

bool TClickLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && elidedAtEnd_ && TextIsCut()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), HintText(), this, rect());
        return true;
    }
    return QLabel::event(event);
}
