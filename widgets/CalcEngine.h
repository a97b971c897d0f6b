#pragma once

#include "NumberSeparators.h"

#include <QChar>
#include <QString>
#include <functional>
#include <optional>

// The calculating engine of the calculator panel: a four-function pocket calculator fed one
// key character at a time, working strictly left to right on 64-bit floats. It owns no widget;
// the panel wires its hooks to the screen, the clipboard and the beep.
namespace widgets {

enum TCalcEntryState : unsigned char {
    ceFresh = 0,  // the next digit starts a new number
    ceTyping = 1, // a number is being typed
    ceError = 2,  // the display shows "Error"
};

class TCalcEngine {
public:
    // What the engine reaches outside itself; every hook may be left empty.
    struct Hooks {
        std::function<void()> beep;
        std::function<void()> errorRaised;
        std::function<void()> resultKey;          // after "=", "%" or Enter
        std::function<void()> displayTextChanged; // after DisplayText changed
        std::function<void()> displayNumberChanged;
        std::function<void()> memoryChanged;
        std::function<void(QChar& key)> keyFilter;             // may change the key or set it to 0
        std::function<std::optional<QString>()> readClipboard; // nullopt: no text there
        std::function<void(const QString&)> writeClipboard;
    };

    explicit TCalcEngine(NumberSeparators separators = {});

    Hooks hooks;

    const QString& DisplayText() const { return displayText_; }
    TCalcEntryState EntryState() const { return entryState_; }
    QChar PendingOperator() const { return pendingOperator_; }
    double HeldOperand() const { return heldOperand_; }
    double MemoryValue() const { return memoryValue_; }
    int DisplayPrecision() const { return displayPrecision_; }
    void SetDisplayPrecision(int digits) { displayPrecision_ = digits; }
    bool BeepOnError() const { return beepOnError_; }
    void SetBeepOnError(bool on) { beepOnError_ = on; }
    const NumberSeparators& Separators() const { return separators_; }

    void SetDisplayText(const QString& text);
    // Shows a value in general format with max(2, DisplayPrecision) digits; a value that is
    // not finite (an overflow) enters the error state instead.
    void ShowNumber(double value);
    // The shown number; 0 in the error state and for a display that is no number.
    double DisplayNumber() const;
    void BeginEntry();
    void RaiseCalcError();
    void ClearCalculator();
    void FeedCalculatorKey(QChar key);

    void CopyDisplay();
    void PasteDisplay();

    // The memory keys and the accept key, which have no key character.
    void MemoryPlus();
    void MemoryStore();
    void MemoryRecall();
    void MemoryClear();
    // Normalises the display and answers true; in the error state only beeps and answers false.
    bool Accept();
    // A new value from outside: shown, the entry restarts and "=" is pending.
    void StartWith(double value);

private:
    void Beep();
    bool IsDecimalPoint(QChar key) const;
    void TypeDigit(QChar digit);
    void Backspace();
    void OperatorKey(QChar key);

    NumberSeparators separators_;
    QString displayText_ = QStringLiteral("0");
    TCalcEntryState entryState_ = ceFresh;
    QChar pendingOperator_ = QChar(0);
    double heldOperand_ = 0;
    double memoryValue_ = 0;
    int displayPrecision_ = 15;
    bool beepOnError_ = true;
};

} // namespace widgets
