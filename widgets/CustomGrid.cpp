#include "CustomGrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace widgets {

TCustomGrid::TCustomGrid(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TCustomGrid::SetColCount(int count) {
    colCount_ = std::max(1, count);
    col_ = std::clamp(col_, 0, colCount_ - 1);
    update();
}

void TCustomGrid::SetRowCount(int count) {
    rowCount_ = std::max(1, count);
    row_ = std::clamp(row_, 0, rowCount_ - 1);
    update();
}

void TCustomGrid::SetFixedCols(int count) {
    fixedCols_ = std::clamp(count, 0, colCount_ - 1);
    col_ = std::max(col_, fixedCols_);
    update();
}

void TCustomGrid::SetFixedRows(int count) {
    fixedRows_ = std::clamp(count, 0, rowCount_ - 1);
    row_ = std::max(row_, fixedRows_);
    update();
}

void TCustomGrid::SetDefaultColWidth(int width) {
    defaultColWidth_ = std::max(0, width);
    update();
}

void TCustomGrid::SetDefaultRowHeight(int height) {
    defaultRowHeight_ = std::max(0, height);
    update();
}

void TCustomGrid::SetOptions(TGridOptions options) {
    options_ = options;
    update();
}

void TCustomGrid::SetBorderSingle(bool single) {
    borderSingle_ = single;
    update();
}

void TCustomGrid::SetColor(TColor color) {
    color_ = color;
    parentColor_ = false;
    update();
}

void TCustomGrid::SetParentColor(bool parentColor) {
    parentColor_ = parentColor;
    update();
}

void TCustomGrid::SetFixedColor(TColor color) {
    fixedColor_ = color;
    update();
}

QColor TCustomGrid::CellColor() const {
    if (parentColor_) {
        const QWidget* parent = parentWidget() ? parentWidget() : this;
        return parent->palette().color(parent->backgroundRole());
    }
    return ToQColor(color_, palette());
}

QColor TCustomGrid::FixedCellColor() const {
    return ToQColor(fixedColor_, palette());
}

QRect TCustomGrid::GridClientRect() const {
    const int b = Border();
    return rect().adjusted(b, b, -b, -b);
}

int TCustomGrid::ColStep() const {
    // The columns leave room for a line between them only when the grid draws one.
    return defaultColWidth_ + ((options_ & (goVertLine | goFixedVertLine)) ? gridLineWidth_ : 0);
}

int TCustomGrid::RowStep() const {
    return defaultRowHeight_ + ((options_ & (goHorzLine | goFixedHorzLine)) ? gridLineWidth_ : 0);
}

QRect TCustomGrid::CellRect(int col, int row) const {
    const QRect client = GridClientRect();
    return QRect(client.left() + col * ColStep(), client.top() + row * RowStep(), defaultColWidth_,
                 defaultRowHeight_);
}

bool TCustomGrid::MouseToCell(QPoint pos, int& col, int& row) const {
    const QRect client = GridClientRect();
    if (!client.contains(pos)) return false;
    const int c = (pos.x() - client.left()) / std::max(1, ColStep());
    const int r = (pos.y() - client.top()) / std::max(1, RowStep());
    if (c >= colCount_ || r >= rowCount_) return false;
    col = c;
    row = r;
    return true;
}

void TCustomGrid::MoveCurrent(int col, int row, bool click) {
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return;
    if (!SelectCell(col, row)) return;
    if (col != col_ || row != row_) {
        update(CellRect(col_, row_));
        col_ = col;
        row_ = row;
        update(CellRect(col_, row_));
    }
    if (click) Click();
}

bool TCustomGrid::SelectCell(int col, int row) {
    return col >= fixedCols_ && row >= fixedRows_;
}

void TCustomGrid::Click() {
    emit OnClick();
}

void TCustomGrid::DrawCell(QPainter&, int, int, const QRect&, TGridDrawState) {}

void TCustomGrid::KeyDown(int& key, Qt::KeyboardModifiers) {
    int col = col_, row = row_;
    switch (key) {
    case Qt::Key_Up:
        row = std::max(fixedRows_, row - 1);
        break;
    case Qt::Key_Down:
        row = std::min(rowCount_ - 1, row + 1);
        break;
    case Qt::Key_Left:
        col = std::max(fixedCols_, col - 1);
        break;
    case Qt::Key_Right:
        col = std::min(colCount_ - 1, col + 1);
        break;
    case Qt::Key_Home:
        col = fixedCols_;
        break;
    case Qt::Key_End:
        col = colCount_ - 1;
        break;
    default:
        return;
    }
    key = 0;
    if (col != col_ || row != row_) MoveCurrent(col, row, true);
}

void TCustomGrid::KeyPress(QChar&) {}

void TCustomGrid::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    KeyDown(key, event->modifiers());
    bool used = key == 0;
    if (!used && !event->text().isEmpty()) {
        QChar ch = event->text()[0];
        KeyPress(ch);
        used = ch.isNull();
    }
    // Keys the grid has no use for go on to the dialog.
    if (used)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void TCustomGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
    int col = 0, row = 0;
    if (MouseToCell(event->position().toPoint(), col, row) && col >= fixedCols_ && row >= fixedRows_) {
        selecting_ = true;
        MoveCurrent(col, row, true);
    }
}

