#include "SpeedButton.h"

#include "ZlColors.h"
#include "ZlUtils.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QElapsedTimer>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <thread>

namespace widgets {
namespace {

constexpr char kAlignmentProperty[] = "zlPopupAlignment";
constexpr char kAutoPopupProperty[] = "zlAutoPopup";
constexpr char kPopupComponentProperty[] = "zlPopupComponent";
constexpr int kFlashMilliseconds = 20;

// One pixel-wide frame: top and left edges in `topColor`, bottom and right in `bottomColor`
// (which takes both far corners), as the class library draws it; the rectangle shrinks by one.
void Frame3D(QPainter& canvas, QRect& rect, const QColor& topColor, const QColor& bottomColor) {
    if (rect.width() > 0 && rect.height() > 0) {
        canvas.fillRect(rect.left(), rect.top(), 1, rect.height(), topColor);
        canvas.fillRect(rect.left(), rect.top(), rect.width() - 1, 1, topColor);
        canvas.fillRect(rect.right(), rect.top(), 1, rect.height(), bottomColor);
        canvas.fillRect(rect.left(), rect.bottom(), rect.width(), 1, bottomColor);
    }
    rect.adjust(1, 1, -1, -1);
}

QImage CheckerTile(const QPalette& palette) {
    QImage tile(8, 8, QImage::Format_RGB32);
    const QRgb face = ColorToRGB(clBtnFace, palette);
    const QRgb highlight = ColorToRGB(clBtnHighlight, palette);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tile.setPixel(x, y, (x % 2) == (y % 2) ? highlight : face);
    return tile;
}

} // namespace

QRect PaintBevel(QPainter& canvas, const QRect& rect, bool down, bool flat, TButtonStyle style,
                 const QPalette& palette) {
    const bool newStyle = style == bsNew || style == bsAutoDetect;
    const auto color = [&](TColor c) { return ToQColor(c, palette); };
    QRect r = rect;
    if (down) {
        if (flat) {
            Frame3D(canvas, r, color(clWindowFrame), color(clBtnHighlight));
        } else if (newStyle) {
            Frame3D(canvas, r, color(clWindowFrame), color(clBtnHighlight));
            Frame3D(canvas, r, color(clBtnShadow), color(clBtnFace));
        } else {
            Frame3D(canvas, r, color(clWindowFrame), color(clWindowFrame));
            if (r.width() > 0 && r.height() > 0) {
                canvas.fillRect(r.left(), r.top(), 1, r.height(), color(clBtnShadow));
                canvas.fillRect(r.left(), r.top(), r.width(), 1, color(clBtnShadow));
            }
        }
    } else if (flat) {
        Frame3D(canvas, r, color(clBtnHighlight), newStyle ? color(clBtnShadow) : color(clWindowFrame));
    } else if (newStyle) {
        Frame3D(canvas, r, color(clBtnHighlight), color(clWindowFrame));
        Frame3D(canvas, r, color(clBtnFace), color(clBtnShadow));
    } else {
        Frame3D(canvas, r, color(clWindowFrame), color(clWindowFrame));
        Frame3D(canvas, r, color(clBtnHighlight), color(clBtnShadow));
    }
    return r.adjusted(1, 1, -1, -1);
}

TPopupAlignment MenuAlignment(const QMenu* menu) {
    if (!menu) return paLeft;
    const QVariant value = menu->property(kAlignmentProperty);
    return value.isValid() ? static_cast<TPopupAlignment>(value.toInt()) : paLeft;
}

void SetMenuAlignment(QMenu* menu, TPopupAlignment alignment) {
    if (menu) menu->setProperty(kAlignmentProperty, static_cast<int>(alignment));
}

bool MenuAutoPopup(const QMenu* menu) {
    if (!menu) return false;
    const QVariant value = menu->property(kAutoPopupProperty);
    return !value.isValid() || value.toBool();
}

void SetMenuAutoPopup(QMenu* menu, bool autoPopup) {
    if (menu) menu->setProperty(kAutoPopupProperty, autoPopup);
}

QWidget* MenuPopupComponent(const QMenu* menu) {
    return menu ? qobject_cast<QWidget*>(menu->property(kPopupComponentProperty).value<QObject*>()) : nullptr;
}

TZlSpeedButton::TZlSpeedButton(QWidget* parent)
    : QWidget(parent), glyphPainter_(std::make_unique<TZlButtonGlyph>()) {
    setGeometry(0, 0, 25, 25);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setForegroundRole(QPalette::ButtonText);
    glyphPainter_->SetPalette(palette());
    glyphPainter_->OnGlyphChange = [this] { update(); };
}

TZlSpeedButton::~TZlSpeedButton() {
    glyphPainter_.reset();
    offscreenImage_ = QImage();
    delete autoRepeatTimer_;
}

// --- properties -----------------------------------------------------------------------------

void TZlSpeedButton::RepaintWhenChanged(bool changed) {
    if (changed) update();
}

void TZlSpeedButton::SetAlignment(TAlignment alignment) {
    const bool changed = glyphPainter_->TextAlign != alignment;
    glyphPainter_->TextAlign = alignment;
    RepaintWhenChanged(changed);
}

void TZlSpeedButton::SetAllowAllUp(bool allowAllUp) {
    if (allowAllUp_ == allowAllUp) return;
    allowAllUp_ = allowAllUp;
    NotifyGroup();
}

void TZlSpeedButton::SetAllowTimer(bool allowTimer) {
    allowTimer_ = allowTimer;
    if (!allowTimer && autoRepeatTimer_) {
        autoRepeatTimer_->stop();
        delete autoRepeatTimer_;
        autoRepeatTimer_ = nullptr;
    }
}

void TZlSpeedButton::SetGroupIndex(int groupIndex) {
    if (groupIndex_ == groupIndex) return;
    groupIndex_ = groupIndex;
    NotifyGroup();
}

void TZlSpeedButton::SetDown(bool down) {
    if (groupIndex_ == 0) down = false;
    if (down == down_) return;
    // A latched button is released only by another of its group, unless the group allows all up.
    if (down_ && !allowAllUp_) return;
    down_ = down;
    if (down) {
        if (faceState_ == sfUp) update();
        faceState_ = sfExclusive;
    } else {
        faceState_ = sfUp;
    }
    repaint();
    if (down) NotifyGroup();
    update();
}

void TZlSpeedButton::SetDropDownMenu(QMenu* menu) {
    dropDownMenu_ = menu;
    if (markDropDown_) update();
}

void TZlSpeedButton::SetCaption(const QString& caption) {
    if (caption_ == caption) return;
    caption_ = caption;
    UpdateAccelerator();
    update();
}

void TZlSpeedButton::SetFontColor(TColor color) {
    RepaintWhenChanged(FontColor() != color);
    fontColor_ = color;
}

void TZlSpeedButton::SetFlat(bool flat) {
    RepaintWhenChanged(flat_ != flat);
    flat_ = flat;
}

void TZlSpeedButton::SetGlyph(const TBitmap& glyph) {
    glyphPainter_->SetSourceBitmap(glyph);
    update();
}

void TZlSpeedButton::SetGrayedInactive(bool grayedInactive) {
    RepaintWhenChanged(grayedInactive_ != grayedInactive);
    grayedInactive_ = grayedInactive;
}

void TZlSpeedButton::SetLayout(TButtonLayout layout) {
    RepaintWhenChanged(layout_ != layout);
    layout_ = layout;
}

void TZlSpeedButton::SetMargin(int margin) {
    if (margin < -1) return;
    RepaintWhenChanged(margin_ != margin);
    margin_ = margin;
}

void TZlSpeedButton::SetMarkDropDown(bool markDropDown) {
    RepaintWhenChanged(markDropDown_ != markDropDown);
    markDropDown_ = markDropDown;
}

void TZlSpeedButton::SetNumGlyphs(int numGlyphs) {
    if (numGlyphs > 5) numGlyphs = 5;
    // A count below 1 would give cells of no or negative width.
    if (numGlyphs < 1) return;
    if (numGlyphs == glyphPainter_->CellCount()) return;
    glyphPainter_->SetCellCount(numGlyphs);
    update();
}

// The pauses are 16-bit, as the class library stores them.
void TZlSpeedButton::SetInitPause(int milliseconds) {
    initPause_ = std::clamp(milliseconds, 0, 65535);
}

void TZlSpeedButton::SetRepeatInterval(int milliseconds) {
    repeatInterval_ = std::clamp(milliseconds, 0, 65535);
}

void TZlSpeedButton::SetSpacing(int spacing) {
    RepaintWhenChanged(spacing_ != spacing);
    spacing_ = spacing;
}

void TZlSpeedButton::SetStyle(TButtonStyle style) {
    RepaintWhenChanged(style_ != style);
    style_ = style;
}

void TZlSpeedButton::SetTransparent(bool transparent) {
    RepaintWhenChanged(transparent_ != transparent);
    transparent_ = transparent;
}

void TZlSpeedButton::SetWordWrap(bool wordWrap) {
    const bool changed = glyphPainter_->WrapText != wordWrap;
    glyphPainter_->WrapText = wordWrap;
    RepaintWhenChanged(changed);
}

void TZlSpeedButton::UpdateAccelerator() {
    if (acceleratorId_ != 0) releaseShortcut(acceleratorId_);
    acceleratorId_ = 0;
    const QKeySequence accelerator = QKeySequence::mnemonic(caption_);
    if (!accelerator.isEmpty()) acceleratorId_ = grabShortcut(accelerator);
}

// --- action link ----------------------------------------------------------------------------

void TZlSpeedButton::SetAction(QAction* action) {
    if (action_ == action) return;
    if (action_) disconnect(action_, nullptr, this, nullptr);
    action_ = action;
    if (!action) return;
    connect(action, &QAction::changed, this, [this] { ActionChange(false); });
    ActionChange(true);
}

void TZlSpeedButton::ActionChange(bool checkDefaults) {
    if (!action_) return;
    if (!checkDefaults || caption_.isEmpty()) SetCaption(action_->text());
    if (!checkDefaults || isEnabled()) setEnabled(action_->isEnabled());
    if (!checkDefaults || toolTip().isEmpty()) setToolTip(action_->toolTip());
    if (!checkDefaults || !isHidden()) setVisible(action_->isVisible());
    // With defaults only, a button that is down keeps its state.
    if (groupIndex_ != 0 && (!checkDefaults || !down_)) SetDown(action_->isChecked());
    if (Glyph().Empty() && !action_->icon().isNull()) TakeActionImage();
}

void TZlSpeedButton::TakeActionImage() {
    const QIcon icon = action_->icon();
    const QList<QSize> sizes = icon.availableSizes();
    const QSize size = sizes.isEmpty() ? QSize(16, 16) : sizes.first();
    TBitmap glyph(QImage(size, QImage::Format_RGB32));
    glyph.Image.fill(ColorToRGB(clFuchsia, palette()));
    QPainter painter(&glyph.Image);
    icon.paint(&painter, QRect(QPoint(0, 0), size));
    painter.end();
    glyph.TransparentColorSet = clFuchsia;
    SetGlyph(glyph);
}

// --- clicking -------------------------------------------------------------------------------

void TZlSpeedButton::Click() {
    if (auto* dialog = qobject_cast<QDialog*>(window()); dialog && modalResult_ != 0)
        dialog->done(modalResult_);
    if (isSignalConnected(QMetaMethod::fromSignal(&TZlSpeedButton::OnClick)) || !action_)
        emit OnClick();
    else
        action_->trigger();
}

void TZlSpeedButton::FlashAndClickButton() {
    if (menuOpen_ || !isEnabled() || (dropDownMenu_ && MenuAutoPopup(dropDownMenu_))) return;
    if (!down_) {
        faceState_ = sfDown;
        repaint();
    }
    // The pressed face stays up for the flash; no input is handled meanwhile.
    QElapsedTimer flash;
    flash.start();
    while (flash.elapsed() < kFlashMilliseconds)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    const QPointer<TZlSpeedButton> self(this);
    const auto finish = [this, &self] {
        if (!self) return;
        faceState_ = sfUp;
        if (groupIndex_ == 0) {
            repaint();
            return;
        }
        SetDown(!down_);
        // A latched button its group keeps down shows latched, not raised.
        if (down_ && faceState_ != sfExclusive) {
            faceState_ = sfExclusive;
            repaint();
        }
        Click();
    };
    if (groupIndex_ == 0) {
        try {
            Click();
        } catch (...) {
            finish();
            throw;
        }
    }
    finish();
}

void TZlSpeedButton::RepeatTick() {
    if (autoRepeatTimer_) autoRepeatTimer_->setInterval(repeatInterval_);
    if (faceState_ != sfDown || !pressing_) return;
    try {
        Click();
    } catch (...) {
        if (autoRepeatTimer_) autoRepeatTimer_->stop();
        throw;
    }
}

// --- mouse ----------------------------------------------------------------------------------

bool TZlSpeedButton::IsInside(QPoint pos) const {
    // The row just below the bottom edge still counts, as the class library's test has it.
    return pos.x() >= 0 && pos.x() < width() && pos.y() >= 0 && pos.y() <= height();
}

QPoint TZlSpeedButton::MenuAnchor() const {
    if (!dropDownMenu_) return QPoint(0, 0);
    const TPopupAlignment alignment = MenuAlignment(dropDownMenu_);
    if (menuPosition_ == dmpBottom) {
        switch (alignment) {
        case paLeft:
            return QPoint(-1, height());
        case paRight:
            return QPoint(width() + 1, height());
        case paCenter:
            return QPoint(width() / 2, height());
        }
    }
    switch (alignment) {
    case paLeft:
        return QPoint(width(), -1);
    case paRight:
        return QPoint(-1, -1);
    case paCenter:
        return QPoint(width() / 2, height());
    }
    return QPoint(0, 0);
}

bool TZlSpeedButton::DropMenu(QPoint clientPoint) {
    if (!dropDownMenu_ || !MenuAutoPopup(dropDownMenu_)) return false;
    QMenu* menu = dropDownMenu_;
    menu->setProperty(kPopupComponentProperty, QVariant::fromValue<QObject*>(this));
    QPoint at = mapToGlobal(clientPoint);
    const int menuWidth = menu->sizeHint().width();
    if (MenuAlignment(menu) == paRight)
        at.rx() -= menuWidth;
    else if (MenuAlignment(menu) == paCenter)
        at.rx() -= menuWidth / 2;
    menu->exec(at);
    return true;
}

void TZlSpeedButton::mousePressEvent(QMouseEvent* event) {
    if (menuOpen_) return;
    const QPoint pos = event->position().toPoint();
    const QPointer<TZlSpeedButton> self(this);
    emit OnMouseDown(event->button(), event->modifiers(), pos);
    if (!self) return;
    if (!hovered_ && isEnabled()) {
        hovered_ = true;
        repaint();
    }
    if (event->button() == Qt::LeftButton && isEnabled()) {
        if (!down_) {
            faceState_ = sfDown;
            repaint();
        }
        pressing_ = true;
        menuOpen_ = true;
        struct MenuGuard {
            const QPointer<TZlSpeedButton>& button;
            ~MenuGuard() {
                if (button) button->menuOpen_ = false;
            }
        };
        {
            MenuGuard guard{self};
            if (DropMenu(MenuAnchor()) && self) {
                EndPress(Qt::LeftButton, pos);
                // The click that closed the menu on this button must not press it again.
                const auto onThisButton = [self](const QEvent& e) {
                    const auto& mouse = static_cast<const QMouseEvent&>(e);
                    return self && mouse.button() == Qt::LeftButton &&
                           self->IsInside(self->mapFromGlobal(mouse.globalPosition().toPoint()));
                };
                DropPendingMessage(this, QEvent::MouseButtonPress, onThisButton);
                DropPendingMessage(this, QEvent::MouseButtonDblClick, onThisButton);
            }
        }
        if (!self) return;
        if (allowTimer_) {
            if (!autoRepeatTimer_) {
                autoRepeatTimer_ = new QTimer(this);
                connect(autoRepeatTimer_, &QTimer::timeout, this, &TZlSpeedButton::RepeatTick);
            }
            autoRepeatTimer_->setInterval(initPause_);
            autoRepeatTimer_->start();
        }
    }
    if (event->button() == Qt::RightButton) RecheckHover();
}

void TZlSpeedButton::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    emit OnMouseMove(event->modifiers(), pos);
    if (!pressing_) return;
    const TSpeedFaceState state = down_ ? sfExclusive : (IsInside(pos) ? sfDown : sfUp);
    if (state != faceState_) {
        faceState_ = state;
        repaint();
    }
}

