#pragma once

#include <QPointer>
#include <QVariant>
#include <QWidget>

// The drop-down of a combo edit: a borderless window shown under its editor that never takes
// the focus. The editor keeps the focus and hands it the keys that belong to it; the value
// reaches the editor only when the popup closes accepting it.
namespace widgets {

class TPopupWindow : public QWidget {
    Q_OBJECT
public:
    // A hidden top-level child window of `editor`.
    explicit TPopupWindow(QWidget* editor);

    QWidget* Editor() const { return editor_; }

    // The popup's value: a date, a number, or an invalid variant for none.
    virtual QVariant ReadPopupValue() = 0;
    // Loads a value (an invalid variant for none, else usually the editor's text).
    virtual void WritePopupValue(const QVariant& value) = 0;
    // Fires OnClosed.
    virtual void PopupClosing(bool accept);
    // The text the editor shows in place of its own while the popup is open; empty here.
    virtual QString PopupDisplayText() const;
    // The keys the editor passes on while the popup is open; the popup may zero them.
    virtual void KeyDown(int& key, Qt::KeyboardModifiers modifiers);
    virtual void KeyPress(QChar& key);

    // Shows the popup with its top-left corner at a screen point, on top, without activating it.
    void ShowAt(QPoint origin);
    void Conceal();
    // Repaints the editor's text area at once (the popup calculator's display changed).
    void RepaintEditorText();

signals:
    void OnClosed(bool accept);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Releasing the left button inside the popup closes it accepting, outside discarding.
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointer<QWidget> editor_;
};

} // namespace widgets
