#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/LivenessToken.h"
#include "base/WallClock.h"
#include "connection/CommsSettings.h"
#include "connection/ConnectionState.h"
#include "connection/ModemFileCheck.h"
#include "connection/ModemScript.h"
#include "link/LinkSession.h"

namespace krl {

class DialingWindow;
class IncomingCall;

// Why dial() did not start a call.
enum class DialRefusal {
    None,               // the call is on its way (or was already up)
    NumberTooLong,      // more dialling characters than a number may hold: never cut short
    UnusableModemFile,  // the modem file lacks what dialling needs (message 4250 shown)
};

// The one object through which the program places, answers and ends a call. pump() is called
// over and over from the event loop: it watches the modem lines, feeds the modem script while a
// call is being set up and runs the link's poll once the call is made.
//
// Nothing here blocks for the user: a question (the port cannot be opened, a modem command
// failed, answer this call?) is a waiting state that the answer ends later.
//
// Carrier loss is measured as time (kCarrierLossMs without carrier while connected ends the
// call), not as a count of pumps: the pump runs every few milliseconds while connected and a
// pump count would end calls on a short glitch. A port that fails under a call (an unplugged
// cable or adapter, a line hung up: the device reports a failed read) ends the call at once
// the same way, for every connect type.
class Connection : public LinkSession, private ModemScriptHost {
public:
    static constexpr std::uint64_t kCarrierLossMs = 2000;
    // Longest wait at hang-up for the port's output queue to drain before the lines drop.
    static constexpr std::uint64_t kDrainMs = 2000;
    // Shortest wait at hang-up of a call before the lines drop.
    static constexpr std::uint64_t kSettleMs = 300;
    // Message numbers this object shows.
    static constexpr int kMsgPortBusy = 4000;
    static constexpr int kMsgModemOff = 4160;
    static constexpr int kMsgCarrierLost = 4170;
    static constexpr int kMsgIdle = 5160;
    static constexpr int kMsgModemFileUnusable = 4250;

    Connection(SerialDeviceFactory& devices, const TickSource& ticks, const StringTable& strings,
               MessagePresenter& messages);
    ~Connection() override;

    // Takes a copy of the settings; the block itself has one writer, the settings model. While
    // listening the new rings count applies and the SpeakerOff command is sent again.
    void applySettings(const CommsSettings& settings);
    const CommsSettings& settings() const { return settings_; }
    // Line speed of the current (or last) call in bits per second, from the modem's connect
    // report; 0 when it gave none (a cable).
    std::uint32_t lastConnectSpeed() const { return lastConnectSpeed_; }

    // Optional collaborators; null is allowed for each.
    void setDialingWindow(DialingWindow* window) { dialingWindow_ = window; }
    void setIncomingCall(IncomingCall* incoming) { incoming_ = incoming; }
    void setWallClock(const WallClock* clock) { wallClock_ = clock ? clock : &systemClock_; }
    // Called when the user gave up opening the port (answer Ok: show the port settings and try
    // again; Cancel: leave it), and with Cancel when the modem file cannot be read.
    void setPortOpenAbandonedHandler(std::function<void(MessageAnswer)> handler) {
        onPortAbandoned_ = std::move(handler);
    }
    // Called when listening must not restart by itself any more (the Listen command stopped it,
    // the modem cannot be set up, the user declined a call): the owner of the Comms block
    // switches alwaysListen off. The copy held here is switched off at once.
    void setListeningStoppedHandler(std::function<void()> handler) {
        onListeningStopped_ = std::move(handler);
    }

