#include "tools/krlcli/CliPeer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/Cp1252.h"
#include "base/ReceivedName.h"
#include "connection/ModemCommand.h"
#include "connection/ModemFileCheck.h"
#include "link/ResumeStore.h"
#include "resources/StringTable.h"

namespace krl::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kIdleWaitMs = 20;
constexpr int kVideoWaitMs = 2;
constexpr std::uint64_t kProgressEveryMs = 250;
constexpr std::uint64_t kTransferGraceMs = 120000;

bool isFinalSend(SendState s) {
    return s == SendState::StoppedByReceiver || s == SendState::Done || s == SendState::Failed ||
           s == SendState::StoppedByUser || s == SendState::PeerDisconnected;
}

bool isFinalReceive(ReceiveState s) {
    return s == ReceiveState::Complete || s == ReceiveState::StoppedBySender ||
           s == ReceiveState::StoppedByUser || s == ReceiveState::Failed;
}

// Chat text on the wire ends each line with CR LF; on a terminal a line ends with LF.
std::string chatTextForTerminal(std::string_view wire) {
    std::string text;
    text.reserve(wire.size() + 1);
    for (std::size_t i = 0; i < wire.size(); ++i) {
        if (wire[i] == '\r' && i + 1 < wire.size() && wire[i + 1] == '\n')
            continue;
        text.push_back(wire[i]);
    }
    if (text.empty() || text.back() != '\n')
        text.push_back('\n');
    return text;
}

// "name (1).ext", "name (2).ext", ... the first that does not exist.
std::string freeName(const std::string& path) {
    fs::path p(path);
    std::string stem = p.stem().string(), ext = p.extension().string();
    for (int n = 1; n < 10000; ++n) {
        fs::path candidate = p.parent_path() / (stem + " (" + std::to_string(n) + ")" + ext);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            return candidate.string();
    }
    return {};
}

}  // namespace

CliPeer::CliPeer(const CliOptions& options, std::ostream& err, std::ostream& out)
    : options_(options),
      err_(err),
      out_(out),
      devices_(ticks_),
      messages_(StringTable::builtIn(), err, MessageAnswer::Cancel),
      modem_(!options.modemFile.empty()),
      session_(devices_, ticks_, StringTable::builtIn(), messages_),
      outbox_(options.outbox),
      progress_(err, !options.quiet && (options.progress || ::isatty(STDERR_FILENO) == 1)) {}

void CliPeer::say(const std::string& text) {
    if (options_.quiet)
        return;
    progress_.clear();
    err_ << "krlcli: " << text << "\n" << std::flush;
}

int CliPeer::run() {
    if (modem_) {
        if (int status = placeCall(); status != kExitOk)
            return status;
    } else if (!callDirect()) {
        return kExitPort;
    }
    configureProtocol();
    if (!options_.videoArgs.empty() && !startVideo()) {
        endCall();
        return kExitUsage;
    }
    while (!finished() && stoppedBy_ == 0) {
        waitForEvents(video_ ? kVideoWaitMs : kIdleWaitMs);
        if (stoppedBy_ != 0)
            break;
        const bool going = pumpCall();
        // Files that ended in this pump are counted even when the call ended with them.
        afterPoll();
        if (!going)
            break;
    }
    endCall();
    countOutboxLeft();
    report();
    if (stoppedBy_ != 0)
        return 128 + stoppedBy_;
    if (lineLost_ && !(options_.mode == CliMode::Listen && peerGone_))
        return kExitNoPeer;
    bool allSent = options_.mode != CliMode::Send ||
                   (summary_.whole() == static_cast<int>(options_.files.size()));
    bool expected = options_.expectFiles < 0 || summary_.whole() >= options_.expectFiles;
    return summary_.failed() == 0 && allSent && expected ? kExitOk : kExitTransferFailed;
}

void CliPeer::applyCallSettings() {
    comms_.portName = options_.port;
    comms_.baudRate = options_.baud;
    comms_.ringsCount = options_.rings;
    comms_.fileInActive = options_.idleMinutes;
    comms_.timeSlice = CommsSettings::kTimeSliceWhenValueMissing;
    comms_.alwaysListen = false;
    comms_.playRings = false;
    comms_.linkExtension = options_.extension;
    session_.applySettings(comms_);
    session_.protocol().setCommandTimeoutMs(options_.commandTimeoutMs);
    if (!options_.logPath.empty() && !session_.openLog(options_.logPath))
        say("cannot open log " + options_.logPath);
}

