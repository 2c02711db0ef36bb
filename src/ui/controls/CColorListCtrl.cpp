#include "ui/controls/CColorListCtrl.h"

#include "ui/controls/ColumnAlignmentDelegate.h"

#include <QHeaderView>

namespace velkor::ui {
namespace {

constexpr QSize kIconSize(32, 32);
const QColor kSelectionBackground(11, 75, 119);
const QColor kSelectionText(Qt::white);

// The same selection colours in both groups, so the selection keeps its look without the focus.
QPalette SelectionPalette(QPalette palette) {
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight, kSelectionBackground);
        palette.setColor(group, QPalette::HighlightedText, kSelectionText);
    }
    return palette;
}

}  // namespace

CColorListCtrl::CColorListCtrl(QWidget* parent)
    : QTreeWidget(parent), columns_(new ColumnAlignmentDelegate(this)) {
    setItemDelegate(columns_);
    // A tree widget starts with one column; the list has none until the owner inserts them.
    setColumnCount(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setIconSize(kIconSize);
    setSortingEnabled(false);
    // Columns keep the widths they were given, as a report list's do; the last one does not grow.
    header()->setStretchLastSection(false);
    setPalette(SelectionPalette(palette()));
}

int CColorListCtrl::InsertColumn(const QString& heading, Qt::Alignment alignment, int width) {
    const int column = columns_->AppendColumn(alignment);
    setColumnCount(column + 1);
    headerItem()->setText(column, heading);
    headerItem()->setTextAlignment(column, alignment);
    setColumnWidth(column, width);
    return column;
}

}  // namespace velkor::ui
