#pragma once

#include <QTreeWidget>

namespace velkor::ui {

class ColumnAlignmentDelegate;

// The picker's report-style list: whole rows, several of them selectable, 32 x 32 icons, and
// the selection in white on dark blue whether or not the list has the focus.
class CColorListCtrl : public QTreeWidget {
    Q_OBJECT

public:
    explicit CColorListCtrl(QWidget* parent = nullptr);

    // Appends a column and returns its index. The alignment is the heading's and every cell's.
    int InsertColumn(const QString& heading, Qt::Alignment alignment, int width);

private:
    ColumnAlignmentDelegate* columns_;
};

}  // namespace velkor::ui