    // The prepare-to-receive command: starts listening; while the port is being opened, the
    // modem initialised or a call awaited, hangs up instead and switches alwaysListen off.
    // A modem file that cannot answer calls is refused with message 4250.
    void listen();
    // Places a call to number (name is shown in the dialing window). Refused, with nothing
    // started, when the number holds more than kMaxDialNumber dialling characters or the modem
    // file cannot dial.
    DialRefusal dial(std::string_view number, std::string_view name = {});
    // A call on a line that needs no modem commands (a null-modem cable between two tools):
    // opens the port of the settings with these line settings and no modem check, and makes
    // the call at once; the next pump reports CallMade. False, with nothing shown, when the
    // port cannot be opened or a call or its set-up is already under way.
    bool callDirect(const LineSettings& line);
    // Ends the call or the set-up: the disconnect commands run, then the port closes.
    void hangUp();
    // Ends the call because this end is closing (the program exits, a tool is interrupted):
    // a file being sent is stopped with "<Stop Sending>", one being received with
    // "<Do Not Send>" and its partial file removed, the peer is told "<Disconnect>", then the
    // hang-up runs (the last bytes leave, the lines drop, the disconnect commands go to the
    // modem). Pump until state() is NotConnected; destroying the object instead still drops
    // the lines and closes the port.
    void closeCall();
    PumpResult pump();
    // Idle disconnect, run after each pump: hangs up and shows 5160 when a call that is not on
    // hold has moved no byte for the idle-disconnect minutes (never when they are 0). True when
    // it hung up.
    bool checkIdle();
    // The test of checkIdle() alone: true when the call has been idle too long (the caller then
    // ends it and shows 5160); otherwise the idle time restarts when not connected or on hold.
    bool idleTimeUp();

    ConnectionState state() const { return state_; }
    DisplayState displayState() const { return displayStateOf(state_); }
    ConnectType connectType() const { return connectType_; }
    ScriptPhase scriptPhase() const { return script_.phase(); }
    bool isOnHold() const { return protocol().isOnHold(); }
    const std::string& numberToDial() const { return number_; }

private:
    // ModemScriptHost
    void sendToModem(std::string_view bytes) override;
    void scriptLog(std::string_view text) override;
    void scriptLogReceived(std::string_view text) override;
    void scriptDialling() override;
    void scriptListening() override;
    void scriptConnected() override;
    void scriptFailed(bool stopListening) override;
    void answerDeclined() override;
    void scriptDisconnected() override;
    void connectCommandSending() override;
    void ringHeard() override;
    void answering() override;

    // False when the modem file was refused (message shown, nothing started).
    bool startScript();
    bool modemFileServes(ModemUse use);
    void lineFailed();
    void tryOpenPort();
    void runGeneral();
    void refreshScriptOptions();
    void readConnectType();
    void modemSwitchedOff();
    void closeVideo();
    void closeDialingWindow();
    void beginDisconnect();
    void finishHangUp();
    void logCallLine(bool connect);
    void show(int id, MessageKind kind, std::optional<std::string> text = {});
    void listeningStops();

    MessagePresenter& messages_;
    CommsSettings settings_;
    std::uint32_t lastConnectSpeed_ = 0;
    ModemScript script_;
    SystemWallClock systemClock_;
    const WallClock* wallClock_ = &systemClock_;
    DialingWindow* dialingWindow_ = nullptr;
    bool dialingWindowOpen_ = false;
    IncomingCall* incoming_ = nullptr;
    std::function<void(MessageAnswer)> onPortAbandoned_;
    std::function<void()> onListeningStopped_;

    ConnectionState state_ = ConnectionState::NotConnected;
    ScriptGoal goal_ = ScriptGoal::Listen;
    ConnectType connectType_ = ConnectType::Modem;
    std::string number_;
    std::optional<std::uint64_t> carrierLostSince_;
    std::optional<std::uint64_t> drainUntil_;
    std::uint64_t settleUntil_ = 0;
    bool callJustMade_ = false;
    bool pumping_ = false;
    // The port-open question: a retry waits for the next pump, so that an answer given at once
    // can never spin; an answer to an attempt that was hung up is ignored.
    bool openRetryDue_ = false;
    bool openQuestionOpen_ = false;
    std::uint64_t openAttempt_ = 0;
    LivenessToken liveness_;
};

}  // namespace krl
