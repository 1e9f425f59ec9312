// kestrelcall: builds the program's object graph and runs the event loop.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSocketNotifier>
#include <cstdio>
#include <cstring>

#include "base/SteadyTickSource.h"
#include "controls/ui/DialogMessagePresenter.h"
#include "platform/ffmpeg/FfmpegCaptureFactory.h"
#include "platform/posix/PosixFileStore.h"
#include "platform/posix/PosixSerialDeviceFactory.h"
#include "platform/posix/StopSignals.h"
#include "platform/qt/HomeFolders.h"
#include "platform/qt/SettingsStore.h"
#include "platform/qt/SingleInstance.h"
#include "platform/qt/StoredSettings.h"
#include "resources/StringTable.h"
#include "settings/Settings.h"
#include "shell/CallController.h"
#include "shell/CommandRegistry.h"
#include "shell/app/TestChannel.h"
#include "shell/ui/AddressBookCommands.h"
#include "shell/ui/CMainFrame.h"
#include "shell/ui/CVideoPhoneApp.h"
#include "shell/ui/ChatBridge.h"
#include "shell/ui/ControlBridge.h"
#include "shell/ui/LaunchOptions.h"
#include "shell/ui/ModalDiscipline.h"
#include "shell/ui/ProgramCommands.h"
#include "shell/ui/QtCallHost.h"
#include "shell/ui/TransferCommands.h"
#include "shell/ui/UserGuide.h"
#include "transfer/ui/TransferFeature.h"
#include "video/ui/VideoWindows.h"

namespace {

// The files shipped for the home folder: installed beside the program, else the build tree's.
QString assetDir() {
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral("../share/kestrelcall/home"));
    if (QFileInfo(installed).isDir())
        return QDir::cleanPath(installed);
    return QStringLiteral(KRL_BUILD_ASSET_DIR);
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before the window system is reached, so that it works without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("Kestrelcall %s\n", KRL_VERSION);
        return 0;
    }
    // Before anything else: a termination request from here on closes the program as its Exit
    // does, without the question (a file on the move stopped, the peer told, the line hung up).
    krl::StopSignals stopSignals;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrelcall"));
    QApplication::setOrganizationName(QStringLiteral("Brightmar"));
    Q_INIT_RESOURCE(bitmaps);

    QString error;
    auto options = krl::LaunchOptions::parse(QApplication::arguments().mid(1), &error);
    if (!options) {
        std::fprintf(stderr, "kestrelcall: %s\n%s", qPrintable(error),
                     qPrintable(krl::LaunchOptions::usage()));
        return 2;
    }
    // Names are made whole here: the running copy may have another working folder.
    for (QString& f : options->files)
        f = QFileInfo(f).absoluteFilePath();

    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    krl::SettingsStore store(krl::HomeFolders::settingsFile(env));
    const std::optional<krl::Message> settingsFileMessage = store.examine();
    const krl::GeneralSettings stored =
        store.loadGeneral(krl::HomeFolders::resolveHome(env).toStdString());
    const QString home =
        krl::HomeFolders::effectiveHome(env, QString::fromStdString(stored.homeDir));

    krl::SingleInstance instance(krl::SingleInstance::serverName(home));
    if (instance.handOver(options->handOver(), 2000))
        return 0;
    if (!instance.listen()) {
        // Another copy came up at the same moment: hand over to it instead.
        if (instance.handOver(options->handOver(), 5000))
            return 0;
        std::fprintf(stderr, "kestrelcall: cannot serve the single-instance channel\n");
    }

    const krl::HomeFolders folders(home);
    const krl::TonebaySettings tonebay = store.loadTonebay(home.toStdString());
    folders.layOut(QString::fromStdString(tonebay.recDir), assetDir());

    krl::Settings settings;
    krl::addStoredBlocks(settings, store, home.toStdString());

    krl::SteadyTickSource ticks;
    krl::PosixSerialDeviceFactory devices(ticks);
    const krl::StringTable& strings = krl::StringTable::builtIn();
    krl::DialogMessagePresenter messages(nullptr, strings);
    krl::QtCallHost host(settings, strings);
    krl::CallController call(
        krl::CallController::Services{devices, ticks, strings, messages, settings, host,
                                      folders.businessCardsDir().toStdString() + "/"});
    host.attach(call);
    krl::FfmpegCaptureFactory sources;
    krl::CommandRegistry commands;
    krl::VideoWindows* video = nullptr;
    krl::CMainFrame frame(
        krl::FrameServices{call, settings, messages, commands, strings, folders},
        [&ticks, &strings, &sources, &call, &commands, &video](QWidget* owner) {
            // The windows' Hold button is the call's Hold.
            auto windows = std::make_unique<krl::VideoWindows>(
                owner, ticks, strings, sources,
                krl::VideoWindows::Requests{[&call] { call.toggleHold(); },
                                            [&commands](krl::CommandId id) { commands.run(id); },
                                            [](krl::HelpWindow w) { krl::UserGuide().open(w); }});
            video = windows.get();
            return windows;
        });
    krl::addProgramCommands(commands, frame, call, settings, frame.videoPair());
    krl::ChatBridge chat(call, settings, strings, messages);
    chat.addCommands(commands);
    const QString transferHome =
        QString::fromStdString(settings.get<krl::TonebaySettings>().homeDir);
    krl::TransferFeature transfer(krl::TransferFeature::Services{
        call.connection(), settings, messages,
        krl::TransferFilePaths{krl::HomeFolders::queueFile(transferHome).toStdString(),
                               krl::HomeFolders::sentHistoryFile(transferHome).toStdString(),
                               krl::HomeFolders::receivedHistoryFile(transferHome).toStdString()},
        QDir(transferHome).filePath(QStringLiteral("vi_copy.avi")), &frame,
        [&frame](int command) { frame.runCommand(static_cast<krl::CommandId>(command)); },
        [] { krl::UserGuide().open(krl::HelpWindow::FileTransfer); }});
    krl::TransferCommands transferCommands(transfer, call, settings, frame, commands);
    krl::PosixFileStore files;
    krl::AddressBookCommands addressBook({frame, call, settings, strings, folders, files,
                                          frame.videoPair(),
                                          [&host] { return host.editModemSettings(); }});
    addressBook.addTo(commands);
    messages.setMainWindow(&frame);
    QObject::connect(&messages, &krl::DialogMessagePresenter::helpRequested,
                     [] { krl::UserGuide().open(krl::HelpWindow::Messages); });
    host.setWindow(&frame);
    host.setCloseProgram([&frame, &chat] {
        chat.closeWindow();
        frame.closeForGood();
    });
    krl::ModalDiscipline discipline;
    krl::CVideoPhoneApp phone(frame, settings, instance, *options);
    phone.setCallNumber([&addressBook](const QString& number) { addressBook.callNumber(number); });
    const std::unique_ptr<QObject> testChannel =
        krl::openTestChannel({frame, call, video, &chat.windows(), &transfer});
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (stopSignals.fd() >= 0) {
        stopNotifier = std::make_unique<QSocketNotifier>(stopSignals.fd(), QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, [&stopSignals, &call] {
            if (stopSignals.take() == 0)
                return;
            stopSignals.release();  // a second one ends the program at once
            call.closeNow();
        });
    }
    phone.initInstance();
    // Told once the window is up; the program goes on with what it could read.
    if (settingsFileMessage)
        messages.show(*settingsFileMessage, {});
    // Other programs drive file transfer through the session bus.
    krl::ControlBridge control(transfer, call, commands, settings);
    control.start();
    host.start();
    return QApplication::exec();
}
