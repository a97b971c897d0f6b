#pragma once

#include "Bitmap.h"
#include "EditButton.h"
#include "PopupWindow.h"
#include "ZlCtrlTypes.h"

#include <QClipboard>
#include <QKeyCombination>
#include <QLineEdit>
#include <QPointer>
#include <QVariant>

// A single-line (masked) edit with a drop button glued to its right edge and an optional
// drop-down popup shown under it without taking the focus. The date edit and the numeric edit
// derive from it; their popups derive from TPopupWindow.
namespace widgets {

enum TPopupAlign { epaRight = 0, epaLeft = 1 };
enum TGlyphKind { gkCustom = 0, gkDefault = 1, gkDropDown = 2, gkEllipsis = 3 };

class TCustomComboEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TCustomComboEdit(QWidget* parent = nullptr);
    ~TCustomComboEdit() override;

    TEditButton* DropButton() const { return dropButton_; }
    QWidget* ButtonHolder() const { return buttonHolder_; }
    TPopupWindow* Popup() const { return popup_; }

    // The 3-D border (the default), or the flat look: a one-pixel frame in the window-frame
    // colour.
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool on);

    // What the edit shows, mask blanks and literals included (positional date reading needs them).
    QString Text() const { return displayText(); }
    void SetText(const QString& text) { setText(text); }
    // The class library's mask notation ("!99/99/9999;1; "); "/" and ":" stand for the locale's
    // separators. An empty mask switches masking off.
    QString EditMask() const { return editMask_; }
    void SetEditMask(const QString& mask);
    // The most characters typing and pasting may leave in the edit; 0 for no limit. Text set by
    // the program is never cut.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int maxLength) { maxLength_ = maxLength < 0 ? 0 : maxLength; }

    QString ButtonHint() const;
    void SetButtonHint(const QString& hint);
    int ButtonWidth() const { return buttonWidth_; }
    // Ignored unless smaller than the client width; the button is hidden below 2.
    void SetButtonWidth(int width);
    // Alt+Down unless set.
    QKeyCombination ClickKey() const { return clickKey_; }
    void SetClickKey(QKeyCombination key) { clickKey_ = key; }
    bool DirectInput() const { return directInput_; }
    // Without direct input the user cannot type or paste, but can use the button and the popup.
    void SetDirectInput(bool directInput);
    // The published read-only state; every test of it goes through this getter.
    virtual bool ReadOnly() const { return readOnlyFlag_; }
    void SetReadOnly(bool readOnly);
    // The can-modify query.
    bool CanModify() const { return !readOnlyFlag_; }
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    TPopupAlign PopupAlign() const { return popupAlign_; }
    void SetPopupAlign(TPopupAlign align) { popupAlign_ = align; }
    TGlyphKind GlyphKind() const { return glyphKind_; }
    void SetGlyphKind(TGlyphKind kind);
    const TBitmap& Glyph() const;
    // Makes the glyph kind gkCustom.
    void SetGlyph(const TBitmap& glyph);
    int NumGlyphs() const;
    // Only gkCustom takes the count; the other kinds keep their own.
    void SetNumGlyphs(int count);

    bool PopupOpen() const { return popupOpen_; }
    bool HasFocus() const { return hasFocus_; }
    // A popup exists and is open.
    bool PopupShowing() const { return popup_ && popupOpen_; }
    // PopupOpen follows whether the popup is visible.
    void SyncPopupVisible();
    // Fires OnChange.
    void FireChange();
    // Selects the whole text, only with direct input.
    void SelectAll();

    virtual void OpenPopup(bool disableEdit);
    // The area of the text, clear of the button.
    QRect EditorTextRect() const;

    // The key rules; a handler zeroes the key to consume it. They run from keyPressEvent.
    virtual void KeyDown(int& key, Qt::KeyboardModifiers modifiers);
    virtual void KeyPress(QChar& key);

public slots:
    // The popup closed (its OnClosed), or the edit closes it; a value is taken only on accept.
    void ClosePopup(bool accept);

signals:
    void OnButtonClick();
    // A real change of the text while no popup is open, or a value taken from the popup.
    void OnChange();
    // The edit's own key events (connect directly: the handler may zero the key).
    void OnKeyDown(int& key, Qt::KeyboardModifiers modifiers);
    void OnKeyPress(QChar& key);

protected:
    // The popup the descendant made; the edit listens to its OnClosed. Not owned.
    void SetPopup(TPopupWindow* popup);
    // The number of images of the default glyph.
    void SetDefaultGlyphCount(int count) { defaultGlyphCount_ = count; }
    int DefaultGlyphCount() const { return defaultGlyphCount_; }

    // The glyph of gkDefault; none here.
    virtual TBitmap DefaultGlyph();
    virtual void ShowPopupAt(QPoint origin);
    virtual void HidePopupWindow();
    // Asked before a value from the popup is taken.
    virtual bool ConfirmPopupValue(QVariant& value);
    virtual void ApplyPopupValue(const QVariant& value);
    virtual void PushPopupValue(const QVariant& value);
    virtual QVariant PullPopupValue();
    // Called instead of OnChange while the popup is open.
    virtual void TextChangedWhileOpen();
    // The button's click, or the click key.
    virtual void DropButtonClick();
    // The text changed.
    virtual void Change();
    // A paste (keys, context menu, middle button or a drop) changed the text; before is the text
    // it replaced.
    virtual void Pasted(const QString& before);

    void ButtonClicked();
    void PlaceButton();
    void FitEditRect();
    void RebuildGlyph();

    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyWindowReadOnly();
    bool TakesPaste() const;
    void PasteLimited(QClipboard::Mode mode = QClipboard::Clipboard);
    void InsertPasted(QString pasted);
    bool RoomToType() const;
    int FrameWidth() const;
    void WatchOutside(bool watch);

    TEditButton* dropButton_ = nullptr;
    QWidget* buttonHolder_ = nullptr;
    QPointer<TPopupWindow> popup_;
    QString editMask_;
    QKeyCombination clickKey_{Qt::AltModifier, Qt::Key_Down};
    TAlignment alignment_ = taLeftJustify;
    bool ctl3D_ = true;
    TPopupAlign popupAlign_ = epaRight;
    TGlyphKind glyphKind_ = gkCustom;
    int buttonWidth_ = 21;
    int defaultGlyphCount_ = 1;
    int maxLength_ = 0;
    bool readOnlyFlag_ = false;
    bool directInput_ = true;
    bool popupOpen_ = false;
    bool hasFocus_ = false;
    bool constructing_ = true;
    bool watching_ = false;
    bool passKeyToDialog_ = false;
    bool losingFocus_ = false;
};

} // namespace widgets