void TZlSpeedButton::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QPointer<TZlSpeedButton> self(this);
    emit OnMouseUp(event->button(), event->modifiers(), pos);
    if (!self) return;
    EndPress(event->button(), pos);
    if (!self) return;
    if (autoRepeatTimer_) autoRepeatTimer_->stop();
    if (event->button() == Qt::RightButton) RecheckHover();
}

void TZlSpeedButton::EndPress(Qt::MouseButton button, QPoint pos) {
    if (!pressing_ || button != Qt::LeftButton) return;
    pressing_ = false;
    const bool click = IsInside(pos);
    if (groupIndex_ == 0) {
        faceState_ = sfUp;
        hovered_ = false;
        if (click)
            repaint();
        else
            update();
    } else if (click) {
        SetDown(!down_);
        if (down_) repaint();
    } else {
        if (down_) faceState_ = sfExclusive;
        repaint();
    }
    const QPointer<TZlSpeedButton> self(this);
    if (click && !menuOpen_) Click();
    if (self) RecheckHover();
}

void TZlSpeedButton::mouseDoubleClickEvent(QMouseEvent* event) {
    if (menuOpen_) return;
    const QPointer<TZlSpeedButton> self(this);
    mousePressEvent(event);
    if (self && down_) emit OnDblClick();
}

