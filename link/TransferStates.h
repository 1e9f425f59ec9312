#pragma once

#include <cstdint>
#include <string>

namespace krl {

// File sender states; the numbers are what the file transfer window and its control interface
// have always seen.
enum class SendState : int {
    Idle = 0,
    FileSet = 1,        // file set, not yet opened
    Offered = 2,        // offer sent, waiting for acceptance
    ReadyForBlock = 3,  // ready to send the next block (also "in progress" in reports)
    StoppedByReceiver = 4,
    AwaitingConfirmation = 5,
    Done = 6,    // all bytes confirmed (or the file was empty)
    Failed = 7,  // did not open, or no acceptance in time
    StoppedByUser = 8,
    PeerDisconnected = 9,
};

enum class ReceiveState : int {
    NotReady = 0,
    Ready = 1,
    Receiving = 2,
    Complete = 3,
    StoppedBySender = 4,
    StoppedByUser = 5,
    Failed = 7,  // whole-file check failed, no block for too long, or the file could not be written
    Deciding = 8,  // the user is being asked about the offer, or closed by the window
    PeerDisconnected = 9,
};

// Why this end stopped a transfer (the states StoppedByUser): its user, the program closing,
// or the line failing under the transfer. The state numbers stay those above; the cause lets a
// window or a tool say why.
enum class StopCause { User, Closing, LineFailure };

// Transfer kind: 0 an ordinary file, > 0 a clipboard format number, < 0 a card picture.
inline constexpr int kOrdinaryFile = 0;
inline constexpr int kCardPicture = -1;

// Progress of one side, as the file transfer window reads it.
struct TransferStatus {
    int state = 0;           // the reported state number
    std::uint64_t size = 0;  // file length (announced size when receiving); 1 when 0
    std::uint64_t bytesDone = 0;
    int kind = 0;
    long bytesPerSecond = -1;  // -1 until a rate sample is complete
    std::string path;
};

}  // namespace krl
