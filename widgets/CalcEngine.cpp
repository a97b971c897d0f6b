#include "CalcEngine.h"

#include "platform/NumberText.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace widgets {
namespace {

constexpr char kBackspace = 8;
constexpr char kEnter = 13;
constexpr char kEscape = 27;
constexpr char kCopy = 3;   // Ctrl+C
constexpr char kPaste = 22; // Ctrl+V

std::string TrimBlanks(const std::string& s) {
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

bool InExponentForm(const std::string& s) {
    return s.find('E') != std::string::npos;
}

} // namespace

TCalcEngine::TCalcEngine(NumberSeparators separators) : separators_(std::move(separators)) {}

void TCalcEngine::Beep() {
    if (beepOnError_ && hooks.beep) hooks.beep();
}

void TCalcEngine::SetDisplayText(const std::string& text) {
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
    const std::string text =
        platform::FormatGeneral(value, std::max(2, displayPrecision_), separators_.decimal);
    if (text == displayText_) return;
    SetDisplayText(text);
    if (hooks.displayNumberChanged) hooks.displayNumberChanged();
}

double TCalcEngine::DisplayNumber() const {
    if (entryState_ == ceError) return 0;
    return platform::ParseDouble(TrimBlanks(displayText_), separators_.decimal).value_or(0.0);
}

void TCalcEngine::BeginEntry() {
    if (entryState_ != ceFresh) return;
    entryState_ = ceTyping;
    SetDisplayText("0");
}

void TCalcEngine::RaiseCalcError() {
    entryState_ = ceError;
    SetDisplayText("Error");
    Beep();
    if (hooks.errorRaised) hooks.errorRaised();
}

void TCalcEngine::ClearCalculator() {
    entryState_ = ceFresh;
    ShowNumber(0);
    pendingOperator_ = '=';
}

bool TCalcEngine::IsDecimalPoint(char key) const {
    return key == '.' || key == ',' || key == separators_.decimal;
}

void TCalcEngine::FeedCalculatorKey(char key) {
    key = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
    if (entryState_ == ceError && key != 'C') key = '\0';
    if (hooks.keyFilter) hooks.keyFilter(key);

    if (IsDecimalPoint(key)) {
        BeginEntry();
        // A number in exponent form takes no decimals, as it takes no digits.
        if (!InExponentForm(displayText_) && displayText_.find(separators_.decimal) == std::string::npos)
            SetDisplayText(displayText_ + separators_.decimal);
        return;
    }
    switch (key) {
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
    case 'C':
        ClearCalculator();
        break;
    case 'Q':
        if (entryState_ == ceError) break;
        entryState_ = ceFresh;
        if (DisplayNumber() < 0)
            RaiseCalcError();
        else
            ShowNumber(std::sqrt(DisplayNumber()));
        break;
    case 'R':
        if (entryState_ == ceError) break;
        entryState_ = ceFresh;
        if (DisplayNumber() == 0)
            RaiseCalcError();
        else
            ShowNumber(1 / DisplayNumber());
        break;
    case '_':
        ShowNumber(-DisplayNumber());
        break;
    case '*':
    case '+':
    case '-':
    case '/':
    case '=':
    case '%':
    case kEnter:
        OperatorKey(key);
        break;
    default:
        if (key >= '0' && key <= '9') TypeDigit(key);
        break;
    }
}

void TCalcEngine::TypeDigit(char digit) {
    BeginEntry();
    std::string text = displayText_ == "0" ? std::string() : displayText_;
    if (InExponentForm(text)) return;
    const std::size_t limit =
        static_cast<std::size_t>(std::max(2, displayPrecision_)) + (!text.empty() && text[0] == '-');
    if (text.size() < limit)
        SetDisplayText(text + digit);
    else
        Beep();
}

void TCalcEngine::Backspace() {
    BeginEntry();
    const std::string& text = displayText_;
    // An exponent form cut short ("1E-") would be no number: it goes back to 0 as a whole.
    if (text.size() == 1 || (text.size() == 2 && text[0] == '-') || InExponentForm(text))
        SetDisplayText("0");
    else
        SetDisplayText(text.substr(0, text.size() - 1));
}

void TCalcEngine::OperatorKey(char key) {
    if (entryState_ == ceTyping) {
        entryState_ = ceFresh;
        double v = DisplayNumber();
        if (key == '%') {
            if (pendingOperator_ == '*' || pendingOperator_ == '/')
                v = v / 100;
            else if (pendingOperator_ == '+' || pendingOperator_ == '-')
                v = heldOperand_ * v / 100;
        }
        switch (pendingOperator_) {
        case '*':
            ShowNumber(heldOperand_ * v);
            break;
        case '+':
            ShowNumber(heldOperand_ + v);
            break;
        case '-':
            ShowNumber(heldOperand_ - v);
            break;
        case '/':
            if (v == 0)
                RaiseCalcError();
            else
                ShowNumber(heldOperand_ / v);
            break;
        default:
            break; // nothing pending: the typed number stays
        }
    }
    pendingOperator_ = key;
    heldOperand_ = DisplayNumber();
    if ((key == kEnter || key == '%' || key == '=') && hooks.resultKey) hooks.resultKey();
}

void TCalcEngine::CopyDisplay() {
    if (hooks.writeClipboard) hooks.writeClipboard(displayText_);
}

void TCalcEngine::PasteDisplay() {
    std::optional<std::string> text = hooks.readClipboard ? hooks.readClipboard() : std::nullopt;
    if (!text) return;
    std::string s = *text;
    if (!separators_.currency.empty())
        for (std::size_t at; (at = s.find(separators_.currency)) != std::string::npos;)
            s.erase(at, separators_.currency.size());
    if (std::optional<double> value = platform::ParseDouble(TrimBlanks(s), separators_.decimal))
        ShowNumber(*value);
    else
        SetDisplayText("0");
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
    pendingOperator_ = '=';
}

} // namespace widgets
