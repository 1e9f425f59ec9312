#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "connection/CommsSettings.h"
#include "connection/ConnectionState.h"
#include "link/BusinessCard.h"
#include "shell/CallListener.h"
#include "video/VideoSettings.h"

namespace krl {

// The full variant of the frame's pump step runs from the event loop; the light one from
// under a menu or a modal dialog, where nothing that opens a window may start.
enum class PumpVariant { Full, Light };

// What the main frame does with one pump result.
struct PumpReaction {
    // The call ends (forced hang-up: no question) for this reason.
    std::optional<CallEnd> end;
    // Shown after the hang-up as an acknowledgement.
    std::optional<int> message;
    // The call was just made: card-on-connect pending is set from card flag bit 0.
    bool callMade = false;
    bool connectedStep = false;
    bool handResultToTransferWindow = false;
    // Open the file transfer window when the peer has started sending an ordinary file.
    bool openTransferWindowIfPeerSends = false;
    bool updateStatusAndButtons = false;
    bool inactivityCheck = false;
    bool operator==(const PumpReaction&) const = default;
};

// Which buttons the frame shows and enables in a connection state.
struct ButtonStates {
    bool dialShown = true;  // Dial shown and enabled; Disconnect the reverse
    bool holdEnabled = false;
    bool addToAddressBookEnabled = false;
    bool operator==(const ButtonStates&) const = default;
};

// What Exit (and close) does in a display state.
enum class ExitStep {
    Destroy,      // not connected: the frame goes
    PumpOnce,     // disconnecting: one pump, then try again
    HangUpFirst,  // anything else: hang up with confirmation, then try again
};

// The main frame's decisions, free of windows so that they can be checked on their own.
class FrameLogic {
public:
    static constexpr int kMsgRemoteDisconnected = 5080;
    static constexpr int kMsgRemoteSilent = 5210;
    static constexpr int kMsgIdleDisconnect = 5160;
    static constexpr int kMsgConfirmExit = 5180;
    static constexpr int kMsgConfirmDisconnect = 5190;
    static constexpr std::uint64_t kIdlePumpPeriodMs = 100;

    static PumpReaction reactTo(PumpResult result, PumpVariant variant);
    static ButtonStates buttons(ConnectionState state);
    // The always-listen restart: listening starts again by itself after every call, but never
    // while the program is on its way out.
    static bool restartListening(bool alwaysListen, ConnectionState state, bool exiting);
    static ExitStep exitStep(DisplayState state);
    // The setup wizard runs at start while the port, the modem or the camera is unset.
    static bool setupIncomplete(const CommsSettings& comms, const VideoSettings& video);
    // The question hang-up with confirmation asks, when it asks one.
    static std::optional<int> hangUpQuestion(DisplayState state, bool exiting);
    // The throttle: while connected every pass pumps; otherwise at most once per 100 ms.
    static bool pumpDue(DisplayState state, std::uint64_t nowMs, std::uint64_t lastPumpMs);
    // The card panel's text: name, CR LF, phone, an empty line, the details and CR LF; a single
    // blank without a card.
    static Cp1252Text cardText(const std::optional<BusinessCard>& card);
    // A name from the peer reduced to one plain file-name component (no separators, no "." or
    // "..", no control characters, not empty); nothing when nothing usable is left.
    static std::optional<std::string> plainName(std::string_view name);
};

}  // namespace krl
