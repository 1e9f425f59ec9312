// The main frame as a window: buttons, menus and the card panel, alone and in a real call with
// a second frame across a linesim cable (offscreen platform, real ptys, real event loop).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "base/Cp1252.h"
#include "base/SteadyTickSource.h"
#include "connection/ui/DialingDialog.h"
#include "controls/ui/DialogMessagePresenter.h"
#include "controls/ui/MessageDialog.h"
#include "fakes/IdleVideoWindowPair.h"
#include "platform/posix/PosixFileStore.h"
#include "platform/posix/PosixSerialDeviceFactory.h"
#include "platform/qt/SettingsStore.h"
#include "platform/qt/StoredSettings.h"
#include "resources/StringTable.h"
#include "settings/Settings.h"
#include "settings/ui/CKestrelSettings.h"
#include "settings/ui/CSetupWizard.h"
#include "shell/CallController.h"
#include "shell/CommandRegistry.h"
#include "shell/ui/AddressBookCommands.h"
#include "shell/ui/CMainFrame.h"
#include "shell/ui/PictureButton.h"
#include "shell/ui/ProgramCommands.h"
#include "shell/ui/QtCallHost.h"
#include "support/LineSim.h"
#include "support/ModemSim.h"

using namespace krl;

namespace {

constexpr int kWaitMs = 30000;

void saveScreenshot(QWidget& w, const QString& name) {
    QDir().mkpath(QStringLiteral(KRL_SCREENSHOT_DIR));
    w.grab().save(QStringLiteral(KRL_SCREENSHOT_DIR "/%1.png").arg(name));
}

template <class Window>
Window* openWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(w); window && window->isVisible())
            return window;
    return nullptr;
}

// One copy of the program's frame with a home folder and settings file of its own, built and
// started as main() does it (without the video windows). Its parts are found as a user finds
// them: by their control ids and window classes.
struct Copy {
    QTemporaryDir dir;
    SteadyTickSource ticks;
    PosixSerialDeviceFactory devices{ticks};
    SettingsStore store{dir.filePath(QStringLiteral("Kestrelcall.ini"))};
    Settings settings;
    DialogMessagePresenter messages{nullptr, StringTable::builtIn()};
    QtCallHost host{settings, StringTable::builtIn()};
    std::unique_ptr<CallController> call;
    CommandRegistry commands;
    std::unique_ptr<CMainFrame> frame;
    PosixFileStore files;
    std::unique_ptr<AddressBookCommands> addressBook;

    explicit Copy(const std::string& port = {}, bool alwaysListen = false,
                  const std::string& modemFile = "SerialCable.mdm") {
        HomeFolders folders(dir.filePath(QStringLiteral("home")));
        folders.layOut(folders.defaultReceiveDir(), QStringLiteral(KRL_BUILD_ASSET_DIR));
        addStoredBlocks(settings, store, folders.home().toStdString());
        settings.update<CommsSettings>([&](CommsSettings& c) {
            c.portName = port;
            c.modemFile = folders.home().toStdString() + "/" + modemFile;
            c.modemName = modemFile;
            c.alwaysListen = alwaysListen;
            c.baudRate = 115200;
            c.ringsCount = 1;
        });
        call = std::make_unique<CallController>(
            CallController::Services{devices, ticks, StringTable::builtIn(), messages, settings,
                                     host, folders.businessCardsDir().toStdString() + "/"});
        host.attach(*call);
        frame = std::make_unique<CMainFrame>(
            FrameServices{*call, settings, messages, commands, StringTable::builtIn(), folders},
            [](QWidget*) { return std::make_unique<test::IdleVideoWindowPair>(); });
        addProgramCommands(commands, *frame, *call, settings, frame->videoPair());
        addressBook = std::make_unique<AddressBookCommands>(AddressBookCommands::Services{
            *frame, *call, settings, StringTable::builtIn(), folders, files, frame->videoPair(),
            [this] { return host.editModemSettings(); }});
        addressBook->addTo(commands);
        messages.setMainWindow(frame.get());
        host.setWindow(frame.get());
        host.setCloseProgram([this] { frame->closeForGood(); });
        host.start();
        frame->finishStartup(false);
    }
    QString status() const {
        return frame->findChild<QLabel*>(QStringLiteral("id%1").arg(CMainFrame::kStatusLineId))
            ->text();
    }
    QAction* action(CommandId id) const {
        return frame->findChild<QAction*>(QStringLiteral("cmd%1").arg(static_cast<int>(id)));
    }
    PictureButton* button(CommandId id) const {
        return frame->findChild<PictureButton*>(QStringLiteral("id%1").arg(static_cast<int>(id)));
    }
    bool cardShown() const {
        return frame->findChild<QWidget*>(QStringLiteral("id%1").arg(CMainFrame::kCardTextId))
            ->isVisibleTo(frame.get());
    }
    const CommsSettings& comms() const { return settings.get<CommsSettings>(); }
};

