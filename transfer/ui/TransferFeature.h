#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

#include "connection/ConnectionState.h"
#include "link/BusinessCard.h"
#include "platform/posix/PosixFileStore.h"
#include "settings/Settings.h"
#include "transfer/FileTransferWork.h"
#include "transfer/TransferSides.h"
#include "transfer/ui/CFileExistsDialog.h"
#include "transfer/ui/QtTransferHost.h"

class QWidget;

namespace krl {

class CFileTransfer;
class Connection;
class MessagePresenter;

// The file transfer in the program: made by main() for the whole run. It owns the transfer
// (FileTransferWork) and its services, hands the receiver its folder, options and file-exists
// question, steps the transfer after every pump, and opens the transfer window on demand. The
// shell tells it what the call does (the calls under "The call").
class TransferFeature : public QObject {
    Q_OBJECT

public:
    struct Services {
        Connection& connection;
        Settings& settings;
        MessagePresenter& messages;
        TransferFilePaths paths;
        QString animationFile;
        // The main frame: the parent of the questions asked without a transfer window.
        QWidget* frame;
        // Runs one of the program's commands as its menu entry would.
        std::function<void(int command)> run;
        // Opens the user guide at the transfer window's page.
        std::function<void()> help;
    };

    explicit TransferFeature(Services services);
    ~TransferFeature() override;

    // Files dropped on a window: queued, and the send-queued routine runs (it dials when no
    // call is up).
    void takeFiles(const QStringList& files);
    // Files named at the start or handed over by a later copy: queued for the user's call.
    void queueHandedFiles(const QStringList& files);
    QStringList queuedFiles() const;
    // Opens the window, or raises it.
    CFileTransfer* open();
    CFileTransfer* window() const;
    FileTransferWork& work() { return *work_; }
    void showHistory(TransferSide side);
    // Send Clipboard Contents: the send-queued routine, then the clipboard's packages queued.
    void sendClipboard();
    // The program closes: the window closes (without asking), the queue is saved.
    void programClosing();

    // The call.
    void callStateChanged();
    // lineBitsPerSecond: the connect speed, or the port's rate on a cable.
    void callMade(std::uint32_t lineBitsPerSecond);
    void callEnded();
    void cardReceived(const BusinessCard& card);
    void fileOffered();
    void pumped(PumpResult result);

private:
    void applySettings();

    Connection& connection_;
    Settings& settings_;
    MessagePresenter& messages_;
    QString animationFile_;
    QWidget* frame_;
    std::function<void(int)> run_;
    std::function<void()> help_;
    PosixFileStore files_;
    ConnectionTransferSides sides_;
    QtTransferHost host_;
    QtFileExistsQuestion existsQuestion_;
    std::unique_ptr<FileTransferWork> work_;
    QPointer<CFileTransfer> window_;
    Settings::Subscription subscription_;
};

}  // namespace krl
