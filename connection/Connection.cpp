#include "connection/Connection.h"

#include <algorithm>
#include <ctime>

#include "connection/DialingWindow.h"
#include "connection/IncomingCall.h"
#include "connection/ModemCommand.h"

namespace krl {
namespace {

constexpr int kTextConnected = 51;
constexpr int kTextNotConnected = 52;
constexpr int kTextConnecting = 53;
constexpr int kTextListening = 54;
constexpr int kTextDisconnecting = 55;

// Received script answers are logged on one line: line ends become blanks. Only modem answers
// are logged, and they are text: a line holding other bytes (the peer's frames still arriving
// after a hang-up, line noise) is left out, so the log stays readable text. Empty when nothing
// of the bytes is an answer.
std::string answerLine(std::string_view text) {
    std::string out;
    bool left = false;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == '\r' || text[at] == '\n') {
            out += ' ';
            ++at;
            continue;
        }
        const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        const std::string_view line = text.substr(at, end - at);
        if (std::all_of(line.begin(), line.end(),
                        [](char c) { return (c >= 0x20 && c < 0x7f) || c == '\t'; }))
            out += line;
        else
            left = true;
        at = end;
    }
    if (left && out.find_first_not_of(' ') == std::string::npos)
        out.clear();
    return out;
}

}  // namespace

DisplayState displayStateOf(ConnectionState state) {
    switch (state) {
        case ConnectionState::OpeningPort:
        case ConnectionState::Initialising:
        case ConnectionState::Dialling:
            return DisplayState::Connecting;
        case ConnectionState::Listening:
            return DisplayState::Listening;
        case ConnectionState::Connected:
            return DisplayState::Connected;
        case ConnectionState::HangingUp:
            return DisplayState::Disconnecting;
        default:
            return DisplayState::NotConnected;
    }
}

int displayTextId(DisplayState state) {
    switch (state) {
        case DisplayState::Listening:
            return kTextListening;
        case DisplayState::Connected:
            return kTextConnected;
        case DisplayState::Connecting:
            return kTextConnecting;
        case DisplayState::Disconnecting:
            return kTextDisconnecting;
        default:
            return kTextNotConnected;
    }
}

Connection::Connection(SerialDeviceFactory& devices, const TickSource& ticks,
                       const StringTable& strings, MessagePresenter& messages)
    : LinkSession(devices, ticks, strings, messages),
      messages_(messages),
      script_(*this, messages, ticks) {
    refreshScriptOptions();
}

Connection::~Connection() {
    // Hang up as far as can be done without pumps: the disconnect commands start, the lines
    // drop and the port closes.
    liveness_.end();
    dialingWindow_ = nullptr;
    hangUp();
    script_.stop();
    closePort();
}

void Connection::refreshScriptOptions() {
    ScriptOptions options;
    options.timeSliceMs = settings_.timeSlice;
    options.ringsCount = settings_.ringsCount;
    options.promptBeforeAnswer = settings_.promptBeforeAnswer;
    options.speakerOff = settings_.speakerOff;
    options.playRings = settings_.playRings;
    options.outsideLinePrefix = settings_.outsideLinePrefix;
    script_.setOptions(options);
}

void Connection::readConnectType() {
    connectType_ = krl::readConnectType(settings_.modemFile);
}

void Connection::applySettings(const CommsSettings& settings) {
    settings_ = settings;
    protocol().setExtensionEnabled(settings.linkExtension);
    refreshScriptOptions();
    if (state_ == ConnectionState::Listening)
        script_.listenSettingsChanged();
    readConnectType();
}

void Connection::listeningStops() {
    settings_.alwaysListen = false;
    if (onListeningStopped_)
        onListeningStopped_();
}

void Connection::show(int id, MessageKind kind, std::optional<std::string> text) {
    Message message;
    message.id = id;
    message.kind = kind;
    message.text = std::move(text);
    messages_.show(message, {});
}

// --- starting a call ----------------------------------------------------------------------

void Connection::listen() {
    if (state_ == ConnectionState::OpeningPort || state_ == ConnectionState::Initialising ||
        state_ == ConnectionState::Listening) {
        hangUp();
        listeningStops();
        return;
    }
    // A run that starts from here listens, whatever an earlier attempt was for.
    if (state_ == ConnectionState::NotConnected)
        goal_ = ScriptGoal::Listen;
    startScript();
}