// A plain cable: the call is up as soon as the port is open.
bool CliPeer::callDirect() {
    applyCallSettings();
    LineSettings line = comms_.lineSettings();
    line.ctsRtsFlowControl = options_.rtsCts;
    if (!session_.callDirect(line)) {
        say("cannot open port " + options_.port);
        return false;
    }
    return true;
}

// Runs the modem file until the call is made: dialling, or waiting for a call and answering
// it. Questions (a command failed, the port is busy) are answered on the console.
int CliPeer::placeCall() {
    const ModemUse use = options_.dialNumber ? ModemUse::Dial : ModemUse::Answer;
    if (std::string problem = modemFileProblem(options_.modemFile, use); !problem.empty()) {
        say("cannot use modem file: " + problem);
        return kExitUsage;
    }
    comms_.modemFile = options_.modemFile;
    comms_.modemName = options_.modemFile;
    if (auto file = IniFile::load(options_.modemFile))
        comms_.modemName = scriptValue(*file, "Modem", "Name").value_or(options_.modemFile);
    applyCallSettings();
    session_.setPortOpenAbandonedHandler([this](MessageAnswer) { portAbandoned_ = true; });
    if (options_.dialNumber) {
        say("dialling " + *options_.dialNumber);
        if (session_.dial(*options_.dialNumber) == DialRefusal::NumberTooLong) {
            say("cannot dial " + *options_.dialNumber + ": a number holds at most " +
                std::to_string(kMaxDialNumber) + " dialling characters");
            return kExitUsage;
        }
    } else {
        say("waiting for a call");
        session_.listen();
    }
    while (session_.state() != ConnectionState::NotConnected) {
        waitForEvents(kIdleWaitMs);
        if (stoppedBy_ != 0) {
            endCall();
            return 128 + stoppedBy_;
        }
        if (session_.pump() == PumpResult::CallMade) {
            say("call made" + (session_.lastConnectSpeed()
                                   ? " at " + std::to_string(session_.lastConnectSpeed()) + " bps"
                                   : std::string()));
            return kExitOk;
        }
    }
    say("no call");
    return portAbandoned_ ? kExitPort : kExitNoPeer;
}

// One pump of the call; false when the call is over.
bool CliPeer::pumpCall() {
    switch (session_.pump()) {
        case PumpResult::PeerDisconnected:
            peerGone_ = true;
            return false;
        case PumpResult::PeerSilent: {
            // On a cable a listener has no call to wait for but the peer's greeting: until a
            // peer has been heard it keeps greeting. A peer that greeted and went away, and
            // every other call, gets the three tries.
            if (!modem_ && options_.mode == CliMode::Listen && !peerGreeted_) {
                session_.restartGreeting();
                return true;
            }
            Message message;
            message.id = 5210;
            message.kind = MessageKind::Acknowledgment;
            messages_.show(message, {});
            lineLost_ = true;
            return false;
        }
        case PumpResult::CarrierLost:
        case PumpResult::ModemOff:
            lineLost_ = true;
            return false;
        default:
            break;
    }
    if (session_.checkIdle() || session_.state() != ConnectionState::Connected) {
        lineLost_ = true;
        return false;
    }
    return true;
}

// Ends the call: interrupted, as a closing program (the transfers stopped and the peer told);
// otherwise the peer is told "<Disconnect>" unless it left or the line is gone. Then the
// hang-up runs (the modem file's disconnect commands, the lines dropped).
void CliPeer::endCall() {
    progress_.clear();
    const bool connected = session_.state() == ConnectionState::Connected;
    if (stoppedBy_ != 0 && connected) {
        say("closing: the call is ended");
        session_.closeCall();
    } else {
        if (connected && !lineLost_ && !peerGone_)
            session_.protocol().sendDisconnect();
        session_.hangUp();
    }
    accountSentFile();
    if (peerGone_)
        say("the peer disconnected");
    const std::uint64_t until = ticks_.nowMs() + 20000;
    while (session_.state() != ConnectionState::NotConnected && ticks_.nowMs() < until) {
        waitForEvents(kIdleWaitMs);
        session_.pump();
    }
    session_.closePort();
}

