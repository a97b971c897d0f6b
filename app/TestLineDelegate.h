#pragma once

#include <QStyledItemDelegate>

class QTreeView;

// Draws one line of the test list as a whole: the list's background brush over the line (so
// no selection colour shows), then date, time and note at their column offsets, each clipped
// to the whole line rather than to its column. The current line is bold while the list has
// the focus; light grid lines part the lines and columns.
class TTestLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TTestLineDelegate(QTreeView* list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QTreeView* list_;
};
