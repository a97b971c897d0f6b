#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;

// The main window's lists mark the line the keyboard acts on by bold text while they have the
// focus, and no other way: their selection colour stays whatever the focus.

// True when `index` lies on the current line of `list` and the list has the focus.
bool IsFocusedLine(const QAbstractItemView& list, const QModelIndex& index);

// Draws a list's items as the style does, the focused line's caption in bold.
class TFocusedLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TFocusedLineDelegate(QAbstractItemView* list);

    // Room for the bold caption whether the line has the focus or not: a view lays out its items
    // once, not at each change of focus, and a caption without its room would be cut.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QAbstractItemView* list_;
};
