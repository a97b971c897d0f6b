#pragma once

#include "Bitmap.h"
#include "ButtonGlyph.h"
#include "ZlColors.h"
#include "ZlCtrlTypes.h"

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QAction;

class QTimer;

// A push button without focus that shows a glyph and a caption. It can latch down within a
// group of buttons on the same parent, look flat until the mouse is over it, paint over its
// parent's background, drop a menu, and repeat its click while held.
namespace widgets {

// The frame of a speed button face drawn into `rect`; returns the rectangle inside it.
// `bsAutoDetect` draws the new (3-D) style.
QRect PaintBevel(QPainter& canvas, const QRect& rect, bool down, bool flat, TButtonStyle style,
                 const QPalette& palette);

// Which edge of `menu` lies at the point it pops up at (paLeft unless set), and whether a
// press on its button shows it (true unless switched off). Kept on the menu itself.
TPopupAlignment MenuAlignment(const QMenu* menu);
void SetMenuAlignment(QMenu* menu, TPopupAlignment alignment);
bool MenuAutoPopup(const QMenu* menu);
void SetMenuAutoPopup(QMenu* menu, bool autoPopup);
// The button that showed `menu` last (none before).
QWidget* MenuPopupComponent(const QMenu* menu);

class TZlSpeedButton : public QWidget {
    Q_OBJECT
public:
    explicit TZlSpeedButton(QWidget* parent = nullptr);
    ~TZlSpeedButton() override;

    QAction* Action() const { return action_; }
    void SetAction(QAction* action);
    TAlignment Alignment() const { return glyphPainter_->TextAlign; }
    void SetAlignment(TAlignment alignment);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool allowAllUp);
    bool AllowTimer() const { return allowTimer_; }
    void SetAllowTimer(bool allowTimer);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int groupIndex);
    bool Down() const { return down_; }
    void SetDown(bool down);
    QMenu* DropDownMenu() const { return dropDownMenu_; }
    void SetDropDownMenu(QMenu* menu);
    TZlDropDownMenuPos MenuPosition() const { return menuPosition_; }
    void SetMenuPosition(TZlDropDownMenuPos position) { menuPosition_ = position; }
    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    // The caption's colour (the class library's font colour): the palette's ButtonText unless set.
    TColor FontColor() const { return fontColor_.value_or(clBtnText); }
    void SetFontColor(TColor color);
    bool Flat() const { return flat_; }
    void SetFlat(bool flat);
    const TBitmap& Glyph() const { return glyphPainter_->SourceBitmap(); }
    void SetGlyph(const TBitmap& glyph);
    bool GrayedInactive() const { return grayedInactive_; }
    void SetGrayedInactive(bool grayedInactive);
    int InitPause() const { return initPause_; }
    // 0 to 65535 milliseconds.
    void SetInitPause(int milliseconds);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout layout);
    int Margin() const { return margin_; }
    // Values below -1 are ignored; -1 places the glyph automatically.
    void SetMargin(int margin);
    bool MarkDropDown() const { return markDropDown_; }
    void SetMarkDropDown(bool markDropDown);
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int modalResult) { modalResult_ = modalResult; }
    int NumGlyphs() const { return glyphPainter_->CellCount(); }
    // 1 to 5; more is taken as 5, less than 1 is ignored.
    void SetNumGlyphs(int numGlyphs);
    int RepeatInterval() const { return repeatInterval_; }
    // 0 to 65535 milliseconds.
    void SetRepeatInterval(int milliseconds);
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing);
    TButtonStyle Style() const { return style_; }
    void SetStyle(TButtonStyle style);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    bool WordWrap() const { return glyphPainter_->WrapText; }
    void SetWordWrap(bool wordWrap);

    TSpeedFaceState FaceState() const { return faceState_; }
    bool Pressing() const { return pressing_; }
    bool Hovered() const { return hovered_; }
    bool MenuOpen() const { return menuOpen_; }
    // None before the first press with AllowTimer.
    QTimer* AutoRepeatTimer() const { return autoRepeatTimer_; }
    TZlButtonGlyph& GlyphPainter() { return *glyphPainter_; }
    // The face as last painted.
    const QImage& OffscreenImage() const { return offscreenImage_; }

    // Sets the dialog's result to ModalResult (when it is not 0), then fires OnClick, or
    // triggers the action when nothing is connected to OnClick.
    virtual void Click();
    // Shows the button pressed for at least 20 ms and clicks it (a typed key of a keypad).
    void FlashAndClickButton();
    // Prepares the image of the starting face now (after the button was set up).
    void Loaded();
    // Where the drop-down menu pops up, in the button's coordinates; (0, 0) without a menu.
    QPoint MenuAnchor() const;
    // Pops up the drop-down menu at `clientPoint` and returns when it closed; false when there
    // is no menu or it does not pop up on a press.
    bool DropMenu(QPoint clientPoint);
    // Takes the mouse as over the button when it is enabled, under the cursor and the
    // application owns the active window.
    void RecheckHover();
    // The group's notification that `sender` was pressed down or changed its AllowAllUp.
    void ButtonPressed(int groupIndex, TZlSpeedButton* sender);

signals:
    void OnClick();
    // Only for a button that is down.
    void OnDblClick();
    void OnMouseEnter();
    void OnMouseLeave();
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    void OnMouseMove(Qt::KeyboardModifiers modifiers, QPoint pos);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

protected:
    // Draws glyph, caption and mark of the face in `state` into `rect`.
    virtual void PaintContent(QPainter& canvas, const QRect& rect, TSpeedFaceState state, bool mark);
    virtual void NotifyMouseEnter();
    virtual void NotifyMouseLeave();
    // One tick of the auto-repeat: after the first pause the repeats come every RepeatInterval.
    virtual void RepeatTick();

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool IsInside(QPoint pos) const;
    void EndPress(Qt::MouseButton button, QPoint pos);
    void NotifyGroup();
    TSpeedFaceState StartingState() const;
    void ActionChange(bool checkDefaults);
    void TakeActionImage();
    void UpdateAccelerator();
    void RepaintWhenChanged(bool changed);
    int TextFlags() const;

    std::unique_ptr<TZlButtonGlyph> glyphPainter_;
    QImage offscreenImage_;
    QTimer* autoRepeatTimer_ = nullptr;
    QPointer<QAction> action_;
    QPointer<QMenu> dropDownMenu_;
    QString caption_;
    std::optional<TColor> fontColor_;
    TSpeedFaceState faceState_ = sfUp;
    TZlDropDownMenuPos menuPosition_ = dmpBottom;
    TButtonLayout layout_ = blGlyphTop;
    TButtonStyle style_ = bsAutoDetect;
    int groupIndex_ = 0;
    int initPause_ = 500;
    int repeatInterval_ = 100;
    int margin_ = -1;
    int spacing_ = 1;
    int modalResult_ = 0;
    int acceleratorId_ = 0;
    bool allowAllUp_ = false;
    bool allowTimer_ = false;
    bool down_ = false;
    bool flat_ = false;
    bool grayedInactive_ = true;
    bool markDropDown_ = true;
    bool transparent_ = false;
    bool pressing_ = false;
    bool hovered_ = false;
    bool menuOpen_ = false;
};

// The speed button with auto-repeat on and the old frame style, for stepping buttons.
class TZlTimerSpeedButton : public TZlSpeedButton {
    Q_OBJECT
public:
    explicit TZlTimerSpeedButton(QWidget* parent = nullptr);
};

} // namespace widgets
