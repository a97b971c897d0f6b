#include "EditButton.h"

#include "ComboEdit.h"
#include "ZlColors.h"

#include <QMouseEvent>
#include <QPainter>

namespace widgets {

TEditButton::TEditButton(TCustomComboEdit* edit, QWidget* parent) : TZlSpeedButton(parent), edit_(edit) {}

void TEditButton::Click() {
    if (swallowNextClick_) {
        swallowNextClick_ = false;
        return;
    }
    TZlSpeedButton::Click();
}

void TEditButton::paintEvent(QPaintEvent* event) {
    TZlSpeedButton::paintEvent(event);
    if (FaceState() == sfDown) return;
    // Two lines on the left edge join the button to the edit's face (line ends are left out).
    QPainter canvas(this);
    if (height() > 1) canvas.fillRect(0, 0, 1, height() - 1, ToQColor(clBtnFace, palette()));
    if (height() > 3) canvas.fillRect(1, 1, 1, height() - 3, ToQColor(clBtnHighlight, palette()));
}

void TEditButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && edit_) {
        swallowNextClick_ = edit_->PopupShowing();
        if (swallowNextClick_) {
            edit_->ClosePopup(true);
        } else if ((edit_->focusPolicy() & Qt::TabFocus) && edit_->isEnabled() && edit_->isVisible() &&
                   !edit_->hasFocus()) {
            edit_->setFocus(Qt::MouseFocusReason);
        }
    }
    TZlSpeedButton::mousePressEvent(event);
}

} // namespace widgets
