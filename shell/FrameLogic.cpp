#include "shell/FrameLogic.h"

#include <algorithm>

namespace krl {

PumpReaction FrameLogic::reactTo(PumpResult result, PumpVariant variant) {
    PumpReaction r;
    switch (result) {
        case PumpResult::PeerDisconnected:
            r.end = CallEnd::PeerDisconnected;
            r.message = kMsgRemoteDisconnected;
            break;
        case PumpResult::PeerSilent:
            r.end = CallEnd::PeerSilent;
            r.message = kMsgRemoteSilent;
            break;
        case PumpResult::CarrierLost:
            // The connection has shown its own message already.
            r.end = CallEnd::CarrierLost;
            break;
        case PumpResult::ModemOff:
            // The connection is reset and has shown 4160; what the call left behind (video,
            // hold marks, the remote card) goes the same way as after a hang-up.
            r.end = CallEnd::ModemOff;
            break;
        default:
            break;
    }
    if (variant == PumpVariant::Light) {
        // A call made under a modal window (the dialing window pumps from its timer) still
        // owes the own card: the full step sends it once the window is gone.
        r.callMade = result == PumpResult::CallMade;
        r.handResultToTransferWindow = true;
        r.updateStatusAndButtons = true;
        return r;
    }
    if (result == PumpResult::CallMade) {
        r.callMade = true;
        r.connectedStep = true;
        return r;
    }
    r.handResultToTransferWindow = true;
    r.openTransferWindowIfPeerSends = true;
    r.connectedStep = true;
    r.updateStatusAndButtons = true;
    r.inactivityCheck = true;
    return r;
}

ButtonStates FrameLogic::buttons(ConnectionState state) {
    const bool connected = state == ConnectionState::Connected;
    return {!connected, connected, connected};
}

bool FrameLogic::restartListening(bool alwaysListen, ConnectionState state, bool exiting) {
    return alwaysListen && !exiting && state == ConnectionState::NotConnected;
}

bool FrameLogic::setupIncomplete(const CommsSettings& comms, const VideoSettings& video) {
    return comms.portName.empty() || comms.modemName.empty() || video.driver.empty();
}

ExitStep FrameLogic::exitStep(DisplayState state) {
    switch (state) {
        case DisplayState::NotConnected:
            return ExitStep::Destroy;
        case DisplayState::Disconnecting:
            return ExitStep::PumpOnce;
        default:
            return ExitStep::HangUpFirst;
    }
}

std::optional<int> FrameLogic::hangUpQuestion(DisplayState state, bool exiting) {
    if (state != DisplayState::Connected)
        return std::nullopt;
    return exiting ? kMsgConfirmExit : kMsgConfirmDisconnect;
}

bool FrameLogic::pumpDue(DisplayState state, std::uint64_t nowMs, std::uint64_t lastPumpMs) {
    if (state == DisplayState::Connected)
        return true;
    return nowMs < lastPumpMs || nowMs - lastPumpMs >= kIdlePumpPeriodMs;
}

Cp1252Text FrameLogic::cardText(const std::optional<BusinessCard>& card) {
    if (!card)
        return Cp1252Text(" ");
    return Cp1252Text(card->name.bytes() + "\r\n" + card->phone.bytes() + "\r\n\r\n" +
                      card->details.bytes() + "\r\n");
}

std::optional<std::string> FrameLogic::plainName(std::string_view name) {
    std::string out;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == ':')
            out += '_';
        else
            out += static_cast<char>(c);
    }
    // Leading dots would hide the file or climb out of the folder; trailing blanks and dots
    // are not kept by every file system.
    const auto first = out.find_first_not_of(". ");
    if (first == std::string::npos)
        return std::nullopt;
    out.erase(0, first);
    while (!out.empty() && (out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    if (out.size() > 64)
        out.resize(64);
    if (out.empty())
        return std::nullopt;
    return out;
}

}  // namespace krl
