#pragma once

namespace krl {

enum class VideoDirection { Outgoing, Incoming };

// The numbers are those the video windows have always used.
enum class OutgoingVideoState : int {
    Idle = 0,
    IdleAfterReset = 1,
    Opening = 2,  // never set by the link; treated as sending or offered
    Sending = 3,
    Offered = 4,
    ClosedByPeer = 5,
    PausedByPeer = 6,
    ResumedByPeer = 7,  // the local window turns this into Sending and sends a key frame next
};

enum class IncomingVideoState : int {
    Idle = 0,
    Offered = 2,
    Receiving = 3,
    Asking = 4,
    ClosedByPeer = 5,
    Paused = 6,
    // Only as a request to setVideoState: resume (sends "<VIDEORRESUME>", stores Receiving).
    Resume = 7,
};

}  // namespace krl
