#pragma once

#include "ZlColors.h"

#include <QWidget>

// A small grid of equal cells with fixed leading rows and columns, one current cell that moves
// by mouse and arrow keys (each move asked of SelectCell first), and grid lines; the base of
// the calendars. Descendants draw the cells.
namespace widgets {

enum TGridOption {
    goFixedVertLine = 0x01,
    goFixedHorzLine = 0x02,
    goVertLine = 0x04,
    goHorzLine = 0x08,
    goRangeSelect = 0x10,
    goDrawFocusSelected = 0x20,
};
using TGridOptions = int;

struct TGridDrawState {
    bool selected = false;
    bool focused = false;
    bool fixed = false;
};

class TCustomGrid : public QWidget {
    Q_OBJECT
public:
    explicit TCustomGrid(QWidget* parent = nullptr);

    int ColCount() const { return colCount_; }
    void SetColCount(int count);
    int RowCount() const { return rowCount_; }
    void SetRowCount(int count);
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int count);
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int count);
    int DefaultColWidth() const { return defaultColWidth_; }
    void SetDefaultColWidth(int width);
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultRowHeight(int height);
    int GridLineWidth() const { return gridLineWidth_; }
    TGridOptions Options() const { return options_; }
    void SetOptions(TGridOptions options);
    // A one-pixel frame around the cells.
    bool BorderSingle() const { return borderSingle_; }
    void SetBorderSingle(bool single);
    // The cells' background; with ParentColor the parent's background instead.
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool parentColor);
    TColor FixedColor() const { return fixedColor_; }
    void SetFixedColor(TColor color);

    int Col() const { return col_; }
    int Row() const { return row_; }
    // Moves the current cell when SelectCell allows it; `click` runs Click afterwards.
    void MoveCurrent(int col, int row, bool click);
    // The cell under a point of the grid; false outside every cell.
    bool MouseToCell(QPoint pos, int& col, int& row) const;
    QRect CellRect(int col, int row) const;
    // The area the cells may use, inside the frame.
    QRect GridClientRect() const;

    // The key rules; a handler zeroes the key to consume it. The base moves the current cell
    // with the arrow keys, Home and End.
    virtual void KeyDown(int& key, Qt::KeyboardModifiers modifiers);
    virtual void KeyPress(QChar& key);

signals:
    void OnClick();
    void OnDblClick();
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

protected:
    // Draws one cell; the painter's brush and pen are set for the cell's state and the cell
    // is already filled.
    virtual void DrawCell(QPainter& canvas, int col, int row, const QRect& rect, TGridDrawState state);
    // Asked before the current cell moves to (col, row).
    virtual bool SelectCell(int col, int row);
    // The current cell was chosen by mouse or key.
    virtual void Click();
    virtual QColor CellColor() const;
    virtual QColor FixedCellColor() const;
    // A release of the left button inside the grid clicks too (the popup's calendar).
    void SetClickOnRelease(bool click) { clickOnRelease_ = click; }

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int Border() const { return borderSingle_ ? 1 : 0; }
    // From one column (row) to the next: the cell and, when lines are drawn there, the line.
    int ColStep() const;
    int RowStep() const;
    void DrawLines(QPainter& canvas);

    int colCount_ = 5;
    int rowCount_ = 5;
    int fixedCols_ = 1;
    int fixedRows_ = 1;
    int defaultColWidth_ = 64;
    int defaultRowHeight_ = 24;
    int gridLineWidth_ = 1;
    TGridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    TColor color_ = clWindow;
    TColor fixedColor_ = clBtnFace;
    int col_ = 1;
    int row_ = 1;
    bool borderSingle_ = true;
    bool parentColor_ = false;
    bool clickOnRelease_ = false;
    bool selecting_ = false;
};

} // namespace widgets
