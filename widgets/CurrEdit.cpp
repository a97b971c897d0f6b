#include "CurrEdit.h"

#include "ComboEditText.h"
#include "ZlCalc.h"
#include "ZlResources.h"
#include "platform/Beep.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPointer>

namespace widgets {

const char* const SOutOfRange = "Value must be between %d and %d";

namespace {

// The class library's conversion error.
QString InvalidNumberText(const QString& text) {
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

// The keys the open calculator takes from the edit.
bool IsCalculatorKey(QChar key, const NumberSeparators& separators) {
    static const QString keys = QStringLiteral("\b\r%*+,-./0123456789=CQR_");
    if (key == separators.thousand) return false;
    return keys.contains(key.toUpper()) || key == separators.decimal;
}

// The paste entry of a line edit's standard menu: named "edit-paste" by newer Qt versions, known
// by its shortcut text in older ones.
QAction* PasteAction(const QMenu* menu) {
    if (auto* named = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) return named;
    const QString keys = u'\t' + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
    for (QAction* action : menu->actions())
        if (action->text().endsWith(keys)) return action;
    return nullptr;
}

} // namespace

TCustomNumEdit::TCustomNumEdit(QWidget* parent) : TCustomComboEdit(parent) {
    displayFormat_ = StandardDisplayFormat();
    SetMaxLength(0);
    TCustomComboEdit::SetText(QString());
    TCustomComboEdit::SetAlignment(taLeftJustify);
    SetDefaultGlyphCount(2);
    SetGlyphKind(gkDefault);
    SetButtonWidth(20);
    RefreshEditText();
}

TCustomNumEdit::~TCustomNumEdit() {
    // The calculator goes first, so that no close notification reaches a half-destroyed edit.
    if (TPopupWindow* popup = Popup()) {
        disconnect(popup, nullptr, this, nullptr);
        SetPopup(nullptr);
        delete popup;
    }
}

long double TCustomNumEdit::Value() {
    if (!UpdateValueFromText()) value_ = range_.minValue;
    return value_;
}

void TCustomNumEdit::SetValue(long double value) {
    value_ = CheckNumberRange(value, range_);
    RefreshEditText();
    update();
}

bool TCustomNumEdit::SetText(const QString& text) {
    const std::optional<long double> value = NumberOfText(text, UserNumberSeparators());
    if (!value) return false;
    SetValue(*value);
    return true;
}

void TCustomNumEdit::SetDecimalPlaces(long long places) {
    const int clamped = ClampDecimalPlaces(places);
    if (clamped == decimalPlaces_) return;
    decimalPlaces_ = clamped;
    RefreshEditText();
    update();
}

void TCustomNumEdit::SetDisplayFormat(const QString& format) {
    if (format == displayFormat_) return;
    displayFormat_ = format;
    update();
    RefreshEditText();
}

void TCustomNumEdit::SetZeroEmpty(bool zeroEmpty) {
    if (zeroEmpty == zeroEmpty_) return;
    zeroEmpty_ = zeroEmpty;
    RefreshEditText();
}

void TCustomNumEdit::SetBeepOnError(bool beepOnError) {
    if (beepOnError == beepOnError_) return;
    beepOnError_ = beepOnError;
    PushPopupSettings();
}

void TCustomNumEdit::SetAlignment(TAlignment alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    update();
}

void TCustomNumEdit::SetFormatOnEditing(bool formatOnEditing) {
    if (formatOnEditing == formatOnEditing_) return;
    formatOnEditing_ = formatOnEditing;
    TCustomComboEdit::SetAlignment(formatOnEditing ? alignment_ : taLeftJustify);
    if (!focused_) return;
    if (formatOnEditing) {
        RegroupEditText();
    } else {
        UpdateValueFromText();
        RefreshEditText();
    }
}

void TCustomNumEdit::SetMinValue(long double minValue) {
    if (minValue == range_.minValue) return;
    range_.minValue = minValue;
    SetValue(Value());
}

void TCustomNumEdit::SetMaxValue(long double maxValue) {
    if (maxValue == range_.maxValue) return;
    range_.maxValue = maxValue;
    SetValue(Value());
}

QString TCustomNumEdit::FormatDisplayValue(long double value) const {
    return widgets::FormatDisplayValue(value, displayFormat_, UserNumberSeparators());
}

void TCustomNumEdit::RefreshEditText() {
    TCustomComboEdit::SetText(EditTextOf(value_, decimalPlaces_, zeroEmpty_, UserNumberSeparators()));
}

bool TCustomNumEdit::AcceptsChar(QChar key) {
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int length = hasSelectedText() ? static_cast<int>(selectedText().size()) : 0;
    return AcceptsCandidate(CandidateText(text(), start, length, key), {decimalPlaces_, range_},
                            UserNumberSeparators());
}

void TCustomNumEdit::PushPopupSettings() {
    if (TPopupWindow* popup = Popup()) SetupPopupCalculator(popup, 15, beepOnError_);
}

void TCustomNumEdit::RegroupEditText() {
    const bool wasRewriting = rewriting_;
    rewriting_ = true;
    const NumberSeparators separators = UserNumberSeparators();
    QString s = text();
    const qsizetype oldLength = s.size();
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    if (!s.isEmpty() && s != u"-") s = NormaliseNumberText(s, separators);
    s = GroupThousands(s, displayFormat_.contains(u','), separators);
    TCustomComboEdit::SetText(s);
    if (hasFocus()) setCursorPosition(start + static_cast<int>(s.size() - oldLength));
    rewriting_ = wasRewriting;
}

TBitmap TCustomNumEdit::DefaultGlyph() {
    // Loaded once, shared by every numeric edit.
    static const TBitmap glyph = LoadBitmapResource(QStringLiteral("CEDITBMP"));
    return glyph;
}

void TCustomNumEdit::ApplyPopupValue(const QVariant& value) {
    // The calculator's number reaches the edit as the calculator writes it.
    if (value.typeId() == QMetaType::Double) {
        TCustomComboEdit::ApplyPopupValue(GeneralText(value.toDouble(), 15, UserNumberSeparators().decimal));
        return;
    }
    TCustomComboEdit::ApplyPopupValue(value);
}

void TCustomNumEdit::KeyPress(QChar& key) {
    const NumberSeparators separators = UserNumberSeparators();
    if (PopupShowing() && IsCalculatorKey(key, separators)) {
        QChar handed = key;
        Popup()->KeyPress(handed);
        key = QChar();
        return;
    }
    key = TypedNumberChar(key, separators);
    TCustomComboEdit::KeyPress(key);
    if (!key.isNull() && key.unicode() >= 32 && !AcceptsChar(key)) {
        Beep();
        key = QChar();
    }
    if (key == u'\x1b') {
        // Esc with the popup closed throws the typing away.
        RefreshEditText();
        SelectAll();
        key = QChar();
    }
}

void TCustomNumEdit::Change() {
    if (rewriting_) return;
    if (formatOnEditing_ && focused_) RegroupEditText();
    TCustomComboEdit::Change();
}

void TCustomNumEdit::keyPressEvent(QKeyEvent* event) {
    if (!event->matches(QKeySequence::Paste)) {
        TCustomComboEdit::keyPressEvent(event);
        return;
    }
    const QString kept = text();
    TCustomComboEdit::keyPressEvent(event);
    CheckPaste(kept);
}

void TCustomNumEdit::contextMenuEvent(QContextMenuEvent* event) {
    TCustomComboEdit::contextMenuEvent(event);
    // The menu's paste is checked as the key's is; the text cannot change while the menu is open.
    const QList<QMenu*> menus = findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    if (menus.isEmpty()) return;
    if (QAction* paste = PasteAction(menus.last()))
        connect(paste, &QAction::triggered, this, [this, kept = text()] { CheckPaste(kept); });
}

void TCustomNumEdit::CheckPaste(const QString& kept) {
    if (UpdateValueFromText()) return;
    TCustomComboEdit::SetText(kept);
    SelectAll();
    if (isEnabled() && isVisible()) setFocus();
    Beep();
}

void TCustomNumEdit::focusInEvent(QFocusEvent* event) {
    SetFocusedState(true);
    if (formatOnEditing_) RegroupEditText();
    TCustomComboEdit::focusInEvent(event);
}

void TCustomNumEdit::focusOutEvent(QFocusEvent* event) {
    TCustomComboEdit::focusOutEvent(event);
    // Another window or a menu took the focus for a while: the edit is still being edited.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    QString error = ValidateOnExit();
    if (error.isEmpty() && !UpdateValueFromText()) error = InvalidNumberText(text());
    if (!error.isEmpty()) {
        RefuseExit(error);
        return;
    }
    SetFocusedState(false);
    setCursorPosition(0);
    emit OnExit();
}

void TCustomNumEdit::RefuseExit(const QString& error) {
    SelectAll();
    // The focus comes back once the focus change that is under way has ended.
    const QPointer<TCustomNumEdit> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, error] {
            if (!self || !self->isVisible()) return;
            self->setFocus(Qt::OtherFocusReason);
            platform::Messages().Show(self, QCoreApplication::applicationName(), error,
                                      platform::MessageIcon::Error, platform::MessageButtons::Ok);
        },
        Qt::QueuedConnection);
}

