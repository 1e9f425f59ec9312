// The address book's windows on real files: Cancel leaves the file byte for byte, OK stores
// what was done, folder names must not be empty, a snapshot is named after the card in the card
// folder whatever the name holds, and a received card is added or updated as the user says.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "addressbook/AddressBookFile.h"
#include "addressbook/ui/AddressBookDialog.h"
#include "addressbook/ui/AddressBookWindows.h"
#include "addressbook/ui/CardTransferDialog.h"
#include "addressbook/ui/EditCardDialog.h"
#include "addressbook/ui/FolderNameDialog.h"
#include "controls/ui/MessageDialog.h"
#include "platform/posix/PosixFileStore.h"
#include "resources/StringTable.h"

using namespace krl;

namespace {

CardRecord card(const char* name, const char* phone, const char* details = "") {
    CardRecord c;
    c.name = utf8ToCp1252(name);
    c.phone = utf8ToCp1252(phone);
    c.details = utf8ToCp1252(details);
    return c;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void screenshot(QWidget* w, const char* name) {
    QDir().mkpath(QStringLiteral(KRL_SCREENSHOT_DIR));
    w->grab().save(QStringLiteral(KRL_SCREENSHOT_DIR "/") + QLatin1String(name));
}

// Runs work on the next modal window that opens (a dialog run with exec()).
void onNextModal(std::function<void(QWidget*)> work) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, work = std::move(work)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        work(modal);
    });
    timer->start(10);
}

// Yes or OK, whichever the question has.
void agree(MessageDialog* message) {
    for (MessageButton b : {MessageButton::Yes, MessageButton::Ok}) {
        if (QPushButton* button = message->button(b); button && button->isVisible()) {
            button->click();
            return;
        }
    }
}

void agreeToNextMessage() {
    onNextModal([](QWidget* w) {
        auto* message = qobject_cast<MessageDialog*>(w);
        ASSERT_TRUE(message);
        agree(message);
    });
}

// The pages of the user guide the dialogs' Help buttons asked for.
struct HelpAsked {
    std::vector<std::string_view> pages;
    std::function<void(HelpWindow)> opener() {
        return [this](HelpWindow w) { pages.push_back(helpPage(w)); };
    }
    void click(QWidget* dialog) {
        dialog->findChild<QPushButton*>(QStringLiteral("id57670"))->click();
    }
};

struct Book {
    QTemporaryDir dir;
    PosixFileStore files;
    std::string path = (dir.path() + "/AddressBook.krl").toStdString();
    HelpAsked help;
    AddressBookWindows windows{
        {files,
         StringTable::builtIn(),
         path,
         {dir.path(), [](const QString&) { return QString(); }, help.opener()}}};

    Book() {
        AddressBook book = AddressBook::withDefaultFolder();
        book.addEntry(0, card("Ann", "555-1000", "Line one\r\nline two"));
        book.addEntry(0, card("José", "555-2000"));
        book.addFolder("Work");
        book.addEntry(1, card("Bob", "555-3000"));
        EXPECT_TRUE(AddressBookFile(files, path).save(book).ok());
    }
    AddressBook load() { return AddressBookFile(files, path).load().book; }
};

}  // namespace

TEST(AddressBookWindows, CancelLeavesTheFileAndOkStoresTheChanges) {
    Book b;
    const QByteArray before = readAll(QString::fromStdString(b.path));
    AddressBook book = b.load();

    // Remove the folder "People" (with its two entries, after one question), then Cancel.
    onNextModal([&b](QWidget* w) {
        auto* dialog = qobject_cast<AddressBookDialog*>(w);
        ASSERT_TRUE(dialog);
        b.help.click(dialog);
        EXPECT_EQ(b.help.pages, std::vector<std::string_view>{"addressbook.html#book"});
        dialog->select(0);
        agreeToNextMessage();
        dialog->removeSelected();
        EXPECT_TRUE(dialog->modified());
        dialog->reject();
    });
    EXPECT_FALSE(b.windows.edit(nullptr, book, std::nullopt));
    EXPECT_EQ(readAll(QString::fromStdString(b.path)), before);
    EXPECT_EQ(book, b.load());  // read again: the entries are back

    // Rename "Work", leave Bob selected, OK: the file has the new name and the selection.
    onNextModal([](QWidget* w) {
        auto* dialog = qobject_cast<AddressBookDialog*>(w);
        ASSERT_TRUE(dialog);
        dialog->select(1);
        onNextModal([](QWidget* folder) {
            auto* edit = folder->findChild<QLineEdit*>(QStringLiteral("id1034"));
            ASSERT_TRUE(edit);
            EXPECT_EQ(edit->text(), QStringLiteral("Work"));
            edit->setText(QStringLiteral("Büro"));
            screenshot(folder, "folder-name-dialog.png");
            qobject_cast<QDialog*>(folder)->accept();
        });
        dialog->renameFolder();
        dialog->select(1, 0);
        screenshot(dialog, "address-book-dialog.png");
        dialog->accept();
    });
    EXPECT_TRUE(b.windows.edit(nullptr, book, std::nullopt));
    const AddressBook stored = b.load();
    EXPECT_EQ(stored.folders()[1].name, utf8ToCp1252("Büro").bytes());
    EXPECT_EQ(stored.entry({1, 0}).viewState, CardViewState::Selected);
    EXPECT_EQ(stored.entry({0, 0}).viewState, CardViewState::FolderClosed);
}

