#include "ComboEdit.h"

#include "ComboEditText.h"
#include "ComboGlyphs.h"
#include "EditMask.h"
#include "platform/WindowsLocale.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>

namespace widgets {
namespace {

constexpr int InitialButtonWidth = 21;
constexpr int InitialButtonHeight = 17;
// The system's border height (SM_CYBORDER).
constexpr int SystemBorder = 1;

bool CanTakeFocus(const QWidget* widget) {
    return widget->isEnabled() && widget->isVisible() && widget->focusPolicy() != Qt::NoFocus;
}

bool IsInside(const QWidget* widget, const QObject* object) {
    for (const QObject* o = object; o; o = o->parent())
        if (o == widget) return true;
    return false;
}

Qt::Alignment QtAlignment(TAlignment alignment) {
    switch (alignment) {
    case taRightJustify:
        return Qt::AlignRight | Qt::AlignVCenter;
    case taCenter:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case taLeftJustify:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// The characters a key press hands on: printable ones, and Backspace, Tab, Enter and Esc.
QChar KeyCharOf(const QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return u'\r';
    if (event->key() == Qt::Key_Escape) return u'\x1b';
    const QString text = event->text();
    if (text.isEmpty()) return QChar();
    const QChar c = text[0];
    if (c.unicode() >= 0x20 && c.unicode() != 0x7F) return c;
    if (c == u'\b' || c == u'\t' || c == u'\r' || c == u'\x1b') return c;
    return QChar();
}

// The entry of the edit's standard context menu that is wired to one of its slots, with that
// wiring taken off so the caller can put its own in place. Found by the connection rather than by
// its text or name, which vary with the Qt version, the translation and the program's shortcuts.
QAction* TakeMenuAction(QMenu* menu, QLineEdit* edit, void (QLineEdit::*slot)(), const char* slotSignature) {
    for (QAction* action : menu->actions()) {
        if (QObject::disconnect(action, &QAction::triggered, edit, slot) ||
            QObject::disconnect(action, SIGNAL(triggered(bool)), edit, slotSignature) ||
            QObject::disconnect(action, SIGNAL(triggered()), edit, slotSignature))
            return action;
    }
    return nullptr;
}

} // namespace

TCustomComboEdit::TCustomComboEdit(QWidget* parent) : QLineEdit(parent) {
    buttonHolder_ = new QWidget(this);
    buttonHolder_->setObjectName(QStringLiteral("ButtonHolder"));
    buttonHolder_->resize(InitialButtonWidth, InitialButtonHeight);
    dropButton_ = new TEditButton(this, buttonHolder_);
    dropButton_->setObjectName(QStringLiteral("DropButton"));
    dropButton_->setGeometry(0, 0, InitialButtonWidth, InitialButtonHeight);
    connect(dropButton_, &TZlSpeedButton::OnClick, this, &TCustomComboEdit::ButtonClicked);
    connect(this, &QLineEdit::textChanged, this, [this] { Change(); });
    resize(width(), 21);
    SetGlyphKind(gkCustom);
    constructing_ = false;
    PlaceButton();
}

TCustomComboEdit::~TCustomComboEdit() {
    disconnect(dropButton_, nullptr, this, nullptr);
    WatchOutside(false);
}

void TCustomComboEdit::SetEditMask(const QString& mask) {
    editMask_ = mask;
    const platform::FormatSettings locale = platform::WindowsFormatSettings();
    setInputMask(InputMaskOf(mask, locale.dateSeparator, locale.timeSeparator));
}

QString TCustomComboEdit::ButtonHint() const {
    return dropButton_->toolTip();
}

void TCustomComboEdit::SetButtonHint(const QString& hint) {
    dropButton_->setToolTip(hint);
}

void TCustomComboEdit::SetButtonWidth(int width) {
    if (width == buttonWidth_) return;
    buttonHolder_->setVisible(width > 1);
    if (constructing_) {
        buttonWidth_ = width;
        buttonHolder_->resize(width, buttonHolder_->height());
        dropButton_->resize(width, dropButton_->height());
        RebuildGlyph();
    } else if (width < contentsRect().width()) {
        buttonWidth_ = width;
        PlaceButton();
        RebuildGlyph();
    }
}

void TCustomComboEdit::SetDirectInput(bool directInput) {
    directInput_ = directInput;
    ApplyWindowReadOnly();
}

void TCustomComboEdit::SetReadOnly(bool readOnly) {
    if (readOnly == readOnlyFlag_) return;
    readOnlyFlag_ = readOnly;
    ApplyWindowReadOnly();
}

void TCustomComboEdit::ApplyWindowReadOnly() {
    setReadOnly(ReadOnly() || !directInput_);
}

void TCustomComboEdit::SetAlignment(TAlignment alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    setAlignment(QtAlignment(alignment));
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind kind) {
    if (kind == glyphKind_ && !constructing_) return;
    glyphKind_ = kind;
    RebuildGlyph();
    if (kind == gkDefault && !Glyph().Empty()) {
        SetButtonWidth(std::max(Glyph().Width() / std::max(1, dropButton_->NumGlyphs()) + 6, buttonWidth_));
    } else if (kind == gkDropDown) {
        SetButtonWidth(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this));
    }
}

const TBitmap& TCustomComboEdit::Glyph() const {
    return dropButton_->Glyph();
}

void TCustomComboEdit::SetGlyph(const TBitmap& glyph) {
    dropButton_->SetGlyph(glyph);
    glyphKind_ = gkCustom;
}

int TCustomComboEdit::NumGlyphs() const {
    return dropButton_->NumGlyphs();
}

void TCustomComboEdit::SetNumGlyphs(int count) {
    switch (glyphKind_) {
    case gkDropDown:
    case gkEllipsis:
        dropButton_->SetNumGlyphs(1);
        break;
    case gkDefault:
        dropButton_->SetNumGlyphs(defaultGlyphCount_);
        break;
    case gkCustom:
        dropButton_->SetNumGlyphs(count);
        break;
    }
}

void TCustomComboEdit::RebuildGlyph() {
    switch (glyphKind_) {
    case gkDefault:
        dropButton_->SetGlyph(DefaultGlyph());
        dropButton_->SetNumGlyphs(defaultGlyphCount_);
        break;
    case gkDropDown:
        dropButton_->SetGlyph(MakeDropDownGlyph());
        dropButton_->SetNumGlyphs(1);
        break;
    case gkEllipsis:
        dropButton_->SetGlyph(MakeEllipsisGlyph(buttonWidth_));
        dropButton_->SetNumGlyphs(1);
        break;
    case gkCustom:
        break;
    }
}

void TCustomComboEdit::SyncPopupVisible() {
    popupOpen_ = popup_ && popup_->isVisible();
}

void TCustomComboEdit::FireChange() {
    emit OnChange();
}

void TCustomComboEdit::SelectAll() {
    if (directInput_) selectAll();
}

void TCustomComboEdit::SetPopup(TPopupWindow* popup) {
    if (popup_) disconnect(popup_, &TPopupWindow::OnClosed, this, &TCustomComboEdit::ClosePopup);
    popup_ = popup;
    if (popup_) connect(popup_, &TPopupWindow::OnClosed, this, &TCustomComboEdit::ClosePopup);
}

TBitmap TCustomComboEdit::DefaultGlyph() {
    return TBitmap();
}

void TCustomComboEdit::OpenPopup(bool disableEdit) {
    if (!popup_ || ReadOnly() || popupOpen_) return;
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    const QSize size = popup_->size();
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1 << 16, 1 << 16);

