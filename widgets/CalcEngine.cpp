#include "CalcEngine.h"

#include "zlStrUtils.h"

#include <algorithm>
#include <cmath>

namespace widgets {
namespace {

constexpr char16_t kBackspace = 8;
constexpr char16_t kEnter = 13;
constexpr char16_t kEscape = 27;
constexpr char16_t kCopy = 3;   // Ctrl+C
constexpr char16_t kPaste = 22; // Ctrl+V

bool InExponentForm(const QString& s) {
    return s.contains(u'E');
}

} // namespace

TCalcEngine::TCalcEngine(NumberSeparators separators) : separators_(std::move(separators)) {}

void TCalcEngine::Beep() {
    if (beepOnError_ && hooks.beep) hooks.beep();
}

void TCalcEngine::SetDisplayText(const QString& text) {
    if (text == displayText_) return;
    displayText_ = text;
    if (hooks.displayTextChanged) hooks.displayTextChanged();
}

void TCalcEngine::ShowNumber(double value) {
    // An overflow or 1/x of a tiny number would show "INF" or "NAN": that is an error.
    if (!std::isfinite(value)) {
        RaiseCalcError();
        return;
    }
    const QString text = GeneralText(value, std::max(2, displayPrecision_), separators_.decimal);
    if (text == displayText_) return;
    SetDisplayText(text);
    if (hooks.displayNumberChanged) hooks.displayNumberChanged();
}

double TCalcEngine::DisplayNumber() const {
    if (entryState_ == ceError) return 0;
    return ParseDoubleText(TrimBlanks(displayText_), separators_.decimal).value_or(0.0);
}

void TCalcEngine::BeginEntry() {
    if (entryState_ != ceFresh) return;
    entryState_ = ceTyping;
    SetDisplayText(QStringLiteral("0"));
}

void TCalcEngine::RaiseCalcError() {
    entryState_ = ceError;
    SetDisplayText(QStringLiteral("Error"));
    Beep();
    if (hooks.errorRaised) hooks.errorRaised();
}

void TCalcEngine::ClearCalculator() {
    entryState_ = ceFresh;
    ShowNumber(0);
    pendingOperator_ = u'=';
}

bool TCalcEngine::IsDecimalPoint(QChar key) const {
    return key == u'.' || key == u',' || key == separators_.decimal;
}

void TCalcEngine::FeedCalculatorKey(QChar key) {
    key = key.toUpper();
    if (entryState_ == ceError && key != u'C') key = QChar(0);
    if (hooks.keyFilter) hooks.keyFilter(key);

    if (IsDecimalPoint(key)) {
        BeginEntry();
        // A number in exponent form takes no decimals, as it takes no digits.
        if (!InExponentForm(displayText_) && !displayText_.contains(separators_.decimal))
            SetDisplayText(displayText_ + separators_.decimal);
        return;
    }
    switch (key.unicode()) {
    case kCopy:
        CopyDisplay();
        break;
    case kPaste:
        PasteDisplay();
        break;
    case kBackspace:
        Backspace();
        break;
    case kEscape:
    case u'C':
        ClearCalculator();
        break;
    case u'Q':
        if (entryState_ == ceError) break;
        entryState_ = ceFresh;
        if (DisplayNumber() < 0)
            RaiseCalcError();
        else
            ShowNumber(std::sqrt(DisplayNumber()));
        break;
    case u'R':
        if (entryState_ == ceError) break;
        entryState_ = ceFresh;
        if (DisplayNumber() == 0)
            RaiseCalcError();
        else
            ShowNumber(1 / DisplayNumber());
        break;
    case u'_':
        ShowNumber(-DisplayNumber());
        break;
    case u'*':
    case u'+':
    case u'-':
    case u'/':
    case u'=':
    case u'%':
    case kEnter:
        OperatorKey(key);
        break;
    default:
        if (key >= u'0' && key <= u'9') TypeDigit(key);
        break;
    }
}

void TCalcEngine::TypeDigit(QChar digit) {
    BeginEntry();
    const QString text = displayText_ == u"0" ? QString() : displayText_;
    if (InExponentForm(text)) return;
    const qsizetype limit = std::max(2, displayPrecision_) + (text.startsWith(u'-') ? 1 : 0);
    if (text.size() < limit)
        SetDisplayText(text + digit);
    else
        Beep();
}

void TCalcEngine::Backspace() {
    BeginEntry();
    const QString& text = displayText_;
    // An exponent form cut short ("1E-") would be no number: it goes back to 0 as a whole.
    if (text.size() == 1 || (text.size() == 2 && text.startsWith(u'-')) || InExponentForm(text))
        SetDisplayText(QStringLiteral("0"));
    else
        SetDisplayText(text.left(text.size() - 1));
}

void TCalcEngine::OperatorKey(QChar key) {
    if (entryState_ == ceTyping) {
        entryState_ = ceFresh;
        double v = DisplayNumber();
        const QChar pending = pendingOperator_;
        if (key == u'%') {
            if (pending == u'*' || pending == u'/')
                v = v / 100;
            else if (pending == u'+' || pending == u'-')
                v = heldOperand_ * v / 100;
        }
        if (pending == u'*')
            ShowNumber(heldOperand_ * v);
        else if (pending == u'+')
            ShowNumber(heldOperand_ + v);
        else if (pending == u'-')
            ShowNumber(heldOperand_ - v);
        else if (pending == u'/') {
            if (v == 0)
                RaiseCalcError();
            else
                ShowNumber(heldOperand_ / v);
        } // nothing pending: the typed number stays
    }
    pendingOperator_ = key;
    heldOperand_ = DisplayNumber();
    if ((key == QChar(kEnter) || key == u'%' || key == u'=') && hooks.resultKey) hooks.resultKey();
}

void TCalcEngine::CopyDisplay() {
    if (hooks.writeClipboard) hooks.writeClipboard(displayText_);
}

void TCalcEngine::PasteDisplay() {
    const std::optional<QString> text = hooks.readClipboard ? hooks.readClipboard() : std::nullopt;
    if (!text) return;
    const QString s = TrimBlanks(ReplaceAll(*text, separators_.currency, QString()));
    if (const std::optional<double> value = ParseDoubleText(s, separators_.decimal))
        ShowNumber(*value);
    else
        SetDisplayText(QStringLiteral("0"));
}

void TCalcEngine::MemoryPlus() {
    if (entryState_ == ceError) return;
    entryState_ = ceFresh;
    memoryValue_ += DisplayNumber();
    if (hooks.memoryChanged) hooks.memoryChanged();
}

void TCalcEngine::MemoryStore() {
    if (entryState_ == ceError) return;
    entryState_ = ceFresh;
    memoryValue_ = DisplayNumber();
    if (hooks.memoryChanged) hooks.memoryChanged();
}

void TCalcEngine::MemoryRecall() {
    if (entryState_ == ceError) return;
    entryState_ = ceFresh;
    BeginEntry();
    ShowNumber(memoryValue_);
}

void TCalcEngine::MemoryClear() {
    memoryValue_ = 0;
    if (hooks.memoryChanged) hooks.memoryChanged();
}

bool TCalcEngine::Accept() {
    if (entryState_ == ceError) {
        Beep();
        return false;
    }
    ShowNumber(DisplayNumber());
    return true;
}

void TCalcEngine::StartWith(double value) {
    ShowNumber(std::isfinite(value) ? value : 0);
    entryState_ = ceFresh;
    pendingOperator_ = u'=';
}

} // namespace widgets
