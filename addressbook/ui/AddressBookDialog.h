#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "addressbook/AddressBook.h"
#include "addressbook/ui/EditCardDialog.h"

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace krl {

class PictureControl;
class StringTable;

// The Address Book dialog (template 198): the folders and their entries as a tree, the selected
// entry's details and picture, Add, Edit and Remove, the folder and entry menus and keys. It
// works on the book it is given; its caller saves the book on OK and reads the file again
// otherwise, so that Cancel undoes everything done here.
class AddressBookDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTree = 1180;
    static constexpr int kPicture = 1199;
    static constexpr int kDetails = 1088;
    static constexpr int kAdd = 1201;
    static constexpr int kEdit = 1216;
    static constexpr int kRemove = 1057;
    static constexpr int kHelp = 57670;
    static constexpr int kMsgRemove = 5150;

    AddressBookDialog(AddressBook& book, const std::optional<std::string>& selectName,
                      const StringTable& strings, EditCardDialog::Services cards, QWidget* parent);

    // The commands of the buttons, menus and keys, on the selected node.
    void addEntry();
    void editEntry();
    void removeSelected();
    void newFolder();
    void renameFolder();
    // Selects the node of a folder (entry nothing) or of an entry.
    void select(std::size_t folder, std::optional<std::size_t> entry = std::nullopt);
    bool modified() const { return modified_; }
    // OK: every entry's view state is taken from the tree first.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Node {
        std::size_t folder = 0;
        std::optional<std::size_t> entry;
    };

    void fill(const std::optional<AddressBook::Position>& select,
              const std::optional<std::size_t>& selectFolder = {});
    std::optional<Node> selected() const;
    void selectionChanged();
    void treeMenu(const QPoint& at);
    std::vector<bool> openFolders() const;

    AddressBook& book_;
    const StringTable& strings_;
    EditCardDialog::Services cards_;
    bool modified_ = false;
    std::vector<bool> open_;

    QTreeWidget* tree_ = nullptr;
    PictureControl* picture_ = nullptr;
    QPlainTextEdit* details_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* remove_ = nullptr;
};

}  // namespace krl
