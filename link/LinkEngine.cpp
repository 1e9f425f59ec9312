#include "link/LinkEngine.h"

#include <algorithm>
#include <cstring>

#include "link/BlockCheckValue.h"
#include "link/CheckFieldText.h"
#include "link/FileBlockStuffing.h"
#include "resources/StringTable.h"

namespace krl {
namespace {

// String-table entry of the version text the greeting carries.
constexpr int kVersionTextEntry = 508;
// The greeting's product field is always these 11 bytes.
constexpr std::string_view kProductName = "Kestrelcall";
constexpr std::string_view kProtocolVersion = "1.00";

std::size_t senderLimit(FrameType type) {
    switch (type) {
        case FrameType::Command:
            return frame::kMaxCommandPayload;
        case FrameType::FileBlock:
            return frame::kMaxFileBlockPayload;
        case FrameType::Video:
        case FrameType::VideoKey:
            return frame::kMaxVideoPayload;
        case FrameType::Chat:
            return frame::kMaxChatPayload;
    }
    return 0;
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

LinkEngine::LinkEngine(SerialDeviceFactory& devices, const TickSource& ticks,
                       const StringTable& strings)
    : SerialLink(devices, ticks),
      transmit_(new std::uint8_t[frame::kBufferSize]()),
      versionText_(strings.text(kVersionTextEntry)) {
    for (int n = 1; n <= kLinkCommandCount; ++n)
        tags_[n] = strings.text(n);
}

LinkEngine::~LinkEngine() = default;

const std::string& LinkEngine::tag(LinkCommand command) const {
    const int n = static_cast<int>(command);
    return tags_[(n >= 1 && n <= kLinkCommandCount) ? n : 0];
}

bool LinkEngine::hasTag(const FrameRecord& frame, LinkCommand command) const {
    const std::string& t = tag(command);
    if (t.empty())
        return false;
    const std::string_view text = frame.text();
    auto it = std::search(text.begin(), text.end(), t.begin(), t.end(),
                          [](char a, char b) { return lower(a) == lower(b); });
    return it != text.end();
}

void LinkEngine::callReset() {
    greeting_ = {};
    resentBlocks_ = 0;
    damagedFrames_ = 0;
    onCallReset();
    stampActivity();
    sendGreeting();
}

std::size_t LinkEngine::readReceived() {
    long n = 0;
    readFailed_ = false;
    if (receiver_.readRoom() > 0) {
        n = readPort(receiver_.readPosition(), receiver_.readRoom());
        if (n < 0) {
            n = 0;
            readFailed_ = true;
            onReadFailure();
        }
    }
    return receiver_.commitRead(n, ticks().nowMs());
}

int LinkEngine::poll() {
    if (polling_)
        return kPollOk;
    polling_ = true;
    std::size_t pos = 0;
    const std::uint64_t now = ticks().nowMs();
    while (receiver_.nextFrame(pos, now)) {
        const FrameRecord& frame = receiver_.frame();
        dispatch(frame);
        if (frame.type == FrameType::Command && transferDisconnected()) {
            receiver_.clear();  // the call is over; what followed is not examined
            polling_ = false;
            return kPollPeerDisconnected;
        }
    }
    runTransferSteps();
    const int result = greetingStep();
    polling_ = false;
    return result;
}

void LinkEngine::dispatch(const FrameRecord& frame) {
    switch (frame.type) {
        case FrameType::Command:
            onCommandFrame(frame);
            break;
        case FrameType::FileBlock:
            onFileBlockFrame(frame);
            break;
        case FrameType::Video:
        case FrameType::VideoKey:
            onVideoFrame(frame);
            break;
        case FrameType::Chat:
            onChatFrame(frame);
            break;
    }
}

int LinkEngine::greetingStep() {
    if (!greeting_.sent || greeting_.answered)
        return kPollOk;
    const std::uint64_t now = ticks().nowMs();
    if (now < greeting_.lastSentMs || now - greeting_.lastSentMs <= kGreetingRetryMs)
        return kPollOk;
    if (greeting_.attempts >= kGreetingAttempts)
        return kPollGreetingUnanswered;
    sendGreeting();
    return kPollOk;
}

void LinkEngine::onCommandFrame(const FrameRecord& frame) {
    // The dispatcher's order for the tags the greeting depends on.
    for (LinkCommand answer :
         {LinkCommand::OkForSend, LinkCommand::VideoOpen, LinkCommand::OkVideoOpen}) {
        if (hasTag(frame, answer)) {
            log(LogDirection::Received, frame.text());
            markGreetingAnswered();
            return;
        }
    }
    if (hasTag(frame, LinkCommand::Hello)) {
        answerGreeting(frame);
    } else if (hasTag(frame, LinkCommand::CardReceived) || hasTag(frame, LinkCommand::HelloOk)) {
        log(LogDirection::Received, frame.text());
        markGreetingAnswered();
    }
}

long LinkEngine::sendGreeting() {
    std::string payload;
    payload.reserve(96);
    payload += tag(LinkCommand::Hello);
    payload += '<';
    payload += kProductName;
    payload += "><";
    payload += versionText_;
    payload += "><";
    payload += kProtocolVersion;
    payload += "><";
    payload += kProtocolVersion;
    payload += '>';
    const long accepted = sendCommandPayload(payload);
    log(LogDirection::Sent, payload);
    greeting_.sent = true;
    greeting_.answered = false;
    greeting_.lastSentMs = ticks().nowMs();
    ++greeting_.attempts;
    return accepted;
}

long LinkEngine::restartGreeting() {
    greeting_ = {};
    return sendGreeting();
}

void LinkEngine::answerGreeting(const FrameRecord& frame) {
    log(LogDirection::Received, frame.text());
    sendCommand(LinkCommand::HelloOk);
}

long LinkEngine::sendCommand(LinkCommand command) {
    const std::string& t = tag(command);
    const long accepted = sendCommandPayload(t);
    log(LogDirection::Sent, t);
    return accepted;
}

long LinkEngine::sendCommandPayload(std::span<const std::uint8_t> payload) {
    return sendFrame(FrameType::Command, payload);
}

long LinkEngine::sendFrame(FrameType type, std::span<const std::uint8_t> payload,
                           const CheckField& check) {
    if (payload.size() > senderLimit(type))
        return 0;
    std::uint8_t* tx = transmit_.get();
    const auto rawType = static_cast<std::uint16_t>(type);
    const auto length = static_cast<std::uint16_t>(payload.size());
    tx[0] = frame::kStartByte;
    tx[1] = static_cast<std::uint8_t>(rawType & 0xFF);
    tx[2] = static_cast<std::uint8_t>(rawType >> 8);
    tx[3] = static_cast<std::uint8_t>(length & 0xFF);
    tx[4] = static_cast<std::uint8_t>(length >> 8);
    std::size_t at = frame::kHeaderSize;
    if (frame::hasCheckField(type)) {
        std::memcpy(tx + at, check.data(), check.size());
        at += check.size();
    }
    if (!payload.empty())
        std::memmove(tx + at, payload.data(), payload.size());
    at += payload.size();
    tx[at++] = frame::kStartByte;
    tx[at++] = 0;  // pad byte
    return writePort(tx, at);
}

long LinkEngine::sendVideo(std::span<const std::uint8_t> bytes, bool keyFrame) {
    if (bytes.size() > frame::kMaxVideoPayload)
        return 0;
    return sendFrame(keyFrame ? FrameType::VideoKey : FrameType::Video, bytes,
                     videoCheckField(BlockCheckValue::of(bytes)));
}

long LinkEngine::sendChat(std::span<const std::uint8_t> text) {
    if (text.size() > frame::kMaxChatPayload)
        return 0;
    return sendFrame(FrameType::Chat, text);
}

FileBlockSent LinkEngine::sendFileBlock(std::span<const std::uint8_t> data) {
    FileBlockSent sent;
    const StuffedBlock block = stuffFileBlock(data, stuffed_.data());
    sent.dataTaken = block.dataTaken;
    sent.length = block.length;
    sent.checkValue = BlockCheckValue::of(data.first(block.dataTaken));
    sent.accepted = sendFrame(FrameType::FileBlock, {stuffed_.data(), block.length},
                              fileBlockCheckField(sent.checkValue));
    return sent;
}

}  // namespace krl
