#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace krl {

// Frame types as they travel in the 16-bit type field.
enum class FrameType : std::uint16_t {
    Command = 2,    // command tag text, no check field
    FileBlock = 3,  // stuffed file data, check field "%14ld"
    Video = 4,      // one compressed video frame, check field as decimal text
    Chat = 5,       // chat text, no check field
    VideoKey = 6,   // a video frame the sender marked as a key frame
};

// The 16 bytes that follow the header in file block and video frames.
using CheckField = std::array<std::uint8_t, 16>;

// The wire frame (all multi-byte fields little-endian):
//   start byte 0x01 | type (2) | payload length L (2) | check field (16, types 3, 4, 6 only)
//   | payload (L) | end byte 0x01 | pad byte 0x00 (never examined)
namespace frame {

inline constexpr std::uint8_t kStartByte = 0x01;
inline constexpr std::size_t kHeaderSize = 5;
inline constexpr std::size_t kCheckFieldSize = 16;

// Every buffer of the engine (receive, payload, transmit) has this size; the largest frame a
// peer can send (a video frame, 16384 bytes on the wire) always fits.
inline constexpr std::size_t kBufferSize = 24576;

// Sender limits. A command frame never takes more than 8100 bytes on the wire; a video frame
// is not sent when L + 22 reaches 16383, a chat frame when L + 6 reaches 15360; a file block
// carries at most 3070 data bytes, 3071 once start bytes are doubled.
inline constexpr std::size_t kMaxCommandPayload = 8100 - 7;
inline constexpr std::size_t kMaxChatPayload = 15360 - 6 - 1;
inline constexpr std::size_t kMaxVideoPayload = 16383 - 22 - 1;
inline constexpr std::size_t kMaxFileBlockData = 3070;
inline constexpr std::size_t kMaxFileBlockPayload = 3071;

// Receive bounds: a length above its type's bound cannot come from a peer, so the header is
// not taken as a frame start (one damaged length must not make the parser wait for bytes that
// never come). Video allows one byte of slack over the sender limit.
inline constexpr std::size_t kMaxVideoPayloadReceived = kMaxVideoPayload + 1;

constexpr bool isFrameType(std::uint16_t type) {
    return type >= 2 && type <= 6;
}

constexpr bool hasCheckField(FrameType type) {
    return type == FrameType::FileBlock || type == FrameType::Video || type == FrameType::VideoKey;
}

// Bytes on the wire for a payload of `length`, end and pad byte included.
constexpr std::size_t wireSize(FrameType type, std::size_t length) {
    return length + (hasCheckField(type) ? 23 : 7);
}

// The largest payload length a receiver accepts for the type.
constexpr std::size_t maxReceivedPayload(FrameType type) {
    switch (type) {
        case FrameType::Command:
            return kMaxCommandPayload;
        case FrameType::FileBlock:
            return kMaxFileBlockPayload;
        case FrameType::Video:
        case FrameType::VideoKey:
            return kMaxVideoPayloadReceived;
        case FrameType::Chat:
            return kMaxChatPayload;
    }
    return 0;
}

}  // namespace frame

// One received frame. The payload lives in the parser's payload buffer with a NUL after it and
// stays valid until the next frame is parsed.
struct FrameRecord {
    FrameType type = FrameType::Command;
    std::uint16_t length = 0;
    CheckField check{};  // zero for frame types without a check field
    const std::uint8_t* payload = nullptr;
    // The byte found where the end byte belongs (0x01 when the frame was intact there).
    std::uint8_t endByte = frame::kStartByte;

    std::span<const std::uint8_t> bytes() const { return {payload, length}; }
    std::string_view text() const { return {reinterpret_cast<const char*>(payload), length}; }
    bool endByteMissing() const { return endByte != frame::kStartByte; }
};

}  // namespace krl
