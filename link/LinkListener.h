#pragma once

#include <string>
#include <string_view>

#include "base/Cp1252.h"
#include "link/TransferStates.h"
#include "link/VideoSettingsRecord.h"
#include "link/VideoStates.h"

namespace krl {

enum class HoldSide { Local, Remote };

// What the link tells the main frame. Calls arrive from inside the poll step; an implementation
// must not pump the connection from them (it may post work for later).
class LinkListener {
public:
    virtual ~LinkListener() = default;
    virtual void greetingReceived() {}  // the peer greeted us ("<HELLO>"): it is there
    virtual void cardArrived() {}       // a business card record arrived from the peer
    virtual void cardDelivered() {}     // the peer confirmed our card
    virtual void pageReceived() {}      // the peer pages the user
    // A chat frame arrived and no chat window is registered: open one and register it now; the
    // text is delivered to it right after this call returns.
    virtual void chatWindowWanted() {}
    virtual void holdChanged(HoldSide side, bool on) {}
    virtual void videoOffered() {}  // the peer announced video (incoming state Offered)
    // A side reached one of its final states (the window still acknowledges it as before).
    virtual void sendEnded(SendState state, const std::string& path, int kind) {}
    virtual void receiveEnded(ReceiveState state, const std::string& path, int kind) {}
    virtual void peerDisconnected() {}
};

// The chat window, once registered.
class ChatListener {
public:
    virtual ~ChatListener() = default;
    virtual void chatText(std::string_view text) = 0;  // Windows-1252 bytes
    virtual void remoteName(const Cp1252Text& name) = 0;
};

// The video windows, once registered.
class VideoListener {
public:
    virtual ~VideoListener() = default;
    virtual void frameQueued() {}
    // The peer sent the settings of the video it sends us ("<MyVideoSettings>").
    virtual void incomingSettings(IncomingVideoState state, const VideoSettingsRecord& record) {}
    // The peer asked for settings for the video we send ("<YourVideoSettings>").
    virtual void outgoingSettings(OutgoingVideoState state, const VideoSettingsRecord& record) {}
    virtual void keyFrameRequested() {}
    virtual void holdChanged(HoldSide side, bool on) {}
};

}  // namespace krl
