#pragma once

#include "ComboEdit.h"
#include "NumEditRules.h"

#include <QString>

// The numeric edit: a combo edit for one real number, with the popup calculator on its button.
namespace widgets {

// The text of a range error: "Value must be between %d and %d", each "%d" a bound.
extern const char* const SOutOfRange;

class TCustomNumEdit : public TCustomComboEdit {
    Q_OBJECT
public:
    explicit TCustomNumEdit(QWidget* parent = nullptr);
    ~TCustomNumEdit() override;

    // Reading follows the text being typed; a text that is no number reads as MinValue.
    long double Value();
    // Clamped into the range; the edit text is rewritten.
    void SetValue(long double value);
    // The window text as it stands.
    QString Text() const { return text(); }
    // A text that reads as a number sets the value (clamped) and rewrites the text; any other
    // text changes nothing and answers false.
    bool SetText(const QString& text);

    int DecimalPlaces() const { return decimalPlaces_; }
    // 0 to 18; larger values are taken as 18.
    void SetDecimalPlaces(long long places);
    const QString& DisplayFormat() const { return displayFormat_; }
    void SetDisplayFormat(const QString& format);
    bool ZeroEmpty() const { return zeroEmpty_; }
    void SetZeroEmpty(bool zeroEmpty);
    bool BeepOnError() const { return beepOnError_; }
    void SetBeepOnError(bool beepOnError);
    // The alignment of the painted text (and of the typed text with FormatOnEditing).
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    bool FormatOnEditing() const { return formatOnEditing_; }
    void SetFormatOnEditing(bool formatOnEditing);
    long double MinValue() const { return range_.minValue; }
    void SetMinValue(long double minValue);
    long double MaxValue() const { return range_.maxValue; }
    void SetMaxValue(long double maxValue);
    bool CheckOnExit() const { return checkOnExit_; }
    void SetCheckOnExit(bool checkOnExit) { checkOnExit_ = checkOnExit; }

    // The text painted while the edit has no focus, for any value.
    QString FormatDisplayValue(long double value) const;
    // Empties the edit (the value 0).
    void Clear() { SetText(QString()); }

signals:
    // The focus left the edit with a sound value.
    void OnExit();

protected:
    virtual void RefreshEditText();
    virtual QString StandardDisplayFormat() const { return QStringLiteral(",0.##"); }
    virtual bool AcceptsChar(QChar key);
    virtual QString UnfocusedText() const { return FormatDisplayValue(value_); }
    virtual void PushPopupSettings();
    virtual void RegroupEditText();

    TBitmap DefaultGlyph() override;
    void ApplyPopupValue(const QVariant& value) override;
    void KeyPress(QChar& key) override;
    void Change() override;

    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The value takes the edit text's number, clamped; false (and the value unchanged) for no number.
    bool UpdateValueFromText();
    // With CheckOnExit, the range error text of an edit text out of range, else empty.
    QString ValidateOnExit() const;
    void SetFocusedState(bool focused);
    void RefuseExit(const QString& error);
    // After a paste: a text that is no number gives way to the one kept from before it.
    void CheckPaste(const QString& kept);
    void Beep() const;

    long double value_ = 0;
    NumberRange range_;
    QString displayFormat_;
    int decimalPlaces_ = 2;
    TAlignment alignment_ = taRightJustify;
    bool focused_ = false;
    bool beepOnError_ = true;
    bool checkOnExit_ = false;
    bool zeroEmpty_ = true;
    bool formatOnEditing_ = false;
    bool rewriting_ = false;
};

// The numeric edit whose button opens the popup calculator.
class TZlCustomCalcEdit : public TCustomNumEdit {
    Q_OBJECT
public:
    explicit TZlCustomCalcEdit(QWidget* parent = nullptr);
    ~TZlCustomCalcEdit() override;
};

// The component forms place.
class TZlCalcEdit : public TZlCustomCalcEdit {
    Q_OBJECT
public:
    using TZlCustomCalcEdit::TZlCustomCalcEdit;
};

} // namespace widgets
