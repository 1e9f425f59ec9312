#include "transfer/ui/TransferFeature.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>

#include "base/Cp1252.h"
#include "connection/Connection.h"
#include "platform/qt/ClipboardPackager.h"
#include "platform/qt/DesktopNotifier.h"
#include "resources/CommandId.h"
#include "settings/Settings.h"
#include "transfer/ui/CFileTransfer.h"
#include "transfer/ui/TransferHistoryDialog.h"

namespace krl {

TransferFeature::TransferFeature(Services s)
    : connection_(s.connection),
      settings_(s.settings),
      messages_(s.messages),
      animationFile_(std::move(s.animationFile)),
      frame_(s.frame),
      run_(std::move(s.run)),
      help_(std::move(s.help)),
      sides_(s.connection),
      host_(QtTransferHost::Commands{[this] { run_(static_cast<int>(CommandId::Dial)); },
                                     [this] { run_(static_cast<int>(CommandId::Disconnect)); },
                                     [this] { run_(static_cast<int>(CommandId::SendOwnCard)); },
                                     [](const QString& summary, const QString& body) {
                                         DesktopNotifier().notify(summary, body);
                                     },
                                     [this] {
                                         return window_ && window_->isVisible() &&
                                                !window_->isMinimized() &&
                                                window_->isActiveWindow();
                                     }}),
      existsQuestion_([this]() -> QWidget* {
          return window_ ? static_cast<QWidget*>(window_.data()) : frame_;
      }) {
    work_ = std::make_unique<FileTransferWork>(
        FileTransferWork::Services{sides_, files_, messages_, host_}, std::move(s.paths),
        settings_.get<TonebaySettings>());
    connection_.protocol().setFileExistsQuestion(&existsQuestion_);
    applySettings();
    subscription_ =
        settings_.subscribe<TonebaySettings>([this](const TonebaySettings&) { applySettings(); });
}

TransferFeature::~TransferFeature() {
    connection_.protocol().setFileExistsQuestion(nullptr);
    if (window_)
        delete window_.data();
}

void TransferFeature::applySettings() {
    const TonebaySettings& t = settings_.get<TonebaySettings>();
    work_->setSettings(t);
    ReceiveOptions options;
    options.overwriteExisting = t.overwriteExisting;
    options.launchOption = static_cast<int>(t.launchMode);
    connection_.protocol().setReceiveOptions(options);
}

CFileTransfer* TransferFeature::open() {
    if (!window_) {
        TransferWindowServices services{
            *work_,
            host_,
            settings_,
            animationFile_,
            [this] { return connection_.state() == ConnectionState::NotConnected; },
            [this] { run_(static_cast<int>(CommandId::Listen)); },
            [this] { run_(static_cast<int>(CommandId::OptionsTransfer)); },
            [this] { run_(static_cast<int>(CommandId::OpenLog)); },
            help_,
            [this](TransferSide side) { showHistory(side); },
            [this] { sendClipboard(); },
        };
        window_ = new CFileTransfer(std::move(services));
        window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    window_->show();
    if (window_->isMinimized())
        window_->showNormal();
    window_->raise();
    window_->activateWindow();
    return window_;
}

void TransferFeature::sendClipboard() {
    // The queue goes only while the window is there.
    if (!window_)
        open();
    // Packages go into the home folder's Temp, each send in a folder of its own.
    const QString temp = QDir(QString::fromStdString(settings_.get<TonebaySettings>().homeDir))
                             .filePath(QStringLiteral("Temp"));
    ClipboardPackager packager({messages_, temp,
                                [this](const QueueItem& item) { work_->add(item, false); },
                                [this] { work_->sendQueued(); }});
    packager.send(QGuiApplication::clipboard()->mimeData());
}

CFileTransfer* TransferFeature::window() const {
    return window_.data();
}

void TransferFeature::takeFiles(const QStringList& files) {
    open();
    window_->addFiles(files);
}

void TransferFeature::queueHandedFiles(const QStringList& files) {
    open();
    window_->queueFiles(files);
}

QStringList TransferFeature::queuedFiles() const {
    QStringList out;
    for (const QueueItem& item : work_->queue())
        out.append(QString::fromStdString(item.path));
    return out;
}

void TransferFeature::showHistory(TransferSide side) {
    TransferWindowRecord record = settings_.has<TransferWindowRecord>()
                                      ? settings_.get<TransferWindowRecord>()
                                      : TransferWindowRecord{};
    QWidget* parent = window_ ? static_cast<QWidget*>(window_.data()) : frame_;
    TransferHistoryDialog dialog(side, *work_, host_, messages_, record, parent);
    connect(&dialog, &TransferHistoryDialog::helpRequested, this, [this] {
        if (help_)
            help_();
    });
    dialog.exec();
    if (settings_.has<TransferWindowRecord>())
        settings_.set(record);
}

void TransferFeature::programClosing() {
    if (window_) {
        // The program's way out stopped the call first; nothing is left to ask about.
        work_->abandon();
        window_->close();
    }
    work_->saveQueue();
}

// --- the call -----------------------------------------------------------------------------

void TransferFeature::callStateChanged() {
    if (window_)
        window_->refreshReceiveCommand();
}

void TransferFeature::callMade(std::uint32_t lineBitsPerSecond) {
    work_->setLineRate(lineBitsPerSecond);
}

void TransferFeature::callEnded() {
    work_->setParty({});
}

void TransferFeature::cardReceived(const BusinessCard& card) {
    work_->setParty(cp1252ToUtf8(card.name));
}

void TransferFeature::fileOffered() {
    if (!window_)
        open();
}

void TransferFeature::pumped(PumpResult result) {
    work_->step(result);
}

}  // namespace krl
