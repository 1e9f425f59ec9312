#include "shell/ui/CVideoPhoneApp.h"

#include <QDir>
#include <QFileInfo>

#include "connection/CommsSettings.h"
#include "connection/IniFile.h"
#include "platform/qt/SingleInstance.h"
#include "settings/Settings.h"
#include "shell/ui/CMainFrame.h"
#include "shell/ui/StartupPicture.h"

namespace krl {

CVideoPhoneApp::CVideoPhoneApp(CMainFrame& frame, Settings& settings, SingleInstance& instance,
                               LaunchOptions options, QObject* parent)
    : QObject(parent),
      frame_(frame),
      settings_(settings),
      instance_(instance),
      options_(std::move(options)) {
    startupTimer_.setSingleShot(true);
    connect(&startupTimer_, &QTimer::timeout, this, &CVideoPhoneApp::finishStartup);
    connect(&instance_, &SingleInstance::argumentsReceived, this, [this](const QStringList& args) {
        // A later copy hands over whole file names, and --call with its number first.
        auto received = LaunchOptions::parse(args, nullptr);
        const QStringList files = received ? received->files : args;
        // What arrives while the picture is still up waits for the frame.
        if (startupPending_) {
            options_.files.append(files);
            if (received && received->callNumber)
                options_.callNumber = received->callNumber;
            return;
        }
        frame_.takeCommandLine(files);
        if (received && received->callNumber)
            callNumber(*received->callNumber);
    });
}

CVideoPhoneApp::~CVideoPhoneApp() = default;

void CVideoPhoneApp::initInstance() {
    applyPresets();
    picture_ = std::make_unique<StartupPicture>();
    picture_->show();
    startupPending_ = true;
    startupTimer_.start(options_.splashMs);
}

void CVideoPhoneApp::applyPresets() {
    // The presets hold for this run; they are stored with the block at the end as any change.
    CommsSettings comms = settings_.get<CommsSettings>();
    if (options_.port)
        comms.portName = options_.port->toStdString();
    if (options_.modemFile) {
        QString path = *options_.modemFile;
        if (!QFileInfo::exists(path))
            path = QDir(QString::fromStdString(comms.homeDir)).filePath(path);
        comms.modemFile = QFileInfo(path).absoluteFilePath().toStdString();
        if (auto file = IniFile::load(comms.modemFile))
            comms.modemName = file->value("Modem", "Name").value_or("");
    }
    if (options_.alwaysListen)
        comms.alwaysListen = *options_.alwaysListen;
    settings_.set(std::move(comms));
}

void CVideoPhoneApp::finishStartup() {
    picture_.reset();
    frame_.finishStartup(!options_.presetsComms());
    startupPending_ = false;
    if (!options_.files.isEmpty())
        frame_.takeCommandLine(options_.files);
    if (options_.dialAtStart)
        QTimer::singleShot(0, &frame_, [this] { frame_.runCommand(CommandId::Dial); });
    if (options_.callNumber)
        QTimer::singleShot(0, &frame_, [this] { callNumber(*options_.callNumber); });
}

void CVideoPhoneApp::callNumber(const QString& number) {
    if (callNumber_)
        callNumber_(number);
}

}  // namespace krl
