#include "FocusedLine.h"

#include <QAbstractItemView>

bool IsFocusedLine(const QAbstractItemView& list, const QModelIndex& index) {
    // The line's own focus, not the cell's: every cell of the line is drawn alike.
    const QModelIndex current = list.currentIndex();
    return (list.hasFocus() || list.viewport()->hasFocus()) && current.isValid() &&
           current.row() == index.row() && current.parent() == index.parent();
}

TFocusedLineDelegate::TFocusedLineDelegate(QAbstractItemView* list)
    : QStyledItemDelegate(list), list_(list) {}

void TFocusedLineDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (IsFocusedLine(*list_, index)) option->font.setBold(true);
}

QSize TFocusedLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem bold = option;
    bold.font.setBold(true);
    return QStyledItemDelegate::sizeHint(bold, index);
}
