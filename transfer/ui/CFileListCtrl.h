#pragma once

#include <QTreeWidget>
#include <optional>

namespace krl {

// A list of files in report view with each file's small icon (the transfer queue, the
// histories): items are added with their icon, and deleting items selects the one that then
// stands where the last deleted one was.
class CFileListCtrl : public QTreeWidget {
public:
    CFileListCtrl(QWidget* parent, int id);

    void addColumn(int index, int width, const QString& title);
    // Appends (index -1) or inserts an item showing the file's icon; returns its row.
    int addItem(int index, const QString& text, const QString& iconPath);
    void setSubItemText(int row, int column, const QString& text);
    // Removes the given rows, or the selected ones when none are given; returns the rows removed.
    QList<int> deleteItems(std::optional<int> row = std::nullopt);
    void selectRow(int row);
    QList<int> selectedRows() const;
    QString itemText(int row, int column = 0) const;
};

}  // namespace krl