    int y = origin.y() + height();
    if (y + size.height() > area.bottom() + 1) y = origin.y() - size.height();
    // The edit's screen, Y included, so the popup stays on the monitor the edit is on.
    if (y < area.top()) y = area.top();
    int x = origin.x();
    if (popupAlign_ == epaRight) {
        x -= size.width() - width();
        if (x < area.left()) x = origin.x();
    } else if (x + size.width() > area.right() + 1) {
        x -= size.width() - width();
    }
    if (x < area.left())
        x = area.left();
    else if (x + size.width() > area.right() + 1)
        x = area.right() + 1 - size.width();

    PushPopupValue(Text().isEmpty() ? QVariant() : QVariant(Text()));
    if (CanTakeFocus(this)) setFocus(Qt::PopupFocusReason);
    ShowPopupAt(QPoint(x, y));
    popupOpen_ = true;
    WatchOutside(true);
    // Read-only without a cursor while the popup is open; the published ReadOnly stays as it is.
    if (disableEdit) setReadOnly(true);
}

void TCustomComboEdit::ClosePopup(bool accept) {
    if (!popup_ || !popupOpen_) return;
    struct Finally {
        TCustomComboEdit* edit;
        ~Finally() {
            edit->popupOpen_ = false;
            edit->WatchOutside(false);
        }
    } finally{this};
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    QVariant value = PullPopupValue();
    HidePopupWindow();
    try {
        // The focus that is leaving the edit is not pulled back.
        if (!losingFocus_ && CanTakeFocus(this)) setFocus(Qt::PopupFocusReason);
    } catch (...) {
        // Closing goes on whatever the focus change raised.
    }
    SetDirectInput(directInput_);
    update();
    if (accept && ConfirmPopupValue(value) && CanModify()) {
        ApplyPopupValue(value);
        if (hasFocus_) SelectAll();
    }
}

QRect TCustomComboEdit::EditorTextRect() const {
    const int holder = buttonHolder_->isVisible() ? buttonHolder_->width() : 0;
    return QRect(0, 0, width() - holder - 2, height() + 1);
}

void TCustomComboEdit::ShowPopupAt(QPoint origin) {
    popup_->ShowAt(origin);
}

void TCustomComboEdit::HidePopupWindow() {
    popup_->Conceal();
}

bool TCustomComboEdit::ConfirmPopupValue(QVariant&) {
    return true;
}

void TCustomComboEdit::ApplyPopupValue(const QVariant& value) {
    const QString text = value.toString();
    if (Text() == text) return;
    SetText(text);
    setModified(true);
    SyncPopupVisible();
    FireChange();
}

void TCustomComboEdit::PushPopupValue(const QVariant& value) {
    if (popup_) popup_->WritePopupValue(value);
}

QVariant TCustomComboEdit::PullPopupValue() {
    return popup_ ? popup_->ReadPopupValue() : QVariant(QString());
}

void TCustomComboEdit::TextChangedWhileOpen() {}

void TCustomComboEdit::DropButtonClick() {
    emit OnButtonClick();
    if (!popup_) return;
    if (popupOpen_)
        ClosePopup(true);
    else
        OpenPopup(true);
}

void TCustomComboEdit::Change() {
    if (PopupShowing())
        TextChangedWhileOpen();
    else
        FireChange();
}

void TCustomComboEdit::ButtonClicked() {
    if (!ReadOnly()) DropButtonClick();
}

void TCustomComboEdit::SetCtl3D(bool on) {
    if (ctl3D_ == on) return;
    ctl3D_ = on;
    PlaceButton();
    update();
}

void TCustomComboEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter canvas(this);
    PaintFlatFrame(this, canvas);
}