void CliPeer::configureProtocol() {
    LinkProtocol& p = session_.protocol();
    p.setExtensionEnabled(options_.extension);
    if (options_.clearPartial) {
        int n = ResumeStore::clear(options_.receiveFolder);
        say("removed " + std::to_string(n) + " partial file(s)");
    }
    p.setCommandTimeoutMs(options_.commandTimeoutMs);
    ReceiveOptions receive;
    receive.overwriteExisting = options_.overwrite;
    receive.launchOption = 1;
    p.setReceiveOptions(receive);
    p.setCardPictureFolder(options_.receiveFolder);
    p.setFileExistsQuestion(this);
    p.setListener(this);
    if (options_.mode == CliMode::Chat)
        p.setChatListener(this);
    p.receiver().control(ReceiveControl::Arm, options_.receiveFolder);
}

void CliPeer::waitForEvents(int timeoutMs) {
    pollfd fds[3] = {{session_.isPortOpen() ? session_.readNotifyHandle() : -1, POLLIN, 0},
                     {stopSignals_.fd(), POLLIN, 0},
                     {STDIN_FILENO, POLLIN, 0}};
    // Typed lines wait until the peer has greeted: before that its port may not be open yet,
    // and a chat frame sent into a closed port is lost without a trace.
    const bool typing = options_.mode == CliMode::Chat && greeted_ && !inputDone_ &&
                        session_.state() == ConnectionState::Connected;
    const int ready = ::poll(fds, typing ? 3 : 2, timeoutMs);
    if (ready <= 0)
        return;
    if (fds[1].revents & POLLIN)
        noteStopSignal();
    if (typing && (fds[2].revents & (POLLIN | POLLHUP)))
        readStandardInput();
    // A port whose line hung up reports it at every poll until the pump has ended the call:
    // wait out the time rather than spin.
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[1].revents & POLLIN))
        ::poll(&fds[1], 1, timeoutMs);
}

void CliPeer::noteStopSignal() {
    const int signal = stopSignals_.take();
    if (signal == 0 || stoppedBy_ != 0)
        return;
    stoppedBy_ = signal;
    // A second signal ends krlcli at once, without waiting for the hang-up.
    stopSignals_.release();
}

void CliPeer::readStandardInput() {
    char buffer[4096];
    ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        inputDone_ = true;
        if (!inputLine_.empty())
            sendChatLine(std::move(inputLine_));
        inputLine_.clear();
        return;
    }
    inputLine_.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = inputLine_.find('\n')) != std::string::npos) {
        std::string line = inputLine_.substr(0, end);
        inputLine_.erase(0, end + 1);
        sendChatLine(std::move(line));
    }
}

// A typed line goes out as the chat window sends one: the text and CR LF.
void CliPeer::sendChatLine(std::string line) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (session_.protocol().sendChat(utf8ToCp1252(line).bytes() + "\r\n") == 0)
        say("chat line not sent");
}

void CliPeer::afterPoll() {
    if (!greeted_ && (session_.greeting().answered || peerGreeted_))
        greeted();
    driveSender();
    driveReceiver();
    showProgress();
    if (video_)
        video_->afterPoll();
    if (options_.statsEverySeconds != 0) {
        std::uint64_t now = ticks_.nowMs();
        if (lastStatsMs_ == 0)
            lastStatsMs_ = now;
        if (now - lastStatsMs_ >= options_.statsEverySeconds * 1000) {
            lastStatsMs_ = now;
            runningStats();
        }
    }
}

void CliPeer::runningStats() {
    out_ << summary_.runningLine(ticks_.nowMs(), lineFigures());
    if (video_)
        out_ << " " << video_->runningFigures();
    out_ << "\n" << std::flush;
}

bool CliPeer::startVideo() {
    CliVideoOptions options;
    std::string error;
    if (!CliVideoOptions::parse(options_.videoArgs, options, error)) {
        say(error);
        return false;
    }
    video_ = std::make_unique<CliVideo>(session_, ticks_, options, err_, out_);
    return video_->start();
}

