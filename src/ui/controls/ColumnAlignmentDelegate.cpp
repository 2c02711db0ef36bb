#include "ui/controls/ColumnAlignmentDelegate.h"

namespace velkor::ui {

ColumnAlignmentDelegate::ColumnAlignmentDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

int ColumnAlignmentDelegate::AppendColumn(Qt::Alignment alignment) {
    alignments_.push_back(alignment);
    return int(alignments_.size()) - 1;
}

void ColumnAlignmentDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const auto column = std::size_t(index.column());
    if (column < alignments_.size() && !index.data(Qt::TextAlignmentRole).isValid()) {
        // Beside the tall icons the text sits in the middle of its row, as a report list shows it.
        option->displayAlignment = alignments_[column] | Qt::AlignVCenter;
    }
}

}  // namespace velkor::ui
