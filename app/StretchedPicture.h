#pragma once

#include <QLabel>

// A label whose picture is stretched over the whole label. Only the part to be repainted is
// drawn, scaled as it is drawn: no copy of the picture at the label's size is ever made, so a
// label larger than the screen costs no more than the screen.
class TStretchedPicture : public QLabel {
    Q_OBJECT
public:
    explicit TStretchedPicture(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