void CliPeer::greeted() {
    greeted_ = true;
    say("connected");
    if (options_.card) {
        BusinessCard card;
        std::string text = utf8ToCp1252(*options_.card).bytes();
        std::size_t a = text.find('|');
        std::size_t b = a == std::string::npos ? a : text.find('|', a + 1);
        card.name = Cp1252Text(text.substr(0, a));
        if (a != std::string::npos)
            card.phone = Cp1252Text(text.substr(a + 1, b - a - 1));
        if (b != std::string::npos)
            card.details = Cp1252Text(text.substr(b + 1));
        session_.protocol().sendCard(&card);
    }
    if (options_.page)
        session_.protocol().sendPage();
}

// Counts the file in flight once the sender has ended it, or once the call has ended under
// it: a file the call cut off is never whole.
void CliPeer::accountSentFile() {
    if (!sending_)
        return;
    FileSender& sender = session_.protocol().sender();
    const SendState s = sender.state();
    const bool callOver = session_.state() != ConnectionState::Connected;
    if (!isFinalSend(s) && !callOver)
        return;
    summary_.transferEnded(ticks_.nowMs());
    // An outbox file that did not go is tried again (a damaged offer is refused, for one) while
    // the call goes on; not before the peer's receiver has given up a transfer whose acceptance
    // we did not hear (twice the command time-out), or it refuses the new offer while it still
    // waits for the old one.
    const bool again =
        !options_.outbox.empty() && !callOver && s != SendState::Done &&
        s != SendState::PeerDisconnected &&
        outbox_.tryAgainLater(current_, ticks_.nowMs() + 2 * options_.commandTimeoutMs + 5000);
    if (s == SendState::Done) {
        std::error_code ec;
        summary_.fileWhole(fs::file_size(current_, ec));
    } else if (!again) {
        summary_.filesFailed(1);
    }
    say(current_ + ": " +
        (isFinalSend(s) ? sendOutcomeText(s, sender.stopCause()) : std::string("cut off")) +
        (again ? ", trying again" : ""));
    if (!options_.outbox.empty() && !again) {
        if (std::string problem = outbox_.done(current_, s == SendState::Done); !problem.empty())
            say(problem);
    }
    sending_ = false;
    if (isFinalSend(s) && s != SendState::PeerDisconnected)
        sender.control(SendControl::Acknowledge);
}

void CliPeer::driveSender() {
    if ((options_.mode != CliMode::Send && options_.outbox.empty()) || !greeted_)
        return;
    accountSentFile();
    FileSender& sender = session_.protocol().sender();
    const bool callGoesOn =
        session_.state() == ConnectionState::Connected && !session_.protocol().disconnectReceived();
    if (!sending_ && callGoesOn && sender.state() == SendState::Idle) {
        current_ = nextFileToSend();
        if (!current_.empty()) {
            summary_.transferStarted(ticks_.nowMs());
            sender.control(SendControl::Start, kOrdinaryFile, fs::absolute(current_).string());
            sending_ = true;
        }
    }
    if (sending_ && options_.stopSendAfter > 0 && !stopSendDone_ &&
        sender.status().bytesDone >= options_.stopSendAfter) {
        stopSendDone_ = true;
        sender.control(SendControl::Stop);
    }
}

// The next file of the command line, or of the outbox. Empty when there is none.
std::string CliPeer::nextFileToSend() {
    if (options_.outbox.empty())
        return nextFile_ < options_.files.size() ? options_.files[nextFile_++] : std::string();
    return outbox_.next(ticks_.nowMs());
}

// Files still waiting in the outbox when the call ends did not go: they count as failed.
void CliPeer::countOutboxLeft() {
    if (options_.outbox.empty())
        return;
    if (int left = outbox_.left(); left > 0) {
        summary_.filesFailed(left);
        say(std::to_string(left) + " file(s) left in the outbox");
    }
}

void CliPeer::driveReceiver() {
    FileReceiver& receiver = session_.protocol().receiver();
    if (options_.stopReceiveAfter > 0 && !stopReceiveDone_ && receiver.active() &&
        receiver.status().bytesDone >= options_.stopReceiveAfter) {
        stopReceiveDone_ = true;
        receiver.control(ReceiveControl::Stop);
    }
    if (isFinalReceive(receiver.state()) || receiver.state() == ReceiveState::NotReady)
        receiver.control(ReceiveControl::Arm, options_.receiveFolder);
}

