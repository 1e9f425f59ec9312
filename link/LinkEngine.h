#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "link/Frame.h"
#include "link/FrameParser.h"
#include "link/LinkCommand.h"
#include "serial/SerialLink.h"

namespace krl {

class StringTable;

// The greeting of a call: sent at the call reset, resent after 5000 ms without an answer, given
// up after the third.
struct GreetingState {
    bool sent = false;
    bool answered = false;
    std::uint64_t lastSentMs = 0;
    int attempts = 0;
};

// What sendFileBlock did.
struct FileBlockSent {
    long accepted = 0;             // bytes the port took (a whole frame is length + 23)
    std::size_t dataTaken = 0;     // data bytes the block carries
    std::size_t length = 0;        // stuffed payload length
    std::uint32_t checkValue = 0;  // block check value over the data taken
};

// The link engine: turns the serial byte stream into frames and back. It has no thread and no
// timer: the owner reads the port into the receive buffer (readReceived) and calls poll() once
// per pump while connected; everything it sends is written synchronously.
//
// poll() hands each received frame to a protected hook by type; the protocol layer (commands,
// file transfer, video, chat) derives from the engine and fills those hooks. The engine itself
// keeps the greeting, the two statistics counters and the connection log.
class LinkEngine : public SerialLink {
public:
    static constexpr std::uint64_t kGreetingRetryMs = 5000;
    static constexpr int kGreetingAttempts = 3;
    // What poll() answers.
    static constexpr int kPollOk = 1;
    static constexpr int kPollPeerDisconnected = -1;
    static constexpr int kPollGreetingUnanswered = -2;

    // Takes the command tags (entries 1 to 36) and the version text of the greeting (entry
    // 508) from `strings`. Allocates the buffers once, at their nominal size.
    LinkEngine(SerialDeviceFactory& devices, const TickSource& ticks, const StringTable& strings);
    ~LinkEngine() override;

    // --- the call ---------------------------------------------------------------------------

    // A connection was made: clears the greeting and the counters, lets the protocol layer
    // reset its state (onCallReset), stamps the activity time and sends the greeting. Bytes
    // already held in the receive buffer are kept: they belong to the link protocol.
    void callReset();

    // Reads what the port holds into the receive buffer after the pending bytes and does the
    // pending bookkeeping. A failed read counts as nothing read (and calls onReadFailure).
    // Returns the number of bytes held.
    std::size_t readReceived();
    // Whether the last readReceived found the port failed (a device gone, a line hung up).
    bool readFailed() const { return readFailed_; }

    // Parses and dispatches the held frames, runs the transfer steps and the greeting retry.
    // kPollOk normally; kPollPeerDisconnected as soon as a command put a transfer side into the
    // disconnect state (the rest of the bytes are dropped); kPollGreetingUnanswered once three
    // greetings have gone unanswered for more than 5000 ms after the last. A call from inside a
    // hook returns kPollOk and does nothing.
    int poll();

    // The receive buffer: the modem script engine searches it while dialling and may keep its
    // tail (receiver().keep()) or drop it (receiver().clear()).
    FrameParser& receiver() { return receiver_; }
    const FrameParser& receiver() const { return receiver_; }
    // The frame being dispatched (valid inside the frame hooks, until the next frame).
    const FrameRecord& currentFrame() const { return receiver_.frame(); }

    // --- sending ----------------------------------------------------------------------------
    // Each returns the bytes the port accepted: 0 when the port is closed or the payload is
    // longer than the frame type allows (nothing is written then).

