#include "StretchedPicture.h"

#include <QPaintEvent>
#include <QPainter>

TStretchedPicture::TStretchedPicture(QWidget* parent) : QLabel(parent) {}

void TStretchedPicture::paintEvent(QPaintEvent* event) {
    const QPixmap picture = pixmap();
    if (picture.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawPixmap(rect(), picture);
}