bool Connection::startScript() {
    if (state_ != ConnectionState::NotConnected)
        return true;
    const bool readable = script_.load(settings_.modemFile);
    if (!readable ||
        !modemFileServes(goal_ == ScriptGoal::Dial ? ModemUse::Dial : ModemUse::Answer)) {
        if (!readable) {
            show(kMsgModemFileUnusable, MessageKind::Error,
                 modemFileUnreadable(settings_.modemFile));
            scriptLog("Modem script= " + settings_.modemName + " : cannot read " +
                      settings_.modemFile);
        }
        // Without its commands a dial would report a call that was never made. As when the
        // modem cannot be initialised, listening does not restart by itself.
        listeningStops();
        closeDialingWindow();
        goal_ = ScriptGoal::Listen;
        if (onPortAbandoned_)
            onPortAbandoned_(MessageAnswer::Cancel);
        return false;
    }
    connectType_ = script_.connectType();
    refreshScriptOptions();
    state_ = ConnectionState::OpeningPort;
    ++openAttempt_;
    tryOpenPort();
    return true;
}

bool Connection::modemFileServes(ModemUse use) {
    const std::string text = modemFileProblem(script_.script(), settings_.modemFile, use);
    if (text.empty())
        return true;
    scriptLog("Modem script= " + settings_.modemName + " : " + text);
    show(kMsgModemFileUnusable, MessageKind::Error, text);
    return false;
}

void Connection::tryOpenPort() {
    openRetryDue_ = false;
    if (openPort(settings_.portName, settings_.lineSettings(), modemCheckFor(connectType_))) {
        runGeneral();
        return;
    }
    Message message;
    message.id = kMsgPortBusy;
    message.kind = MessageKind::Error;
    message.text = settings_.portName;
    openQuestionOpen_ = true;
    const std::uint64_t attempt = openAttempt_;
    messages_.show(message, [this, watch = liveness_.watch(), attempt](MessageAnswer answer) {
        if (!watch.alive())
            return;
        Connection& c = *this;
        if (attempt != c.openAttempt_ || c.state_ != ConnectionState::OpeningPort)
            return;
        c.openQuestionOpen_ = false;
        if (answer == MessageAnswer::Ok || answer == MessageAnswer::Cancel) {
            // The attempt is over: what it was for goes with it (a later listen must not dial).
            c.state_ = ConnectionState::NotConnected;
            c.goal_ = ScriptGoal::Listen;
            c.closeDialingWindow();
            if (c.onPortAbandoned_)
                c.onPortAbandoned_(answer);
            return;
        }
        c.openRetryDue_ = true;  // the next pump tries again
    });
}

void Connection::runGeneral() {
    state_ = ConnectionState::Initialising;
    scriptLog("Modem script= " + settings_.modemName);
    script_.setPhoneNumber(number_);
    script_.startGeneral(goal_);
}

DialRefusal Connection::dial(std::string_view number, std::string_view name) {
    if (state_ == ConnectionState::Connected)
        return DialRefusal::None;
    if (state_ == ConnectionState::NotConnected)
        readConnectType();
    if (connectType_ == ConnectType::SerialCable) {
        if (state_ == ConnectionState::NotConnected) {
            goal_ = ScriptGoal::Dial;
            if (!startScript())
                return DialRefusal::UnusableModemFile;
        } else if (state_ == ConnectionState::OpeningPort ||
                   state_ == ConnectionState::Initialising) {
            goal_ = ScriptGoal::Dial;
        } else if (state_ == ConnectionState::Listening) {
            if (!modemFileServes(ModemUse::Dial))
                return DialRefusal::UnusableModemFile;
            receiver().clear();
            script_.startDialNow();
        }
        return DialRefusal::None;
    }
    // A number cut to fit would dial somebody else.
    if (dialCharacters(number, std::string_view::npos).size() > kMaxDialNumber)
        return DialRefusal::NumberTooLong;
    if (state_ == ConnectionState::Listening && !modemFileServes(ModemUse::Dial))
        return DialRefusal::UnusableModemFile;
    if (state_ == ConnectionState::HangingUp) {
        script_.stop();
        finishHangUp();
    }
    if (state_ == ConnectionState::Dialling)
        return DialRefusal::None;
    number_ = dialCharacters(number, kMaxDialNumber);
    script_.setPhoneNumber(number_);
    if (dialingWindow_) {
        std::string shown = settings_.outsideLinePrefix.empty()
                                ? number_
                                : settings_.outsideLinePrefix + " " + number_;
        dialingWindowOpen_ = true;
        dialingWindow_->open(name, shown);
    }
    if (state_ == ConnectionState::Listening) {
        receiver().clear();
        script_.startDial();
        return DialRefusal::None;
    }
    goal_ = ScriptGoal::Dial;
    return startScript() ? DialRefusal::None : DialRefusal::UnusableModemFile;
}

