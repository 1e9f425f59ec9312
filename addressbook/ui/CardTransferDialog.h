#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "addressbook/CardTransferProgress.h"
#include "shell/HelpPages.h"

class QProgressBar;
class QPushButton;

namespace krl {

// The Transferring Business Card dialog (template 276): how far the own card's picture has gone
// and how far the peer's has come. Its timer runs the call's pump step; the dialog closes when
// both sides are done, and is cancelled when the call ends.
class CardTransferDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kSending = 1250;
    static constexpr int kReceiving = 1251;
    static constexpr int kStop = 1105;
    static constexpr int kHelp = 57670;

    struct Hooks {
        std::function<void()> pump;
        std::function<bool()> connected;
        std::function<TransferStatus()> sending;
        std::function<TransferStatus()> receiving;
        // Stop (0) or acknowledge (-1) the sending side; stop the receiving side.
        std::function<void(int)> controlSend;
        std::function<void()> stopReceiving;
        std::function<void()> disconnect;
        std::function<void(HelpWindow)> help;  // the user guide at this dialog's page
    };

    CardTransferDialog(Hooks hooks, int timeSliceMs, QWidget* parent);

    void tick();
    void stop();

protected:
    void reject() override;

private:
    Hooks hooks_;
    CardTransferProgress progress_;
    QTimer timer_;
    QProgressBar* sending_ = nullptr;
    QProgressBar* receiving_ = nullptr;
    QPushButton* stop_ = nullptr;
};

}  // namespace krl
