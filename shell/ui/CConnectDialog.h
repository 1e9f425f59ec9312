#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "addressbook/AddressBook.h"
#include "shell/ConnectChoice.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace krl {

class PictureControl;
class Settings;
class StringTable;

// What the connect dialog is given: where the book is, and the two windows it opens.
struct ConnectDialogServices {
    Settings& settings;
    const StringTable& strings;
    // The address book file (UTF-8 path).
    std::string bookPath;
    // The Modem settings dialog over the Comms block; true on OK (the block is then set).
    std::function<bool()> editModemSettings;
    // The Address Book dialog over the book: saves the file on OK, reloads the book otherwise.
    std::function<void(AddressBook& book, const std::optional<std::string>& selectName)>
        editAddressBook;
};

// The Connect dialog (template 194): the address book as a tree, the selected entry's details
// and picture, the box of numbers dialled before. Dial and Pickup end it; the caller then
// places the call with what result() holds, so that the call never runs under this window.
class CConnectDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDial = 1165;
    static constexpr int kPickup = 1166;
    static constexpr int kNumber = 1150;
    static constexpr int kPicture = 1199;
    static constexpr int kTree = 1164;
    static constexpr int kDetails = 1088;
    static constexpr int kConfigure = 1215;
    static constexpr int kAddressBook = 1172;

    struct Result {
        bool pickup = false;
        DialChoice dial;
    };

    CConnectDialog(ConnectDialogServices services, QWidget* parent);
    ~CConnectDialog() override;

    // After exec() returned Accepted: what to call.
    const std::optional<Result>& result() const { return result_; }
    const ConnectChoice& choice() const { return choice_; }

    void dial();
    void pickup();
    void configure();
    void editAddressBook();

protected:
    void done(int r) override;

private:
    void fillTree(const std::optional<std::string>& nameToSelect = {});
    void fillNumbers();
    void showEntry(AddressBook::Position at);
    void clearDetails();
    void selectionChanged();
    void numberPicked(int index);
    void numberEdited(const QString& text);
    void treeMenu(const QPoint& at);
    void updatePickup();
    void keepDialledNumbers();
    std::optional<AddressBook::Position> positionOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* itemOf(AddressBook::Position at) const;

    ConnectDialogServices services_;
    ConnectChoice choice_;
    std::optional<Result> result_;
    bool rebuilding_ = false;
    bool settingNumber_ = false;

    QPushButton* dial_ = nullptr;
    QPushButton* pickup_ = nullptr;
    QComboBox* number_ = nullptr;
    PictureControl* picture_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QPlainTextEdit* details_ = nullptr;
};

}  // namespace krl