bool waitFor(const std::function<bool()>& condition, int ms = kWaitMs) {
    return QTest::qWaitFor(condition, ms);
}

MessageDialog* openMessage(int id) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<MessageDialog*>(w);
            m && m->isVisible() && m->definition().id == id)
            return m;
    return nullptr;
}

// Acts on the first visible top-level window `match` accepts, as soon as one shows, from a
// timer: the window may run its own event loop under the code that opened it.
void whenShown(std::function<bool(QWidget*)> match, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, match, act] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && match(w)) {
                timer->stop();
                timer->deleteLater();
                act(w);
                return;
            }
        }
    });
    timer->start();
}

void answerWhenShown(int id, MessageButton button) {
    whenShown([id](QWidget*) { return openMessage(id) != nullptr; },
              [id, button](QWidget*) { openMessage(id)->button(button)->click(); });
}

QStringList menuTitles(CMainFrame& f) {
    QStringList t;
    for (QAction* a : f.menuBar()->actions())
        t.append(a->text());
    return t;
}

}  // namespace

// A frame alone: the command table's rules and texts on its buttons and menus, the card panel,
// About, files handed to it, and Exit, which closes at once and stores the settings.
TEST(MainFrameWindow, AFrameAloneShowsItsCommandsAndCardPanelTakesFilesAndExits) {
    Copy copy;
    CMainFrame& f = *copy.frame;
    EXPECT_EQ(f.windowTitle(), "Kestrelcall");
    EXPECT_EQ(copy.status(), "Not Connected");
    EXPECT_EQ(menuTitles(f), (QStringList{"&Connect", "&Tools", "&Options", "&Help"}));
    EXPECT_TRUE(copy.button(CommandId::Dial)->isVisible());
    EXPECT_FALSE(copy.button(CommandId::Disconnect)->isVisible());
    EXPECT_FALSE(copy.button(CommandId::Hold)->isEnabled());
    EXPECT_EQ(copy.button(CommandId::Dial)->toolTip(), "Connect to another person.");
    EXPECT_EQ(copy.action(CommandId::Listen)->text(), "&Listen");
    EXPECT_FALSE(copy.action(CommandId::Page)->isEnabled());
    EXPECT_EQ(copy.action(CommandId::Disconnect)->shortcut(), QKeySequence("Ctrl+D"));
    // Every picture button has its up picture.
    for (CommandId id :
         {CommandId::Dial, CommandId::Disconnect, CommandId::Video, CommandId::FileTransfer,
          CommandId::Chat, CommandId::Options, CommandId::Hold, CommandId::ShowCard,
          CommandId::HideCard, CommandId::AddToAddressBook})
        EXPECT_FALSE(copy.button(id)->currentPicture().isNull()) << static_cast<int>(id);

    // The card panel grows and shrinks the frame by its height.
    const int small = f.height();
    EXPECT_FALSE(copy.cardShown());
    saveScreenshot(f, "main-frame-card-hidden");
    copy.button(CommandId::ShowCard)->click();
    EXPECT_TRUE(copy.cardShown());
    EXPECT_EQ(f.height(), small + 294);
    EXPECT_FALSE(copy.button(CommandId::ShowCard)->isVisible());
    EXPECT_TRUE(copy.button(CommandId::HideCard)->isVisible());
    saveScreenshot(f, "main-frame-card-shown");
    copy.button(CommandId::HideCard)->click();
    EXPECT_EQ(f.height(), small);

    QTimer::singleShot(0, [] {
        auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->objectName(), "CAboutDialog");
        EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("id336"))->text(),
                  "Kestrelcall 1.00 , Beta 3.0");
        saveScreenshot(*about, "about-dialog");
        about->accept();
    });
    f.runCommand(CommandId::About);

    // Files from the command line and dropped ones wait in the transfer window; a web link
    // is no file.
    f.takeCommandLine({"/tmp/a file with blanks.txt", "/tmp/b.bin"});
    EXPECT_EQ(f.queuedFiles(), (QStringList{"/tmp/a file with blanks.txt", "/tmp/b.bin"}));
    f.takeDroppedUrls({QUrl::fromLocalFile("/tmp/c.txt"), QUrl("https://example.invalid/x")});
    EXPECT_EQ(f.queuedFiles().size(), 3);
    EXPECT_EQ(f.queuedFiles().last(), "/tmp/c.txt");

    f.runCommand(CommandId::Exit);
    EXPECT_TRUE(waitFor([&] { return !f.isVisible(); }));
    EXPECT_TRUE(QFile::exists(copy.store.fileName()));
}