    // Command n as a command frame with the bare tag as payload; logged as a sent line.
    long sendCommand(LinkCommand command);
    // A command frame with a payload of the caller's (a tag followed by fields; at most 8093
    // bytes). Not logged: the caller logs what it wants to show.
    long sendCommandPayload(std::span<const std::uint8_t> payload);
    long sendCommandPayload(std::string_view payload) {
        return sendCommandPayload(
            {reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()});
    }
    // Any frame: header, the check field for types 3, 4 and 6, payload, end byte, pad byte.
    long sendFrame(FrameType type, std::span<const std::uint8_t> payload,
                   const CheckField& check = {});
    // A video frame (type 6 when keyFrame, else 4) with its block check value as decimal text.
    // Not sent when the length plus 22 reaches 16383.
    long sendVideo(std::span<const std::uint8_t> bytes, bool keyFrame);
    // A chat frame. Not sent when the length plus 6 reaches 15360.
    long sendChat(std::span<const std::uint8_t> text);
    long sendChat(std::string_view text) {
        return sendChat({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }
    // A file block from the start of `data`: start bytes doubled, taking data until 3070 or
    // more stuffed bytes are written; the check field carries "%14ld" of the check value.
    FileBlockSent sendFileBlock(std::span<const std::uint8_t> data);

    // --- greeting ---------------------------------------------------------------------------

    // Sends "<HELLO>" with the product fields and counts the attempt; logged as a sent line.
    long sendGreeting();
    // Starts the greeting over: the record cleared, the first of three attempts sent. (A side
    // that waits on a cable for a peer to turn up greets again rather than give up.)
    long restartGreeting();
    // A received "<HELLO>": logs it as a received line and answers "<OKHello>".
    void answerGreeting(const FrameRecord& frame);
    // Any of the answers that show the peer is there.
    void markGreetingAnswered() { greeting_.answered = true; }
    const GreetingState& greeting() const { return greeting_; }

    // --- tags -------------------------------------------------------------------------------

    // The tag of command n ("<HELLO>" for Hello).
    const std::string& tag(LinkCommand command) const;
    // Whether the payload holds the tag, in any letter case, anywhere.
    bool hasTag(const FrameRecord& frame, LinkCommand command) const;

    // --- statistics -------------------------------------------------------------------------

    // File blocks sent again (each negative confirmation received while waiting for one).
    long resentBlocks() const { return resentBlocks_; }
    void countResentBlock() { ++resentBlocks_; }
    // File blocks and video frames received whose check value did not match.
    long damagedFrames() const { return damagedFrames_; }
    void countDamagedFrame() { ++damagedFrames_; }

    // The receive bookkeeping, as the statistics and the connection manager see it.
    long pendingCount() const { return receiver_.pendingCount(); }
    int staleCount() const { return receiver_.staleCount(); }

protected:
    // --- hooks the protocol layer fills -------------------------------------------------------

    // A command frame. The engine's own handling covers the greeting only: "<HELLO>" is
    // answered and the answers that prove the peer mark the greeting answered. A dispatcher
    // that overrides this calls answerGreeting / markGreetingAnswered itself.
    virtual void onCommandFrame(const FrameRecord& frame);
    // A file block frame (check it with unpackFileBlock).
    virtual void onFileBlockFrame(const FrameRecord& frame) {}
    // A video frame, type Video or VideoKey (check it with videoFrameIntact).
    virtual void onVideoFrame(const FrameRecord& frame) {}
    // A chat frame.
    virtual void onChatFrame(const FrameRecord& frame) {}
    // After the frames of a poll: the file sender step and the receiver's checks.
    virtual void runTransferSteps() {}
    // True when a received command put the file sender or receiver into the disconnect state.
    virtual bool transferDisconnected() const { return false; }
    // Inside callReset, before the greeting goes out: reset the protocol state of a new call.
    virtual void onCallReset() {}
    // The port read failed (the device is gone or the modem is off).
    virtual void onReadFailure() {}

private:
    void dispatch(const FrameRecord& frame);
    int greetingStep();

    FrameParser receiver_;
    std::unique_ptr<std::uint8_t[]> transmit_;
    std::array<std::uint8_t, frame::kMaxFileBlockPayload> stuffed_{};
    std::array<std::string, kLinkCommandCount + 1> tags_;
    std::string versionText_;
    GreetingState greeting_;
    long resentBlocks_ = 0;
    long damagedFrames_ = 0;
    bool polling_ = false;
    bool readFailed_ = false;
};

}  // namespace krl
