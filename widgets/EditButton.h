#pragma once

#include "SpeedButton.h"

// The drop button of a combo edit. A press while the popup is open closes it accepting, and
// the click that follows that press is eaten so that it does not open the popup again.
namespace widgets {

class TCustomComboEdit;

class TEditButton : public TZlSpeedButton {
    Q_OBJECT
public:
    TEditButton(TCustomComboEdit* edit, QWidget* parent);

    bool SwallowNextClick() const { return swallowNextClick_; }
    void Click() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    TCustomComboEdit* edit_;
    bool swallowNextClick_ = false;
};

} // namespace widgets
