#pragma once

#include <QStyledItemDelegate>

#include <vector>

namespace velkor::ui {

// Draws each cell with its column's alignment unless the cell has one of its own, so rows
// can be added without aligning every cell.
class ColumnAlignmentDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit ColumnAlignmentDelegate(QObject* parent);

    // Adds the next column's alignment and returns that column's index.
    int AppendColumn(Qt::Alignment alignment);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    std::vector<Qt::Alignment> alignments_;
};

}  // namespace velkor::ui