void CliPeer::receiveEnded(ReceiveState state, const std::string& path, int kind) {
    summary_.transferEnded(ticks_.nowMs());
    summary_.resumed(session_.protocol().receiver().resumedFrom());
    if (state == ReceiveState::Complete)
        summary_.fileWhole(session_.protocol().receiver().status().bytesDone);
    else
        summary_.filesFailed(1);
    say((path.empty() ? std::string("file") : path) + ": " +
        receiveOutcomeText(state, session_.protocol().receiver().stopCause()));
}

void CliPeer::showProgress() {
    std::uint64_t now = ticks_.nowMs();
    if (now - lastProgressMs_ < kProgressEveryMs)
        return;
    lastProgressMs_ = now;
    LinkProtocol& p = session_.protocol();
    if (p.sender().active()) {
        TransferStatus s = p.sender().status();
        summary_.transferStarted(now);
        double secs = static_cast<double>(p.sender().elapsedMs()) / 1000.0;
        progress_.show("> " + std::string(namePartOf(s.path)), s.bytesDone, s.size,
                       secs > 0 ? static_cast<double>(p.sender().bytesSinceStart()) / secs : 0);
    } else if (p.receiver().active()) {
        TransferStatus s = p.receiver().status();
        summary_.transferStarted(now);
        double secs = static_cast<double>(p.receiver().elapsedMs()) / 1000.0;
        progress_.show("< " + std::string(namePartOf(s.path)), s.bytesDone, s.size,
                       secs > 0 ? static_cast<double>(p.receiver().bytesSinceStart()) / secs : 0);
    }
}

bool CliPeer::finished() {
    if (video_ && !video_->finished())
        return false;  // the video runs its time first
    if (video_ && options_.mode == CliMode::Listen && options_.expectFiles < 0) {
        // A transfer under way when the video time is up is let finish, for a while.
        bool busy = sending_ || session_.protocol().receiver().active();
        if (!busy)
            return true;
        if (videoEndMs_ == 0)
            videoEndMs_ = ticks_.nowMs();
        return ticks_.nowMs() - videoEndMs_ > kTransferGraceMs;
    }
    switch (options_.mode) {
        case CliMode::Send:
            return !sending_ && nextFile_ >= options_.files.size() && greeted_;
        case CliMode::Listen:
            return options_.expectFiles >= 0 &&
                   summary_.whole() + summary_.failed() >= options_.expectFiles &&
                   !session_.protocol().receiver().active();
        case CliMode::Chat:
            return inputDone_;
    }
    return true;
}

LineFigures CliPeer::lineFigures() {
    return {session_.resentBlocks(), session_.damagedFrames(),
            session_.protocol().sender().dataBytesSent(),
            session_.protocol().sender().largestWindow()};
}

void CliPeer::report() {
    if (video_)
        video_->report(options_.stats);
    say(summary_.summaryLine(lineFigures()));
    if (options_.stats)
        out_ << summary_.statsLine(lineFigures()) << std::flush;
}

void CliPeer::cardArrived() {
    BusinessCard card;
    session_.protocol().readReceivedCard(card);
    say("card: " + cp1252ToUtf8(card.name) + " | " + cp1252ToUtf8(card.phone) + " | " +
        cp1252ToUtf8(card.details));
}

void CliPeer::greetingReceived() {
    // The peer came up after our greeting went out: greet it again rather than wait for the
    // next retry, so that both sides know of each other at once. Its three tries count from
    // here.
    if (!peerGreeted_ && !session_.greeting().answered)
        session_.restartGreeting();
    peerGreeted_ = true;
}

void CliPeer::pageReceived() {
    say("the peer pages you");
}

void CliPeer::peerDisconnected() {
    peerGone_ = true;
}

void CliPeer::chatWindowWanted() {}

void CliPeer::chatText(std::string_view text) {
    progress_.clear();
    out_ << chatTextForTerminal(cp1252ToUtf8(Cp1252Text(text))) << std::flush;
}

void CliPeer::remoteName(const Cp1252Text& name) {
    if (!name.empty())
        say("chatting with " + cp1252ToUtf8(name));
}

void CliPeer::ask(const std::string& proposedPath, Answer answer) {
    if (options_.refuseExisting) {
        say(proposedPath + " exists: refused");
        answer(std::nullopt);
        return;
    }
    std::string other = freeName(proposedPath);
    if (!other.empty())
        say(proposedPath + " exists: receiving as " + other);
    answer(other.empty() ? std::nullopt : std::optional(other));
}

}  // namespace krl::cli
