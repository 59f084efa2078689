#pragma once

#include <QTreeWidgetItem>

// A row of the Installed Cars list. A click on a column header sorts by that column: numbers
// (the serial number) as numbers, texts without regard to case.
class InstalledCarItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    // The column whose text is a number (sorted by the number kept in Qt::UserRole).
    static constexpr int kNumberColumn = 3;

    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == kNumberColumn)
            return data(column, Qt::UserRole).toInt() < other.data(column, Qt::UserRole).toInt();
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    }
};
