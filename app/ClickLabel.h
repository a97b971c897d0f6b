#pragma once

#include <QLabel>

// A label that answers a click with the left button, as the window's links and the body and
// test captions do. Its chart reading sits in the property "Tag".
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit TClickLabel(QWidget* parent = nullptr);

    // A one-line text too long for the label ends in "…" after its last whole letter that fits,
    // instead of being cut wherever the label's edge falls. text() stays the whole text.
    void SetElidedAtEnd(bool elided);
    // True when the text does not fit the label as it stands.
    bool TextIsCut() const;
    // What the hint shows: the label's tool tip, and below it the whole text when that is cut.
    QString HintText() const;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool elidedAtEnd_ = false;
};