void TCustomNumEdit::paintEvent(QPaintEvent* event) {
    const bool open = PopupShowing();
    if (focused_ && !open) {
        TCustomComboEdit::paintEvent(event);
        return;
    }
    QPainter canvas(this);
    PaintAlignedText(this, canvas, open ? Popup()->PopupDisplayText() : UnfocusedText(), alignment_, false);
}

void TCustomNumEdit::changeEvent(QEvent* event) {
    TCustomComboEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) update();
}

bool TCustomNumEdit::UpdateValueFromText() {
    const std::optional<long double> value = NumberOfText(text(), UserNumberSeparators());
    if (!value) return false;
    value_ = CheckNumberRange(*value, range_);
    return true;
}

QString TCustomNumEdit::ValidateOnExit() const {
    if (!checkOnExit_) return {};
    const NumberSeparators separators = UserNumberSeparators();
    const std::optional<long double> value = NumberOfText(text(), separators);
    if (!value) return InvalidNumberText(text());
    if (CheckNumberRange(*value, range_) == *value) return {};
    return RangeErrorText(QString::fromLatin1(SOutOfRange), decimalPlaces_, range_, separators.decimal);
}

void TCustomNumEdit::SetFocusedState(bool focused) {
    if (focused == focused_) return;
    focused_ = focused;
    update();
    const bool wasRewriting = rewriting_;
    rewriting_ = true;
    RefreshEditText();
    rewriting_ = wasRewriting;
}

void TCustomNumEdit::Beep() const {
    if (beepOnError_) platform::MessageBeep();
}

TZlCustomCalcEdit::TZlCustomCalcEdit(QWidget* parent) : TCustomNumEdit(parent) {
    SetPopup(CreatePopupCalculator(this, layoutDirection()));
    PushPopupSettings();
}

TZlCustomCalcEdit::~TZlCustomCalcEdit() = default;

} // namespace widgets
