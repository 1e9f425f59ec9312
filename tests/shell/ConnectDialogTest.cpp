// The connect dialog over a real address book file: it opens at the entry selected when the
// book was last closed, a number too long is refused with a word, and Dial leaves the number in
// the dialled-numbers list and ends with what to call.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include "addressbook/AddressBookFile.h"
#include "connection/CommsSettings.h"
#include "controls/ui/MessageDialog.h"
#include "platform/posix/PosixFileStore.h"
#include "resources/StringTable.h"
#include "settings/Settings.h"
#include "shell/ui/CConnectDialog.h"

using namespace krl;

TEST(CConnectDialog, OpensAtTheLastEntryRefusesALongNumberAndDials) {
    QTemporaryDir dir;
    PosixFileStore files;
    const std::string path = (dir.path() + "/AddressBook.krl").toStdString();
    AddressBook book = AddressBook::withDefaultFolder();
    CardRecord ann;
    ann.name = "Ann"_cp1252;
    ann.phone = "555-1000"_cp1252;
    ann.details = "Caf\u00e9 owner"_cp1252;
    book.addEntry(0, ann);
    CardRecord bob;
    bob.name = "Bob"_cp1252;
    bob.phone = "555-3000"_cp1252;
    bob.viewState = CardViewState::Selected;
    book.addEntry(0, bob);
    ASSERT_TRUE(AddressBookFile(files, path).save(book).ok());

    Settings settings;
    CommsSettings comms;
    comms.numbersDialed = {"555-3000", "0123"};
    comms.xPos = 40;
    comms.yPos = 30;
    settings.addTransient(comms);
    CConnectDialog dialog({settings, StringTable::builtIn(), path, [] { return false; }, {}},
                          nullptr);
    dialog.show();
    auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("id1164"));
    auto* number = dialog.findChild<QComboBox*>(QStringLiteral("id1150"));
    auto* details = dialog.findChild<QPlainTextEdit*>(QStringLiteral("id1088"));
    ASSERT_TRUE(tree && number && details);
    EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("Bob"));
    EXPECT_EQ(number->currentText(), QStringLiteral("555-3000"));
    EXPECT_EQ(number->count(), 2);
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("id1166"))->isEnabled());

    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    EXPECT_EQ(number->currentText(), QStringLiteral("555-1000"));
    EXPECT_TRUE(details->toPlainText().contains(QString::fromUtf8("Caf\u00e9 owner")));
    QDir().mkpath(QStringLiteral(KRL_SCREENSHOT_DIR));
    dialog.grab().save(QStringLiteral(KRL_SCREENSHOT_DIR "/connect-dialog.png"));

    // A number with more dialling characters than a call carries: message 4260, no call.
    number->setEditText(QString(40, QLatin1Char('5')));
    int refused = 0;
    QTimer::singleShot(50, [&] {
        if (auto* m = qobject_cast<MessageDialog*>(QApplication::activeModalWidget())) {
            refused = m->definition().id;
            m->reject();
        }
    });
    dialog.dial();
    EXPECT_EQ(refused, 4260);
    EXPECT_FALSE(dialog.result());
    EXPECT_TRUE(dialog.isVisible());

    number->setEditText(QStringLiteral("555-1000"));
    dialog.dial();
    ASSERT_TRUE(dialog.result());
    EXPECT_FALSE(dialog.result()->pickup);
    EXPECT_EQ(dialog.result()->dial.number, "555-1000");
    EXPECT_EQ(dialog.result()->dial.name, "Ann"_cp1252);
    EXPECT_EQ(settings.get<CommsSettings>().numbersDialed,
              (std::vector<std::string>{"0123", "555-3000", "555-1000"}));
}
