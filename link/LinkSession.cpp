#include "link/LinkSession.h"

namespace krl {

LinkSession::LinkSession(SerialDeviceFactory& devices, const TickSource& ticks,
                         const StringTable& strings, MessagePresenter& messages)
    : LinkEngine(devices, ticks, strings), protocol_(*this, strings, messages) {}

void LinkSession::onCommandFrame(const FrameRecord& frame) {
    protocol_.onCommandFrame(frame.text());
}

void LinkSession::onFileBlockFrame(const FrameRecord& frame) {
    protocol_.onFileBlockFrame(frame.check, frame.payload, frame.length);
}

void LinkSession::onVideoFrame(const FrameRecord& frame) {
    protocol_.onVideoFrame(frame.type == FrameType::VideoKey, frame.check, frame.payload,
                           frame.length);
}

void LinkSession::onChatFrame(const FrameRecord& frame) {
    protocol_.onChatFrame(frame.payload, frame.length);
}

void LinkSession::runTransferSteps() {
    protocol_.runSteps();
}

bool LinkSession::transferDisconnected() const {
    return protocol_.disconnectReceived();
}

void LinkSession::onCallReset() {
    protocol_.resetCall();
}

void LinkSession::onReadFailure() {
    protocol_.receiver().onPortFailure();
}

long LinkSession::writeFrame(FrameType type, std::span<const std::uint8_t> payload,
                             const CheckField& check) {
    return sendFrame(type, payload, check);
}

void LinkSession::logSent(std::string_view text) {
    log(LogDirection::Sent, text);
}

void LinkSession::logReceived(std::string_view text) {
    log(LogDirection::Received, text);
}

std::uint64_t LinkSession::nowMs() const {
    return ticks().nowMs();
}

long LinkSession::outputQueueBytes() {
    return outputQueueLength();
}

std::uint32_t LinkSession::lineBitsPerSecond() const {
    return lineRate();
}

void LinkSession::greetingAnswered() {
    markGreetingAnswered();
}

void LinkSession::noteResentBlock() {
    countResentBlock();
}

void LinkSession::noteDamagedFrame() {
    countDamagedFrame();
}

}  // namespace krl
