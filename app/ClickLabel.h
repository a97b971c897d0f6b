#pragma once

#include <QLabel>

// A label that answers a click with the left button, as the window's links and the body and
// test captions do. Its chart reading sits in the property "Tag".
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit TClickLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