void TCustomGrid::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_) return;
    int col = 0, row = 0;
    if (MouseToCell(event->position().toPoint(), col, row) && (col != col_ || row != row_) &&
        col >= fixedCols_ && row >= fixedRows_)
        MoveCurrent(col, row, true);
}

void TCustomGrid::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        selecting_ = false;
        if (clickOnRelease_ && rect().contains(pos)) Click();
    }
    emit OnMouseUp(event->button(), event->modifiers(), pos);
}

void TCustomGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
    if (event->button() == Qt::LeftButton) emit OnDblClick();
}

void TCustomGrid::paintEvent(QPaintEvent*) {
    QPainter canvas(this);
    canvas.fillRect(rect(), CellColor());
    if (borderSingle_) {
        canvas.setPen(ToQColor(clWindowFrame, palette()));
        canvas.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    canvas.setClipRect(GridClientRect());
    canvas.setFont(font());
    const bool focused = hasFocus();
    for (int row = 0; row < rowCount_; ++row) {
        for (int col = 0; col < colCount_; ++col) {
            TGridDrawState state;
            state.fixed = col < fixedCols_ || row < fixedRows_;
            state.focused = focused && col == col_ && row == row_;
            state.selected = !state.fixed && col == col_ && row == row_;
            // The focused cell shows the selection colour only with goDrawFocusSelected.
            const bool highlighted = state.selected && (!state.focused || (options_ & goDrawFocusSelected));
            const QRect cell = CellRect(col, row);
            const QColor back = state.fixed   ? FixedCellColor()
                                : highlighted ? ToQColor(clHighlight, palette())
                                              : CellColor();
            canvas.save();
            canvas.setClipRect(cell, Qt::IntersectClip);
            canvas.fillRect(cell, back);
            canvas.setBrush(back);
            canvas.setPen(highlighted ? ToQColor(clHighlightText, palette())
                                      : palette().color(QPalette::Text));
            DrawCell(canvas, col, row, cell, state);
            canvas.restore();
            if (state.focused) {
                QStyleOptionFocusRect option;
                option.initFrom(this);
                option.rect = cell;
                option.backgroundColor = back;
                style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &canvas, this);
            }
        }
    }
    DrawLines(canvas);
}

void TCustomGrid::DrawLines(QPainter& canvas) {
    const QRect client = GridClientRect();
    const QColor fixedLine = ToQColor(clBtnShadow, palette());
    const QColor cellLine = ToQColor(clSilver, palette());
    const int fixedBottom = fixedRows_ > 0 ? CellRect(0, fixedRows_ - 1).bottom() + 1 : client.top();
    const int fixedRight = fixedCols_ > 0 ? CellRect(fixedCols_ - 1, 0).right() + 1 : client.left();
    for (int col = 0; col < colCount_; ++col) {
        const int x = CellRect(col, 0).right() + 1;
        if (options_ & goFixedVertLine)
            canvas.fillRect(x, client.top(), gridLineWidth_, fixedBottom - client.top(), fixedLine);
        if (options_ & goVertLine)
            canvas.fillRect(x, fixedBottom, gridLineWidth_, client.bottom() + 1 - fixedBottom,
                            col < fixedCols_ ? fixedLine : cellLine);
    }
    for (int row = 0; row < rowCount_; ++row) {
        const int y = CellRect(0, row).bottom() + 1;
        const bool fixedRow = row < fixedRows_;
        if (fixedRow) {
            if (options_ & goFixedHorzLine)
                canvas.fillRect(client.left(), y, client.width(), gridLineWidth_, fixedLine);
        } else {
            if ((options_ & goFixedHorzLine) && fixedCols_ > 0)
                canvas.fillRect(client.left(), y, fixedRight - client.left(), gridLineWidth_, fixedLine);
            if (options_ & goHorzLine)
                canvas.fillRect(fixedRight, y, client.right() + 1 - fixedRight, gridLineWidth_, cellLine);
        }
    }
}

} // namespace widgets
