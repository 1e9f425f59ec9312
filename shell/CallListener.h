#pragma once

#include <string>

#include "base/Cp1252.h"
#include "connection/ConnectionState.h"
#include "link/BusinessCard.h"
#include "link/TransferStates.h"

namespace krl {

// Why a call (or the setting-up of one) ended.
enum class CallEnd {
    HungUp,            // this side hung up (Disconnect, Listen off, Exit, the dialing window)
    PeerDisconnected,  // the peer said "<Disconnect>" (5080 shown)
    PeerSilent,        // the peer never answered the greeting (5210 shown)
    CarrierLost,       // the modem lost the carrier (4170 shown by the connection)
    ModemOff,          // the modem went away (4160 shown by the connection)
    Idle,              // nothing moved for the idle-disconnect minutes (5160 shown)
};

// What the call controller tells the windows. Every call comes from the event loop, never from
// inside the connection's pump; a listener may open windows and run dialogs.
class CallListener {
public:
    virtual ~CallListener() = default;
    // The connection state changed (the status line and the buttons follow it).
    virtual void callStateChanged(ConnectionState state) {}
    virtual void callMade() {}
    virtual void callEnded(CallEnd why) {}
    // The peer's business card arrived (Windows-1252 text, as it travelled).
    virtual void cardReceived(const BusinessCard& card) {}
    // A card picture started to travel, out or in: the Transferring Business Card dialog.
    virtual void cardTransferStarted() {}
    virtual void pageArrived() {}
    // Chat text from the peer (Windows-1252, as it travelled; never empty).
    virtual void chatArrived(const Cp1252Text& text) {}
    // The peer started sending an ordinary file and no transfer window was there to see it.
    virtual void fileOffered() {}
    // One side of a file transfer reached its final state.
    virtual void sendFinished(SendState state, const std::string& path, int kind) {}
    virtual void receiveFinished(ReceiveState state, const std::string& path, int kind) {}
    // Every pump result, for windows that run a step of their own after the pump (the file
    // transfer window).
    virtual void pumped(PumpResult result) {}
};

}  // namespace krl