TEST(AddressBookWindows, FolderNamesMustNotBeEmpty) {
    FolderNameDialog dialog(QString(), StringTable::builtIn(), nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Add Folder"));
    EXPECT_FALSE(dialog.acceptable());
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("id1034"));
    edit->setText(QStringLiteral("Family"));
    EXPECT_TRUE(dialog.acceptable());
    edit->setText(QString::fromUtf8("\u4e2d"));  // no such character in the code page
    EXPECT_FALSE(dialog.acceptable());
    edit->setText(QString(40, QLatin1Char('x')));
    EXPECT_EQ(edit->text().size(), 32);
}

TEST(AddressBookWindows, ASnapshotIsNamedAfterTheCardInsideTheCardFolder) {
    QTemporaryDir dir;
    QStringList written;
    bool keep = true;  // the Snapshot dialog's answer
    EditCardDialog::Services services{dir.path(),
                                      [&](const QString& path) {
                                          QImage image(8, 6, QImage::Format_RGB32);
                                          image.fill(Qt::yellow);
                                          written << path;
                                          return keep && image.save(path, "BMP") ? path : QString();
                                      },
                                      {}};
    CardRecord peer = card("../../etc/Ann", "555");
    EditCardDialog dialog(peer, QStringLiteral("Edit Address Book"), std::nullopt, services,
                          nullptr);
    dialog.takeSnapshot();
    dialog.takeSnapshot();
    ASSERT_EQ(written.size(), 2);
    EXPECT_EQ(written[0], dir.path() + QStringLiteral("/Ann.bmp"));
    EXPECT_EQ(written[1], dir.path() + QStringLiteral("/Ann1.bmp"));
    // A snapshot thrown away in the Snapshot dialog leaves the card's picture as it was.
    keep = false;
    dialog.takeSnapshot();
    EXPECT_EQ(dialog.card().picturePath(), written[1].toStdString());
    keep = true;
    // Without a name: snapshot0, snapshot1, ...
    dialog.findChild<QLineEdit*>(QStringLiteral("id353"))->clear();
    dialog.takeSnapshot();
    EXPECT_EQ(written.last(), dir.path() + QStringLiteral("/snapshot0.bmp"));
    // Send Now and its check box are only for the own card.
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("id3"))->isVisibleTo(&dialog));
    dialog.findChild<QLineEdit*>(QStringLiteral("id353"))->setText(QStringLiteral("Ann"));
    screenshot(&dialog, "edit-card-dialog.png");
}

// An entry's editor opens the entry part of the guide, the own card's editor and the
// Transferring Business Card dialog the part on the own card.
TEST(AddressBookWindows, EachCardDialogsHelpOpensItsPartOfTheGuide) {
    HelpAsked help;
    EditCardDialog::Services services{QString(), {}, help.opener()};
    EditCardDialog entry(card("Ann", "555"), QStringLiteral("Edit Address Book"), std::nullopt,
                         services, nullptr);
    help.click(&entry);
    EditCardDialog own(card("Me", "555"), QStringLiteral("Your Business Card"),
                       EditCardDialog::OwnCard{}, services, nullptr);
    help.click(&own);
    CardTransferDialog::Hooks hooks;
    hooks.help = help.opener();
    CardTransferDialog transfer(std::move(hooks), 100, nullptr);
    help.click(&transfer);
    EXPECT_EQ(help.pages,
              (std::vector<std::string_view>{"addressbook.html#entry", "addressbook.html#cards",
                                             "addressbook.html#cards"}));
}

TEST(AddressBookWindows, AReceivedCardIsAddedToAFolderOrUpdatesItsEntry) {
    Book b;
    // A new name, folder "wo" typed: the beginning of "Work" puts it there.
    onNextModal([](QWidget* w) {
        auto* combo = w->findChild<QComboBox*>(QStringLiteral("id1233"));
        ASSERT_TRUE(combo);
        combo->setEditText(QStringLiteral("wo"));
        screenshot(w, "add-card-dialog.png");
        qobject_cast<QDialog*>(w)->accept();
    });
    CardRecord zoe = card("Zoë", "555-9000", "Café");
    zoe.name = Cp1252Text(zoe.name.bytes() + "\x01" + "x");  // a separator byte from the peer
    b.windows.addCard(nullptr, zoe);
    AddressBook book = b.load();
    ASSERT_EQ(book.folders()[1].entries.size(), 2u);
    EXPECT_EQ(book.entry({1, 1}).name, utf8ToCp1252("Zoëx"));
    EXPECT_EQ(book.folders().size(), 2u);  // the whole book still loads

    // The same name with new details: asked, Yes, and the book opens at it; OK stores it.
    int questions = 0;
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [&questions, timer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* message = qobject_cast<MessageDialog*>(modal)) {
            ++questions;
            agree(message);
        } else if (auto* dialog = qobject_cast<AddressBookDialog*>(modal)) {
            timer->stop();
            timer->deleteLater();
            dialog->accept();
        }
    });
    timer->start(10);
    b.windows.addCard(nullptr, card("ann", "555-1111", "New details"));
    EXPECT_EQ(questions, 1);
    book = b.load();
    EXPECT_EQ(book.entry({0, 0}).phone, Cp1252Text("555-1111"));
    EXPECT_EQ(book.entry({0, 0}).name, Cp1252Text("Ann"));
}
