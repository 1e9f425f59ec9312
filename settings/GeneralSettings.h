#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

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

    std::array<std::uint8_t, kFlagsBytes> flagsToBytes() const {
        std::array<std::uint8_t, kFlagsBytes> out{};
        out[0] = flagsByte0;
        out[1] = cardFlags & kSendCardOnConnect;
        out[2] = flagsByte2;
        out[3] = flagsByte3;
        out[4] = allowPaging ? 1 : 0;
        return out;
    }

    // Takes the option bytes from a stored Flags value; bytes beyond the fifth are ignored.
    // Returns false, changing nothing, when fewer than five bytes are given.
    bool flagsFromBytes(const std::uint8_t* bytes, std::size_t length) {
        if (bytes == nullptr || length < 5)
            return false;
        flagsByte0 = bytes[0];
        cardFlags = bytes[1] & kSendCardOnConnect;
        flagsByte2 = bytes[2];
        flagsByte3 = bytes[3];
        allowPaging = bytes[4] != 0;
        return true;
    }

    // An empty chat capture path becomes the receive folder followed by "chat.txt"; recDir
    // ends with a separator.
    void fillChatCaptureDefault(const std::string& recDir) {
        if (chat.capturePath.empty())
            chat.capturePath = recDir + "chat.txt";
    }

    bool operator==(const GeneralSettings&) const = default;
};

}  // namespace krl