// --- hover ----------------------------------------------------------------------------------

void TZlSpeedButton::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (hovered_ || !isEnabled() || !OwnsActiveWindow()) return;
    hovered_ = true;
    if (flat_) repaint();
    NotifyMouseEnter();
}

void TZlSpeedButton::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (!hovered_ || !isEnabled() || pressing_) return;
    hovered_ = false;
    if (flat_) update();
    NotifyMouseLeave();
}

void TZlSpeedButton::RecheckHover() {
    const bool underCursor = QApplication::widgetAt(QCursor::pos()) == this;
    const bool hovered = isEnabled() && underCursor && OwnsActiveWindow();
    if (hovered == hovered_) return;
    hovered_ = hovered;
    if (hovered) {
        if (flat_) repaint();
        NotifyMouseEnter();
    } else {
        if (flat_) update();
        NotifyMouseLeave();
    }
}

void TZlSpeedButton::NotifyMouseEnter() {
    emit OnMouseEnter();
}

void TZlSpeedButton::NotifyMouseLeave() {
    emit OnMouseLeave();
}

// --- groups ---------------------------------------------------------------------------------

void TZlSpeedButton::NotifyGroup() {
    if (groupIndex_ == 0 || !parentWidget()) return;
    const QObjectList siblings = parentWidget()->children();
    for (QObject* child : siblings)
        if (auto* button = qobject_cast<TZlSpeedButton*>(child)) button->ButtonPressed(groupIndex_, this);
}

