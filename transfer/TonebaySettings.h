#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/ByteRecord.h"

namespace krl {

// What happens to a file once it has been received (stored number in brackets).
enum class LaunchMode : std::uint8_t { Launch = 0, DoNotLaunch = 1, Ask = 2 };

// The Tonebay settings block: file transfer folders and options. Member initialisers are the
// defaults that apply when the key is missing.
struct TonebaySettings {
    static constexpr std::uint32_t kDefaultTimeSlice = 100;
    static constexpr std::uint32_t kTimeSliceWhenValueMissing = 200;
    static constexpr std::size_t kFlagsBytes = 100;

    // Home folder of the file transfer side: base of the queue and history files, the
    // clipboard packages and the animation file.
    std::string homeDir;
    // Folder incoming files are placed in; always ends with '/' after loading.
    std::string recDir;
    std::uint32_t timeSlice = kDefaultTimeSlice;  // never 0 after loading
    // File-transfer command time-out in milliseconds, handed to the connection.
    std::uint32_t commandTimeOut = 60000;

    // The option bytes of the Flags value, in byte order.
    bool autoSend = true;
    bool sendOnAdding = true;
    bool confirmBeforeConnecting = false;
    std::uint8_t flagsByte3 = 1;  // carried and stored back
    bool clearQueueAfterDisconnecting = false;
    bool longDate = false;
    bool overwriteExisting = true;
    LaunchMode launchMode = LaunchMode::Ask;

    // The Flags value: the eight option bytes, the rest of its kFlagsBytes carrying nothing.
    static const byte_record::Layout<TonebaySettings> kFlagsLayout;

    bool operator==(const TonebaySettings&) const = default;
};

inline constexpr byte_record::Layout<TonebaySettings> TonebaySettings::kFlagsLayout{
    kFlagsBytes,
    {
        byte_record::flag<&TonebaySettings::autoSend>(),
        byte_record::flag<&TonebaySettings::sendOnAdding>(),
        byte_record::flag<&TonebaySettings::confirmBeforeConnecting>(),
        byte_record::byte<&TonebaySettings::flagsByte3>(),
        byte_record::flag<&TonebaySettings::clearQueueAfterDisconnecting>(),
        byte_record::flag<&TonebaySettings::longDate>(),
        byte_record::flag<&TonebaySettings::overwriteExisting>(),
        // A launch mode this program does not know becomes Ask: nothing is launched unasked.
        {1,
         [](TonebaySettings& t, const std::uint8_t* at) {
             t.launchMode = at[0] <= 2 ? static_cast<LaunchMode>(at[0]) : LaunchMode::Ask;
         },
         [](const TonebaySettings& t, std::uint8_t* at) {
             at[0] = static_cast<std::uint8_t>(t.launchMode);
         }},
    }};

}  // namespace krl