bool Connection::callDirect(const LineSettings& line) {
    if (state_ != ConnectionState::NotConnected)
        return false;
    // No commands: the call is made at once and its hang-up ends as soon as the lines drop.
    script_.stop();
    script_.setScript(IniFile());
    connectType_ = ConnectType::SerialCable;
    if (!openPort(settings_.portName, line, modemCheckFor(connectType_)))
        return false;
    scriptConnected();
    return true;
}

void Connection::closeCall() {
    if (state_ == ConnectionState::Connected) {
        protocol().stopTransfers(StopCause::Closing);
        protocol().sendDisconnect();
    }
    hangUp();
}

// --- ending a call ------------------------------------------------------------------------

void Connection::hangUp() {
    if (state_ == ConnectionState::NotConnected || state_ == ConnectionState::HangingUp)
        return;
    closeDialingWindow();
    if (state_ == ConnectionState::OpeningPort) {
        // Nothing was sent to the modem yet: forget the attempt (a pending answer to the
        // port question is then ignored).
        ++openAttempt_;
        openRetryDue_ = false;
        finishHangUp();
        return;
    }
    const bool wasConnected = state_ == ConnectionState::Connected;
    if (wasConnected)
        logCallLine(false);
    state_ = ConnectionState::HangingUp;
    carrierLostSince_.reset();
    script_.stop();
    // What was written last (the "<Disconnect>" that tells the peer) must reach the far end
    // before the lines drop and the port is purged and closed: dropping DTR hangs the modem up
    // at once, discarding what it still holds. The output queue is only an estimate (a port
    // server or a modem buffers more), so the lines also stay up for a short settling time.
    if (wasConnected) {
        const std::uint64_t now = ticks().nowMs();
        settleUntil_ = now + kSettleMs;
        drainUntil_ = now + kDrainMs;
        return;
    }
    beginDisconnect();
}

void Connection::beginDisconnect() {
    drainUntil_.reset();
    setLines(false);
    script_.startDisconnect();
}

void Connection::finishHangUp() {
    state_ = ConnectionState::NotConnected;
    drainUntil_.reset();
    // The hint stays through the drain above: the last bytes still leave at the call's rate.
    setLineRateHint(0);
    closePort();
    goal_ = ScriptGoal::Listen;
    carrierLostSince_.reset();
}

void Connection::closeDialingWindow() {
    if (dialingWindowOpen_ && dialingWindow_)
        dialingWindow_->close();
    dialingWindowOpen_ = false;
}

void Connection::logCallLine(bool connect) {
    std::time_t now = wallClock_->now();
    std::tm utc{};
    gmtime_r(&now, &utc);
    char date[80] = "";
    char time[40] = "";
    std::strftime(date, sizeof date, "%A, %B %d, %Y", &utc);
    std::strftime(time, sizeof time, "%H:%M:%S", &utc);
    scriptLog(std::string(connect ? "*** Connect    on: " : "*** Disconnect on: ") + date + "  " +
              time + " ***");
}

// --- the pump -----------------------------------------------------------------------------

PumpResult Connection::pump() {
    if (pumping_)
        return PumpResult::Ok;
    pumping_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{pumping_};

    if (state_ == ConnectionState::OpeningPort && openRetryDue_)
        tryOpenPort();
    if (state_ == ConnectionState::NotConnected || state_ == ConnectionState::OpeningPort) {
        return PumpResult::Ok;
    }
    const bool modem = connectType_ != ConnectType::SerialCable;
    if (modem && (!isPortOpen() || !modemPresent())) {
        modemSwitchedOff();
        return PumpResult::ModemOff;
    }
    if (modem && state_ == ConnectionState::Connected && !carrierPresent()) {
        const std::uint64_t now = ticks().nowMs();
        if (!carrierLostSince_)
            carrierLostSince_ = now;
        if (now - *carrierLostSince_ >= kCarrierLossMs) {
            closeVideo();
            hangUp();
            show(kMsgCarrierLost, MessageKind::Error);
            return PumpResult::CarrierLost;
        }
    } else {
        carrierLostSince_.reset();
    }

    if (state_ == ConnectionState::HangingUp && drainUntil_) {
        const std::uint64_t now = ticks().nowMs();
        if ((outputQueueLength() == 0 && now >= settleUntil_) || now >= *drainUntil_) {
            beginDisconnect();
        }
        return PumpResult::Ok;
    }

    const std::size_t held = readReceived();
    if (state_ == ConnectionState::Connected && readFailed()) {
        lineFailed();
        return PumpResult::CarrierLost;
    }
    const bool scriptRunning = script_.phase() != ScriptPhase::None;
    if (scriptRunning)
        script_.step(receiver().data(), held);
    // The call may also have been made between pumps, by an answer to a question. What
    // followed the modem's connect report belongs to the link: it stays held.
    if (callJustMade_) {
        callJustMade_ = false;
        if (state_ == ConnectionState::Connected)
            return PumpResult::CallMade;
    }
    if (scriptRunning || state_ != ConnectionState::Connected) {
        if (state_ != ConnectionState::Connected)
            receiver().clear();
        return PumpResult::Ok;
    }
    switch (poll()) {
        case kPollPeerDisconnected:
            return PumpResult::PeerDisconnected;
        case kPollGreetingUnanswered:
            return PumpResult::PeerSilent;
        default:
            return PumpResult::Ok;
    }
}