void TZlSpeedButton::ButtonPressed(int groupIndex, TZlSpeedButton* sender) {
    if (groupIndex != groupIndex_ || !parentWidget() || !parentWidget()->testAttribute(Qt::WA_WState_Created))
        return;
    if (!sender || sender == this) return;
    if (sender->down_ && down_) {
        down_ = false;
        faceState_ = sfUp;
        repaint();
    }
    allowAllUp_ = sender->allowAllUp_;
}

// --- notifications --------------------------------------------------------------------------

TSpeedFaceState TZlSpeedButton::StartingState() const {
    if (!isEnabled()) return sfDisabled;
    return flat_ ? sfInactive : sfUp;
}

void TZlSpeedButton::Loaded() {
    glyphPainter_->ImageForState(StartingState());
}

bool TZlSpeedButton::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        const auto* shortcut = static_cast<QShortcutEvent*>(event);
        if (shortcut->shortcutId() == acceleratorId_ && acceleratorId_ != 0) {
            if (isEnabled()) Click();
            return true;
        }
    }
    return QWidget::event(event);
}

void TZlSpeedButton::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange: {
        glyphPainter_->ImageForState(StartingState());
        const QPointer<TZlSpeedButton> self(this);
        RecheckHover();
        if (self) repaint();
        break;
    }
    case QEvent::PaletteChange:
        // The prepared images were made with the old system colours.
        glyphPainter_->SetPalette(palette());
        glyphPainter_->ClearImages();
        update();
        break;
    case QEvent::FontChange:
        update();
        break;
    default:
        break;
    }
}