TEST(MainFrameWindow, DialWithAModemOpensTheConnectDialog) {
    Copy copy({}, false, "HayesModem.mdm");
    bool opened = false;
    whenShown([](QWidget* w) { return w->objectName() == QStringLiteral("Dialog194"); },
              [&](QWidget* w) {
                  opened = true;
                  qobject_cast<QDialog*>(w)->reject();
              });
    copy.frame->runCommand(CommandId::Dial);
    EXPECT_TRUE(waitFor([&] { return opened; }));
    // Nothing was dialled.
    EXPECT_EQ(copy.call->connection().state(), ConnectionState::NotConnected);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <typename W>
W* control(QWidget* in, int id) {
    return in->findChild<W*>(QStringLiteral("id%1").arg(id));
}

// One control changed on every page of the sheet.
void changeEveryPage(QWidget* sheet) {
    control<QCheckBox>(sheet, 1082)->setChecked(true);
    control<QCheckBox>(sheet, 1286)->setChecked(false);
    control<QCheckBox>(sheet, 1161)->setChecked(true);
    control<QSpinBox>(sheet, 1034)->setValue(5);
    control<QCheckBox>(sheet, 1238)->setChecked(true);
    control<QRadioButton>(sheet, 1243)->setChecked(true);
    control<QCheckBox>(sheet, 1081)->setChecked(true);
}

// The settings sheet and the setup wizard leave the settings file byte for byte on Cancel and
// store what they changed on OK, as the next start reads it.
TEST(MainFrameWindow, SettingsSheetAndWizardStoreOnOkAndLeaveTheFileAloneOnCancel) {
    Copy copy;
    CMainFrame& f = *copy.frame;
    ASSERT_TRUE(copy.settings.storeAll());
    const QByteArray before = fileBytes(copy.store.fileName());
    ASSERT_FALSE(before.isEmpty());
    auto isSheet = [](QWidget* w) { return qobject_cast<CKestrelSettings*>(w) != nullptr; };
    auto isWizard = [](QWidget* w) { return qobject_cast<CSetupWizard*>(w) != nullptr; };
    whenShown(isSheet, [](QWidget* w) {
        changeEveryPage(w);
        static_cast<QDialog*>(w)->reject();
    });
    copy.action(CommandId::Options)->trigger();
    whenShown(isWizard, [](QWidget* w) {
        static_cast<CSetupWizard*>(w)->next();
        control<QComboBox>(w, 1077)->setEditText("/dev/ttyUSB7");
        static_cast<CSetupWizard*>(w)->reject();
    });
    f.runCommand(CommandId::SetupWizard);
    EXPECT_EQ(fileBytes(copy.store.fileName()), before);

    // The transfer window's Options opens the sheet on its File Transfer page.
    whenShown(isSheet, [](QWidget* w) {
        EXPECT_EQ(static_cast<CKestrelSettings*>(w)->currentPage(), SheetPage::FileTransfer);
        changeEveryPage(w);
        static_cast<QDialog*>(w)->accept();
    });
    f.runCommand(CommandId::OptionsTransfer);
    EXPECT_TRUE(copy.comms().alwaysListen);  // the connection's block follows at once

    {  // as the next start reads them
        SettingsStore again(copy.store.fileName());
        Settings reread;
        addStoredBlocks(reread, again, copy.dir.filePath(QStringLiteral("home")).toStdString());
        EXPECT_TRUE(reread.get<CommsSettings>().alwaysListen);
        EXPECT_FALSE(reread.get<GeneralSettings>().allowPaging);
        const VideoSettings& v = reread.get<VideoSettings>();
        EXPECT_EQ(v.localVideo.get(VideoSetting::AcceptPeerSize), 1u);
        EXPECT_EQ(v.remoteVideo.get(VideoSetting::RefreshPercentage), 5u);
        EXPECT_TRUE(v.remoteAlwaysOnTop);
        EXPECT_EQ(v.driver, "None");
        EXPECT_EQ(reread.get<TonebaySettings>().launchMode, LaunchMode::Launch);
        EXPECT_TRUE(reread.get<TonebaySettings>().clearQueueAfterDisconnecting);
    }

    whenShown(isWizard, [](QWidget* w) {
        auto* wizard = static_cast<CSetupWizard*>(w);
        wizard->next();
        control<QComboBox>(w, 1077)->setEditText("/dev/ttyUSB7");
        wizard->next();
        control<QSpinBox>(w, 1264)->setValue(6);
        wizard->next();
        wizard->next();
        control<QLineEdit>(w, 353)->setText(QStringLiteral("José"));
        wizard->accept();
    });
    f.runCommand(CommandId::SetupWizard);
    EXPECT_EQ(copy.comms().portName, "/dev/ttyUSB7");
    SettingsStore again(copy.store.fileName());
    const CommsSettings stored =
        again.loadComms(copy.dir.filePath(QStringLiteral("home")).toStdString());
    EXPECT_EQ(stored.portName, "/dev/ttyUSB7");
    EXPECT_EQ(stored.ringsCount, 6u);
    const GeneralSettings general = again.loadGeneral("/");
    EXPECT_EQ(general.ownCard[8], 'J');
    EXPECT_EQ(general.ownCard[11], 0xE9);  // "José" in Windows-1252
}

// Two frames across a cable: a whole call with the menus checked in each state.
TEST(MainFrameWindow, CallAcrossACableDrivesTheCommands) {
    test::LineSim cable;
    ASSERT_TRUE(cable.ok()) << cable.error();
    Copy a(cable.pathA(), true);
    Copy b(cable.pathB(), false);
    ASSERT_TRUE(waitFor([&] { return a.status() == "Listening......"; }))
        << a.status().toStdString();
    EXPECT_EQ(a.action(CommandId::Listen)->text(), "Stop &Listening");
    EXPECT_TRUE(a.action(CommandId::Dial)->isEnabled());

    b.button(CommandId::Dial)->click();
    ASSERT_TRUE(waitFor([&] { return a.status() == "Connected" && b.status() == "Connected"; }))
        << a.status().toStdString() << " / " << b.status().toStdString();
    CMainFrame& fb = *b.frame;
    // A card from the peer with a hostile name: the card panel shows it, and the SendTo
    // shortcut in the program's own folder takes the name reduced to one plain component.
    const QString sendTo = a.dir.filePath("home/SendTo");
    for (const QString& folder : {sendTo, b.dir.filePath("home/SendTo")}) {
        QDir().mkpath(folder);
        QFile shortcut(folder + "/Kestrelcall.desktop");
        ASSERT_TRUE(shortcut.open(QIODevice::WriteOnly));
    }
    BusinessCard hostile{"../../x/Ann"_cp1252, "555"_cp1252, "Hello"_cp1252, ""};
    b.call->connection().protocol().sendCard(&hostile);
    ASSERT_TRUE(waitFor([&] { return a.call->remoteCard().has_value(); }));
    EXPECT_EQ(a.call->remoteCard()->name, "../../x/Ann"_cp1252);
    EXPECT_TRUE(waitFor([&] { return QFile::exists(sendTo + "/_.._x_Ann.desktop"); }));
    EXPECT_EQ(QDir(sendTo).entryList(QDir::Files), QStringList{"_.._x_Ann.desktop"});
    EXPECT_EQ(QDir(a.dir.path()).entryList({"*.desktop"}, QDir::Files), QStringList{});
    EXPECT_TRUE(b.button(CommandId::Disconnect)->isVisible());
    EXPECT_TRUE(b.button(CommandId::Hold)->isEnabled());
    EXPECT_FALSE(b.action(CommandId::Listen)->isEnabled());

    // A name in Windows-1252, as cards travel: the page entry, the card panel and the shortcut
    // show it as the user wrote it.
    BusinessCard jose{Cp1252Text("Jos\xe9"), "555 0100"_cp1252, Cp1252Text("Caf\xe9 M\xfcller"),
                      ""};
    a.call->connection().protocol().sendCard(&jose);
    ASSERT_TRUE(waitFor([&] { return b.call->remoteCard().has_value(); }));
    EXPECT_EQ(b.action(CommandId::Page)->text(), QString::fromUtf8("P&age Jos\u00e9"));
    auto* cardText = fb.findChild<QPlainTextEdit*>("id820");
    ASSERT_NE(cardText, nullptr);
    EXPECT_TRUE(cardText->toPlainText().startsWith(QString::fromUtf8("Jos\u00e9\n555 0100")))
        << cardText->toPlainText().toStdString();
    EXPECT_TRUE(cardText->toPlainText().contains(QString::fromUtf8("Caf\u00e9 M\u00fcller")));
    EXPECT_TRUE(waitFor([&] {
        return QFile::exists(b.dir.filePath("home/SendTo/") +
                             QString::fromUtf8("Jos\u00e9.desktop"));
    }));

    // Disconnect asks 5190.
    answerWhenShown(5190, MessageButton::Yes);
    fb.runCommand(CommandId::Disconnect);
    // The peer says so with 5080 and listens again by itself; this side, not set to listen,
    // stays not connected and has forgotten the remote card.
    ASSERT_TRUE(waitFor([] { return openMessage(5080) != nullptr; }));
    EXPECT_TRUE(waitFor([&] { return a.status() == "Listening......"; }));
    EXPECT_TRUE(waitFor([&] { return b.status() == "Not Connected"; }));
    EXPECT_FALSE(b.call->remoteCard().has_value());
    // The peer's card is gone with the call and the shortcut has its own name back.
    EXPECT_FALSE(a.call->remoteCard().has_value());
    EXPECT_EQ(QDir(sendTo).entryList(QDir::Files), QStringList{"Kestrelcall.desktop"});
    openMessage(5080)->button(MessageButton::Ok)->click();
}

// A port that cannot be opened: 4000 offers the settings; OK opens the Modem dialog and the
// listen is tried again whatever the dialog's result; Cancel gives up and switches always-listen
// off, so that the restart after each call cannot ask again and again.
TEST(MainFrameWindow, PortThatWillNotOpenLeadsToTheModemDialogAndRetries) {
    Copy copy("/dev/krl-no-such-port", false);
    copy.frame->runCommand(CommandId::Listen);
    EXPECT_TRUE(copy.comms().alwaysListen);
    bool modemShown = false;  // closed without OK: tried again all the same
    whenShown([](QWidget* w) { return w->objectName() == "Dialog348"; },
              [&modemShown](QWidget* w) {
                  modemShown = true;
                  qobject_cast<QDialog*>(w)->reject();
              });
    ASSERT_TRUE(waitFor([] { return openMessage(4000) != nullptr; }));
    openMessage(4000)->button(MessageButton::Ok)->click();
    ASSERT_TRUE(waitFor([&] { return modemShown; }));
    ASSERT_TRUE(waitFor([] { return openMessage(4000) != nullptr; }));
    openMessage(4000)->button(MessageButton::Cancel)->click();
    EXPECT_TRUE(waitFor([&] { return !copy.comms().alwaysListen; }));
}

// A modem call: the dialing window is up while the modems dial, pumps from its timer, plays the
// clip and goes when the call is made.
TEST(MainFrameWindow, DialingWindowStaysUpUntilTheModemsConnect) {
    test::ModemSim modems{{.ringMs = 1500, .dialMs = 300, .handshakeMs = 300}};
    ASSERT_TRUE(modems.ok()) << modems.error();
    Copy a(modems.portA(), false, "HayesModem.mdm");
    Copy b(modems.portB(), true, "HayesModem.mdm");
    ASSERT_TRUE(waitFor([&] { return b.status() == "Listening......"; }))
        << b.status().toStdString();
    a.call->dialNumber("1002", "Bee");
    ASSERT_TRUE(waitFor([&] { return openWindow<DialingDialog>() != nullptr; }));
    DialingDialog* dialing = openWindow<DialingDialog>();
    EXPECT_TRUE(dialing->isVisible());
    EXPECT_EQ(dialing->findChild<QLineEdit*>("id353")->text(), "Bee");
    EXPECT_EQ(dialing->findChild<QLineEdit*>("id1150")->text(), "1002");
    EXPECT_TRUE(waitFor([&] { return dialing->animationRunning(); }));
    saveScreenshot(*dialing, "dialing-window-in-a-call");
    ASSERT_TRUE(waitFor([&] { return a.status() == "Connected" && b.status() == "Connected"; }))
        << a.status().toStdString() << " / " << b.status().toStdString();
    EXPECT_TRUE(waitFor([&] { return openWindow<DialingDialog>() == nullptr; }));
    a.call->forcedHangUp();
    EXPECT_TRUE(waitFor([&] { return a.status() == "Not Connected"; }));
}