void Connection::modemSwitchedOff() {
    state_ = ConnectionState::NotConnected;
    script_.stop();
    closeDialingWindow();
    if (protocol().receiver().active())
        protocol().receiver().control(ReceiveControl::Stop);
    if (protocol().sender().active())
        protocol().sender().control(SendControl::StopSilently);
    closeVideo();
    closePort();
    goal_ = ScriptGoal::Listen;
    carrierLostSince_.reset();
    show(kMsgModemOff, MessageKind::Error);
}

void Connection::lineFailed() {
    // The receiver has already stopped (the failed read stops it); the sender cannot be heard
    // any more either. Nothing can leave a failed port: the hang-up does not wait for a drain
    // or for the modem's answers.
    protocol().stopTransfers(StopCause::LineFailure);
    closeVideo();
    hangUp();
    if (state_ == ConnectionState::HangingUp) {
        script_.stop();
        setLines(false);
        finishHangUp();
    }
    show(kMsgCarrierLost, MessageKind::Error);
}

void Connection::closeVideo() {
    VideoChannel& video = protocol().video();
    if (video.outgoing() != OutgoingVideoState::Idle &&
        video.outgoing() != OutgoingVideoState::IdleAfterReset) {
        video.setOutgoingState(OutgoingVideoState::ClosedByPeer);
    }
    if (video.incoming() != IncomingVideoState::Idle) {
        video.setIncomingState(IncomingVideoState::ClosedByPeer);
    }
}

bool Connection::idleTimeUp() {
    const auto limit = settings_.idleDisconnectAfter();
    if (state_ != ConnectionState::Connected || isOnHold() || !limit) {
        stampActivity();
        return false;
    }
    return ticks().nowMs() - lastActivityMs() > static_cast<std::uint64_t>(limit->count());
}

bool Connection::checkIdle() {
    if (!idleTimeUp())
        return false;
    hangUp();
    show(kMsgIdle, MessageKind::Acknowledgment);
    return true;
}

// --- the script's side --------------------------------------------------------------------

void Connection::sendToModem(std::string_view bytes) {
    writePort(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), true);
}

void Connection::scriptLog(std::string_view text) {
    log(LogDirection::Sent, text);
}

void Connection::scriptLogReceived(std::string_view text) {
    const std::string line = answerLine(text);
    if (!line.empty())
        log(LogDirection::Received, line);
}

void Connection::scriptDialling() {
    state_ = ConnectionState::Dialling;
}

void Connection::scriptListening() {
    state_ = ConnectionState::Listening;
}

void Connection::scriptConnected() {
    state_ = ConnectionState::Connected;
    closeDialingWindow();
    goal_ = ScriptGoal::Listen;
    carrierLostSince_.reset();
    lastConnectSpeed_ = connectSpeed(script_.received()).value_or(0);
    // A modem that connected below the port rate carries the bytes at its own rate: the video
    // pacing must see the queue drain at that rate, not the port's (0 leaves the port rate).
    setLineRateHint(lastConnectSpeed_);
    logCallLine(true);
    callReset();
    callJustMade_ = true;
}

void Connection::scriptFailed(bool stopListening) {
    if (stopListening)
        listeningStops();
    hangUp();
}

void Connection::answerDeclined() {
    if (state_ == ConnectionState::Listening) {
        hangUp();
        listeningStops();
    }
}

void Connection::scriptDisconnected() {
    if (state_ == ConnectionState::HangingUp)
        finishHangUp();
}

void Connection::connectCommandSending() {
    if (dialingWindowOpen_ && dialingWindow_)
        dialingWindow_->connectCommandSent();
}

void Connection::ringHeard() {
    if (incoming_)
        incoming_->ringHeard();
}

void Connection::answering() {
    if (incoming_)
        incoming_->answering();
}

}  // namespace krl
