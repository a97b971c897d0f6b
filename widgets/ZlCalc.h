#pragma once

#include "CalcEngine.h"
#include "PopupWindow.h"
#include "SpeedButton.h"
#include "ZlColors.h"

#include <QFrame>
#include <QPointer>
#include <functional>
#include <vector>

class QLabel;

// A four-function pocket calculator drawn as a panel of speed-button keys, in a full layout
// (with memory keys, accept and cancel) or the compact one of the numeric edit's drop-down.
namespace widgets {

// 1 to 28: the digits 0-9 are kinds 1-10, then sign, decimal point, / * - +, sqrt, %, 1/x,
// =, backspace, clear, the memory keys MP MS MR MC, accept and cancel.
using TCalcKeyKind = unsigned char;

// The caption colour of a key of that kind.
TColor KeyKindColor(TCalcKeyKind kind);

// The message-box font in bold ("MS Sans Serif" 8 when the system names none).
void ApplyBoldMessageFont(QFont& font);

class TCalcButton : public TZlSpeedButton {
    Q_OBJECT
public:
    TCalcButton(QWidget* panel, TCalcKeyKind kind);

    TCalcKeyKind Kind() const { return kind_; }
    // kind - 1 for the keys that have a key character (kinds 1 to 22), else -1.
    int Tag() const { return tag_; }

private:
    TCalcKeyKind kind_;
    int tag_;
};

class TCalculatorPanel : public QFrame {
    Q_OBJECT
public:
    TCalculatorPanel(QWidget* owner, bool compact);

    bool Compact() const { return compact_; }
    const QString& DisplayText() const { return engine_.DisplayText(); }
    void SetDisplayText(const QString& text) { engine_.SetDisplayText(text); }
    TCalcEntryState EntryState() const { return engine_.EntryState(); }
    QChar PendingOperator() const { return engine_.PendingOperator(); }
    double HeldOperand() const { return engine_.HeldOperand(); }
    double MemoryValue() const { return engine_.MemoryValue(); }
    int DisplayPrecision() const { return engine_.DisplayPrecision(); }
    void SetDisplayPrecision(int digits) { engine_.SetDisplayPrecision(digits); }
    bool BeepOnError() const { return engine_.BeepOnError(); }
    void SetBeepOnError(bool on) { engine_.SetBeepOnError(on); }
    // Its text follows DisplayText (a widget with a "text" property); may be none.
    void SetMirrorControl(QWidget* control);
    QWidget* MirrorControl() const { return mirror_; }
    // Sees every key before it is interpreted and may change it or set it to 0.
    std::function<void(QChar& key)> OnKeyFilter;

    void ShowNumber(double value) { engine_.ShowNumber(value); }
    double DisplayNumber() const { return engine_.DisplayNumber(); }
    void BeginEntry() { engine_.BeginEntry(); }
    void RaiseCalcError() { engine_.RaiseCalcError(); }
    void ClearCalculator() { engine_.ClearCalculator(); }
    // A new value from outside: shown, the entry restarts and "=" is pending.
    void StartWith(double value) { engine_.StartWith(value); }
    void FeedCalculatorKey(QChar key) { engine_.FeedCalculatorKey(key); }
    void CopyDisplay() { engine_.CopyDisplay(); }
    void PasteDisplay() { engine_.PasteDisplay(); }

    void CalcKeyClick(TCalcButton* key);
    // The key a typed character stands for; none when this layout has no such key.
    TCalcButton* FindKeyButton(QChar typed) const;
    // A typed key flashes its key and clicks it; a character without a key is fed directly.
    void TypeCalculatorKey(QChar typed);
    void UpdateMemoryMark();
    // The 3-D look of the keys and of the memory panel.
    void SetCtl3D(bool on);

    QLabel* MemoryLabel() const { return memoryLabel_; }
    const std::vector<TCalcButton*>& Keys() const { return keys_; }

signals:
    void OnErrorRaised();
    void OnAcceptKey();
    void OnCancelKey();
    void OnResultKey();
    void OnDisplayTextChanged();
    void OnDisplayNumberChanged();

protected:
    virtual void DisplayTextChanged();

private:
    TCalcButton* CreateCalcKey(TCalcKeyKind kind, QRect bounds);
    void WireEngine();

    TCalcEngine engine_;
    bool compact_;
    std::vector<TCalcButton*> keys_;
    QFrame* memoryPanel_ = nullptr;
    QLabel* memoryLabel_ = nullptr;
    QPointer<QWidget> mirror_;
};

// The compact calculator inside the numeric edit's drop-down. It never takes the keyboard
// focus (the edit keeps it and hands it the keys) but takes mouse clicks on its keys.
class TLocCalculator : public TCalculatorPanel {
    Q_OBJECT
public:
    explicit TLocCalculator(QWidget* owner);
};

// The numeric edit's drop-down: a compact calculator that shows the edit's number, takes the
// keys typed into the edit while it is open, and closes with the result when "=", "%" or Enter
// completes a calculation without error.
class TPopupCalculator : public TPopupWindow {
    Q_OBJECT
public:
    explicit TPopupCalculator(QWidget* editor);

    TLocCalculator* Calculator() const { return calculator_; }

    // The shown number as a double; in the error state the integer 0, with a beep.
    QVariant ReadPopupValue() override;
    // A text or number to show (0 for none or for no number); the entry starts afresh.
    void WritePopupValue(const QVariant& value) override;
    QString PopupDisplayText() const override;
    // A key typed into the edit: it flashes its key, or is fed directly.
    void KeyPress(QChar& key) override;

private:
    void PopupResultKey();

    TLocCalculator* calculator_;
};

// The popup of a calculator edit, owned by it; scaled to the screen when it is not at 96 dpi.
TPopupCalculator* CreatePopupCalculator(QWidget* edit, Qt::LayoutDirection direction);
// Moves and sizes `widget` and all its children by numerator / denominator.
void ScaleWidgetTree(QWidget* widget, int numerator, int denominator);
// The popup's calculator digits (at least 2) and beep setting; nothing for another popup.
void SetupPopupCalculator(TPopupWindow* popup, int precision, bool beepOnError);

} // namespace widgets
