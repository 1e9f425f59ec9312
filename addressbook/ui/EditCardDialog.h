#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "addressbook/CardRecord.h"
#include "shell/HelpPages.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace krl {

class PictureControl;

// The Edit Address Book dialog (template 211): one card's name, phone, details and picture.
// It edits a copy; the caller takes it back on OK (result 1) or Send Now (result 3). For the
// user's own card it also shows the send-on-connect check box and Send Now (enabled while a call
// is connected).
class EditCardDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kName = 353;
    static constexpr int kPhone = 1193;
    static constexpr int kDetails = 1088;
    static constexpr int kPicture = 1199;
    static constexpr int kBrowse = 1076;
    static constexpr int kSnapshot = 1221;
    static constexpr int kSendOnConnect = 1223;
    static constexpr int kSendNow = 3;
    static constexpr int kSendNowResult = 3;
    static constexpr int kHelp = 57670;

    struct OwnCard {
        bool sendOnConnect = false;
        bool connected = false;
    };
    struct Services {
        // The business-card folder (UTF-8), where snapshots are written.
        QString cardFolder;
        // Takes the card's snapshot (the local camera for the own card, the remote picture for
        // an entry) as a bitmap under the path, through the Snapshot dialog: the file the user
        // kept there, or empty when there was no picture or the user threw it away.
        std::function<QString(const QString& path)> snapshot;
        // Opens the user guide at a window's page (the Help buttons of the address book's
        // dialogs).
        std::function<void(HelpWindow)> help;
    };

    EditCardDialog(const CardRecord& card, const QString& title, std::optional<OwnCard> own,
                   Services services, QWidget* parent);

    // The edited copy (after OK or Send Now).
    const CardRecord& card() const { return card_; }
    bool sendOnConnect() const;

    // OK (the button, Return, or a caller): takes the fields into the card and ends with 1.
    void accept() override;
    void browse();
    void takeSnapshot();
    // Sets the card's picture and previews it; false when the path cannot be stored.
    bool setPicture(const QString& path);

private:
    void finish(int result);

    CardRecord card_;
    Services services_;
    QLineEdit* name_ = nullptr;
    QLineEdit* phone_ = nullptr;
    QPlainTextEdit* details_ = nullptr;
    PictureControl* picture_ = nullptr;
    QCheckBox* sendOnConnect_ = nullptr;
    QPushButton* sendNow_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace krl