void TZlSpeedButton::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    RecheckHover();
}

// --- painting -------------------------------------------------------------------------------

int TZlSpeedButton::TextFlags() const {
    switch (glyphPainter_->TextAlign) {
    case taLeftJustify:
        return Qt::AlignLeft;
    case taRightJustify:
        return Qt::AlignRight;
    case taCenter:
        break;
    }
    return Qt::AlignHCenter;
}

void TZlSpeedButton::PaintContent(QPainter& canvas, const QRect& rect, TSpeedFaceState state, bool mark) {
    glyphPainter_->Render(canvas, rect, caption_, layout_, margin_, spacing_, mark, state, TextFlags());
}

void TZlSpeedButton::paintEvent(QPaintEvent*) {
    if (!isEnabled()) {
        faceState_ = sfDisabled;
        pressing_ = false;
    } else if (faceState_ == sfDisabled) {
        faceState_ = down_ && groupIndex_ != 0 ? sfExclusive : sfUp;
    }
    if (width() <= 0 || height() <= 0) return;
    const TSpeedFaceState paintState = flat_ && !hovered_ ? sfInactive : faceState_;
    const QPalette& colors = palette();

    offscreenImage_ = QImage(size(), QImage::Format_RGB32);
    offscreenImage_.fill(ColorToRGB(clBtnFace, colors));
    QPainter canvas(&offscreenImage_);
    canvas.setFont(font());
    canvas.setLayoutDirection(layoutDirection());
    canvas.setPen(fontColor_ ? ToQColor(*fontColor_, colors)
                             : colors.color(QPalette::Active, foregroundRole()));

    if (transparent_) CopyParentBackground(this, canvas);

    const bool pressed = faceState_ == sfDown || faceState_ == sfExclusive;
    QRect paintRect = rect();
    if (paintState != sfInactive || faceState_ == sfExclusive)
        paintRect = PaintBevel(canvas, paintRect, pressed, flat_, style_, colors);
    else
        paintRect.adjust(2, 2, -2, -2);

    if (faceState_ == sfExclusive && !transparent_ && (!flat_ || paintState == sfInactive)) {
        canvas.setBrushOrigin(0, 0);
        canvas.fillRect(paintRect.adjusted(-1, -1, 1, 1), QBrush(CheckerTile(colors)));
    }
    if (pressed) paintRect.translate(1, 1);

    const TSpeedFaceState drawState = grayedInactive_ && faceState_ != sfDisabled ? paintState : faceState_;
    PaintContent(canvas, paintRect, drawState, markDropDown_ && dropDownMenu_);
    canvas.end();

    QPainter(this).drawImage(0, 0, offscreenImage_);
}

TZlTimerSpeedButton::TZlTimerSpeedButton(QWidget* parent) : TZlSpeedButton(parent) {
    SetStyle(bsWin31);
    SetAllowTimer(true);
}

} // namespace widgets
