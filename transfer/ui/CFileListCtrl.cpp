#include "transfer/ui/CFileListCtrl.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <algorithm>

namespace krl {

CFileListCtrl::CFileListCtrl(QWidget* parent, int id) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("id%1").arg(id));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setColumnCount(0);
    header()->setStretchLastSection(false);
    setIconSize(QSize(16, 16));
}

void CFileListCtrl::addColumn(int index, int width, const QString& title) {
    if (columnCount() <= index)
        setColumnCount(index + 1);
    QTreeWidgetItem* h = headerItem();
    h->setText(index, title);
    setColumnWidth(index, width);
}

int CFileListCtrl::addItem(int index, const QString& text, const QString& iconPath) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    // The icon of the file's type; a file that is gone shows the plain file icon.
    static const QFileIconProvider icons;
    const QFileInfo info(iconPath);
    item->setIcon(0, info.exists() ? icons.icon(info) : icons.icon(QFileIconProvider::File));
    if (index < 0 || index >= topLevelItemCount()) {
        addTopLevelItem(item);
        return topLevelItemCount() - 1;
    }
    insertTopLevelItem(index, item);
    return index;
}

void CFileListCtrl::setSubItemText(int row, int column, const QString& text) {
    if (QTreeWidgetItem* item = topLevelItem(row))
        item->setText(column, text);
}

QList<int> CFileListCtrl::deleteItems(std::optional<int> row) {
    QList<int> rows = row ? QList<int>{*row} : selectedRows();
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (int r : rows)
        delete takeTopLevelItem(r);
    if (!rows.isEmpty() && topLevelItemCount() > 0)
        selectRow(std::min(rows.last(), topLevelItemCount() - 1));
    return rows;
}

void CFileListCtrl::selectRow(int row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item)
        return;
    clearSelection();
    setCurrentItem(item);
    item->setSelected(true);
}

QList<int> CFileListCtrl::selectedRows() const {
    QList<int> rows;
    for (QTreeWidgetItem* item : selectedItems())
        rows.append(indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString CFileListCtrl::itemText(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->text(column) : QString();
}

}  // namespace krl