void TCustomComboEdit::PlaceButton() {
    const int frame = FrameWidth();
    buttonHolder_->setGeometry(width() - buttonWidth_ - frame, frame, buttonWidth_, height() - 2 * frame);
    dropButton_->setGeometry(0, 0, buttonWidth_, buttonHolder_->height());
    FitEditRect();
}

void TCustomComboEdit::FitEditRect() {
    // Typed text never runs under the button.
    const int right = buttonHolder_->isVisibleTo(this) ? buttonHolder_->width() + 2 : 0;
    setTextMargins(0, 0, right, 0);
}

int TCustomComboEdit::FrameWidth() const {
    return hasFrame() ? 2 : 0;
}

void TCustomComboEdit::KeyDown(int& key, Qt::KeyboardModifiers modifiers) {
    emit OnKeyDown(key, modifiers);
    if (key == 0) return;
    const Qt::KeyboardModifiers shift = modifiers & ~Qt::KeypadModifier;
    if (QKeyCombination(shift, Qt::Key(key)) == clickKey_ && buttonWidth_ > 0) {
        ButtonClicked();
        key = 0;
    }
}

void TCustomComboEdit::KeyPress(QChar& key) {
    if (key == u'\r' || key == u'\x1b') {
        if (PopupShowing()) {
            ClosePopup(key == u'\r');
            key = QChar();
        } else {
            // Default and cancel buttons of the dialog still see the key.
            passKeyToDialog_ = true;
            if (key == u'\r') {
                emit OnKeyPress(key);
                key = QChar();
                return;
            }
        }
    }
    emit OnKeyPress(key);
}

bool TCustomComboEdit::RoomToType() const {
    return maxLength_ == 0 || !inputMask().isEmpty() || hasSelectedText() || text().size() < maxLength_;
}

bool TCustomComboEdit::TakesPaste() const {
    return directInput_ && !ReadOnly() && !isReadOnly();
}

void TCustomComboEdit::PasteLimited(QClipboard::Mode mode) {
    if (TakesPaste()) InsertPasted(QApplication::clipboard()->text(mode));
}

void TCustomComboEdit::InsertPasted(QString pasted) {
    const QString before = text();
    if (maxLength_ > 0 && inputMask().isEmpty()) {
        const qsizetype kept = before.size() - selectedText().size();
        pasted.truncate(std::max<qsizetype>(0, maxLength_ - kept));
    }
    insert(pasted);
    Pasted(before);
}

