#include "TestLineDelegate.h"

#include "app/FocusedLine.h"

#include <QHeaderView>
#include <QPainter>
#include <QTreeView>

TTestLineDelegate::TTestLineDelegate(QTreeView* list) : QStyledItemDelegate(list), list_(list) {}

void TTestLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    // Every cell draws the whole line: the list repaints only the cells in its update region
    // (a resized column, an uncovered strip), and the line must come back whole in any of them.
    // The painter stays clipped to that region, so drawing the line again changes no pixel.
    const QHeaderView* header = list_->header();
    const int columns = header->count();
    QRect line = option.rect;
    line.setLeft(header->sectionViewportPosition(0));
    line.setRight(line.left() + header->length() - 1);

    painter->save();
    painter->setClipRect(line);
    painter->fillRect(line, list_->viewport()->palette().brush(QPalette::Base));
    QFont font = option.font;
    font.setBold(IsFocusedLine(*list_, index));
    painter->setFont(font);
    painter->setPen(option.palette.color(QPalette::Text));

    int x = line.left() + 2;
    for (int column = 0; column < columns; ++column) {
        const QModelIndex cell = index.siblingAtColumn(column);
        if (!cell.isValid()) break;
        const QString text = cell.data(Qt::DisplayRole).toString();
        painter->drawText(QRect(x, line.top(), line.right() - x + 1, line.height()),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        x += header->sectionSize(column);
    }

    painter->setPen(QColor(192, 192, 192));
    painter->drawLine(line.bottomLeft(), line.bottomRight());
    int border = line.left();
    for (int column = 0; column + 1 < columns; ++column) {
        border += header->sectionSize(column);
        painter->drawLine(border - 1, line.top(), border - 1, line.bottom());
    }
    painter->restore();
}
