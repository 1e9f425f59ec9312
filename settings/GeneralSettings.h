#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/ByteRecord.h"
#include "chat/ChatWindowRecord.h"

namespace krl {

// The General settings block: the home folder, the main frame's options, the own business card
// and the chat window record. Member initialisers are the defaults that apply when the key is
// missing; the chat record's rectangle defaults come from ChatWindowRecord::defaults.
struct GeneralSettings {
    static constexpr std::uint32_t kDefaultTimeSlice = 100;
    static constexpr std::uint32_t kTimeSliceWhenValueMissing = 200;
    static constexpr std::size_t kFlagsBytes = 100;
    // The own business card record as the address book keeps it.
    static constexpr std::size_t kOwnCardBytes = 877;
    // Card flag bit 0: send the own business card whenever a call connects. Only this bit is
    // stored; the other bits belong to the running program.
    static constexpr std::uint8_t kSendCardOnConnect = 0x01;

    // The home folder; every other path derives from it.
    std::string homeDir;
    // Period in milliseconds of the card-transfer dialog's timer. Never 0 after loading.
    std::uint32_t timeSlice = kDefaultTimeSlice;
    std::uint32_t commandTimeOut = 60000;

    // The option bytes of the Flags value. Bytes 0, 2 and 3 are carried and stored back.
    std::uint8_t flagsByte0 = 0;
    std::uint8_t cardFlags = kSendCardOnConnect;
    std::uint8_t flagsByte2 = 0;
    std::uint8_t flagsByte3 = 0;
    // Allow others to page you: the page sound plays only while this is set.
    bool allowPaging = true;

    // The own business card, kept as its stored bytes (all zero: every field empty).
    std::array<std::uint8_t, kOwnCardBytes> ownCard{};

    ChatWindowRecord chat;

    bool sendCardOnConnect() const { return (cardFlags & kSendCardOnConnect) != 0; }

    // The Flags value: the five option bytes, the rest of its kFlagsBytes carrying nothing.
    static const byte_record::Layout<GeneralSettings> kFlagsLayout;

    // An empty chat capture path becomes the receive folder followed by "chat.txt"; recDir
    // ends with a separator.
    void fillChatCaptureDefault(const std::string& recDir) {
        if (chat.capturePath.empty())
            chat.capturePath = recDir + "chat.txt";
    }

    bool operator==(const GeneralSettings&) const = default;
};

inline constexpr byte_record::Layout<GeneralSettings> GeneralSettings::kFlagsLayout{
    kFlagsBytes,
    {
        byte_record::byte<&GeneralSettings::flagsByte0>(),
        byte_record::byte<&GeneralSettings::cardFlags, GeneralSettings::kSendCardOnConnect>(),
        byte_record::byte<&GeneralSettings::flagsByte2>(),
        byte_record::byte<&GeneralSettings::flagsByte3>(),
        byte_record::flag<&GeneralSettings::allowPaging>(),
    }};

}  // namespace krl
