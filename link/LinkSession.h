#pragma once

#include "link/LinkEngine.h"
#include "link/LinkProtocol.h"
#include "link/ProtocolPort.h"

namespace krl {

class MessagePresenter;

// The link engine with the protocol on top: the object the connection manager derives from.
// The engine parses frames and hands them to the hooks below, which feed the protocol; the
// protocol writes, logs and counts through the engine. Windows reach the protocol (file
// transfer, cards, hold, chat, video) through protocol().
class LinkSession : public LinkEngine, private ProtocolPort {
public:
    LinkSession(SerialDeviceFactory& devices, const TickSource& ticks, const StringTable& strings,
                MessagePresenter& messages);

    LinkProtocol& protocol() { return protocol_; }
    const LinkProtocol& protocol() const { return protocol_; }

protected:
    void onCommandFrame(const FrameRecord& frame) override;
    void onFileBlockFrame(const FrameRecord& frame) override;
    void onVideoFrame(const FrameRecord& frame) override;
    void onChatFrame(const FrameRecord& frame) override;
    void runTransferSteps() override;
    bool transferDisconnected() const override;
    void onCallReset() override;
    void onReadFailure() override;

    // ProtocolPort (protected so that a test can stand between the protocol and the line)
    long writeFrame(FrameType type, std::span<const std::uint8_t> payload,
                    const CheckField& check) override;
    void logSent(std::string_view text) override;
    void logReceived(std::string_view text) override;
    std::uint64_t nowMs() const override;
    long outputQueueBytes() override;
    std::uint32_t lineBitsPerSecond() const override;
    void greetingAnswered() override;
    void noteResentBlock() override;
    void noteDamagedFrame() override;

private:
    LinkProtocol protocol_;
};

}  // namespace krl