void TCustomComboEdit::Pasted(const QString&) {}

void TCustomComboEdit::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    KeyDown(key, event->modifiers());
    if (key == 0) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        PasteLimited();
        event->accept();
        return;
    }
    if ((event->matches(QKeySequence::Cut) && (!directInput_ || ReadOnly())) ||
        (event->matches(QKeySequence::SelectAll) && !directInput_)) {
        event->accept();
        return;
    }
    const QChar original = KeyCharOf(event);
    if (original.isNull()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QChar ch = original;
    passKeyToDialog_ = false;
    KeyPress(ch);
    if (passKeyToDialog_) {
        passKeyToDialog_ = false;
        event->ignore();
        return;
    }
    if (ch.isNull()) {
        event->accept();
        return;
    }
    const bool inserts = ch.unicode() >= 0x20;
    if (inserts && !RoomToType()) {
        event->accept();
        return;
    }
    if (ch == original) {
        QLineEdit::keyPressEvent(event);
    } else {
        QKeyEvent changed(event->type(), key, event->modifiers(), QString(ch), event->isAutoRepeat());
        QLineEdit::keyPressEvent(&changed);
        event->setAccepted(changed.isAccepted());
    }
}

void TCustomComboEdit::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && popup_) {
        if (CanTakeFocus(this)) setFocus(Qt::MouseFocusReason);
        if (!hasFocus_) return;
        if (popupOpen_) ClosePopup(false);
    }
    QLineEdit::mousePressEvent(event);
}

void TCustomComboEdit::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button pastes the X11 selection; it keeps to the same rules as any paste.
    if (event->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection()) {
        if (TakesPaste()) {
            deselect();
            PasteLimited(QClipboard::Selection);
        }
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TCustomComboEdit::dropEvent(QDropEvent* event) {
    // Text dropped from elsewhere is a paste at the drop point.
    if (event->source() == this || !event->mimeData()->hasText()) {
        QLineEdit::dropEvent(event);
        return;
    }
    if (!TakesPaste()) {
        event->ignore();
        return;
    }
    deselect();
    setCursorPosition(cursorPositionAt(event->position().toPoint()));
    event->acceptProposedAction();
    InsertPasted(event->mimeData()->text());
}

void TCustomComboEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    hasFocus_ = true;
    // Entering by key selects the text (the line edit does that), but only with direct input.
    if (!directInput_ && event->reason() != Qt::PopupFocusReason) deselect();
}

void TCustomComboEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    hasFocus_ = false;
    losingFocus_ = true;
    ClosePopup(false);
    losingFocus_ = false;
}

void TCustomComboEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    const int minimum = FontTextHeight(this) + 4 * SystemBorder + 1;
    if (height() < minimum) {
        resize(width(), minimum);
        return;
    }
    PlaceButton();
}

void TCustomComboEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FitEditRect();
    } else if (event->type() == QEvent::EnabledChange) {
        dropButton_->setEnabled(isEnabled());
    } else if (event->type() == QEvent::LayoutDirectionChange && popup_) {
        popup_->setLayoutDirection(layoutDirection());
    }
}

void TCustomComboEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Pasting from the menu keeps to the typing limit and to direct input.
    if (QAction* paste = TakeMenuAction(menu, this, &QLineEdit::paste, SLOT(paste()))) {
        connect(paste, &QAction::triggered, this, [this] { PasteLimited(); });
        paste->setEnabled(paste->isEnabled() && TakesPaste());
    }
    if (QAction* cut = TakeMenuAction(menu, this, &QLineEdit::cut, SLOT(cut()))) {
        connect(cut, &QAction::triggered, this, &QLineEdit::cut);
        cut->setEnabled(cut->isEnabled() && directInput_ && !ReadOnly());
    }
    menu->popup(event->globalPos());
}

void TCustomComboEdit::WatchOutside(bool watch) {
    if (watch == watching_ || !qApp) return;
    watching_ = watch;
    if (watch)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool TCustomComboEdit::eventFilter(QObject* watched, QEvent* event) {
    if (!PopupShowing()) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // A press anywhere but on the popup, the edit and its button closes the popup unaccepted.
        if (watched->isWidgetType() && !IsInside(popup_, watched) && watched != this &&
            !IsInside(buttonHolder_, watched))
            ClosePopup(false);
        break;
    case QEvent::WindowDeactivate:
        if (watched == window()) ClosePopup(false);
        break;
    case QEvent::ApplicationDeactivate:
        ClosePopup(false);
        break;
    default:
        break;
    }
    return false;
}

} // namespace widgets
