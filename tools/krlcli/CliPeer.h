#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/SteadyTickSource.h"
#include "connection/CommsSettings.h"
#include "connection/Connection.h"
#include "controls/ConsoleMessagePresenter.h"
#include "link/LinkListener.h"
#include "link/LinkSession.h"
#include "link/ReceiveQuestions.h"
#include "platform/posix/PosixSerialDeviceFactory.h"
#include "platform/posix/StopSignals.h"
#include "tools/krlcli/CallSummary.h"
#include "tools/krlcli/CliOptions.h"
#include "tools/krlcli/CliVideo.h"
#include "tools/krlcli/Outbox.h"
#include "tools/krlcli/ProgressLine.h"

namespace krl::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitTransferFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPort = 3;
inline constexpr int kExitNoPeer = 4;

// One end of a call without windows: the connection over a serial device, pumped from a
// poll() on the port's descriptor (and standard input when chatting), so that a confirmation
// is acted on as soon as its bytes arrive. With a modem file the call is first placed or
// answered by the connection's modem script; on a plain cable the call is made at once. Either
// way the connection's pump runs the call, so a line that fails ends it as it would in the
// program. SIGINT, SIGTERM and SIGHUP close the call as a closing program does.
class CliPeer : private LinkListener, private ChatListener, private FileExistsQuestion {
public:
    CliPeer(const CliOptions& options, std::ostream& err, std::ostream& out);
    int run();

private:
    // LinkListener
    void greetingReceived() override;
    void cardArrived() override;
    void pageReceived() override;
    void receiveEnded(ReceiveState state, const std::string& path, int kind) override;
    void peerDisconnected() override;
    void chatWindowWanted() override;
    // ChatListener
    void chatText(std::string_view text) override;
    void remoteName(const Cp1252Text& name) override;
    // FileExistsQuestion
    void ask(const std::string& proposedPath, Answer answer) override;

    void applyCallSettings();
    bool callDirect();
    int placeCall();
    bool pumpCall();
    void endCall();
    void configureProtocol();
    // Waits up to timeoutMs for bytes on the port, typed input (when chatting) or a stop signal.
    void waitForEvents(int timeoutMs);
    void noteStopSignal();
    void readStandardInput();
    void sendChatLine(std::string line);
    void afterPoll();
    void greeted();
    void accountSentFile();
    void driveSender();
    std::string nextFileToSend();
    void countOutboxLeft();
    void runningStats();
    void driveReceiver();
    void showProgress();
    bool finished();
    LineFigures lineFigures();
    void report();
    void say(const std::string& text);
    bool startVideo();

    const CliOptions options_;
    std::ostream& err_;
    std::ostream& out_;
    SteadyTickSource ticks_;
    PosixSerialDeviceFactory devices_;
    ConsoleMessagePresenter messages_;
    StopSignals stopSignals_;
    int stoppedBy_ = 0;  // the stop signal that came, 0 for none
    const bool modem_;
    CommsSettings comms_;
    bool portAbandoned_ = false;
    Connection session_;
    Outbox outbox_;
    CallSummary summary_;
    ProgressLine progress_;
    std::unique_ptr<CliVideo> video_;  // with --video

    bool greeted_ = false;
    bool peerGreeted_ = false;
    bool lineLost_ = false;
    bool peerGone_ = false;
    bool inputDone_ = false;
    std::string inputLine_;
    std::size_t nextFile_ = 0;
    std::string current_;  // the file being sent
    std::uint64_t lastStatsMs_ = 0;
    std::uint64_t videoEndMs_ = 0;
    bool sending_ = false;
    bool stopSendDone_ = false;
    bool stopReceiveDone_ = false;
    std::uint64_t lastProgressMs_ = 0;
};

}  // namespace krl::cli
