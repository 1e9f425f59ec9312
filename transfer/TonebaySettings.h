#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

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

    std::array<std::uint8_t, kFlagsBytes> flagsToBytes() const {
        std::array<std::uint8_t, kFlagsBytes> out{};
        out[0] = autoSend;
        out[1] = sendOnAdding;
        out[2] = confirmBeforeConnecting;
        out[3] = flagsByte3;
        out[4] = clearQueueAfterDisconnecting;
        out[5] = longDate;
        out[6] = overwriteExisting;
        out[7] = static_cast<std::uint8_t>(launchMode);
        return out;
    }

    // Takes the option bytes from a stored Flags value; bytes beyond the eighth are ignored.
    // Returns false, changing nothing, when fewer than eight bytes are given. A launch mode
    // this program does not know becomes Ask, so nothing is launched without the user.
    bool flagsFromBytes(const std::uint8_t* bytes, std::size_t length) {
        if (bytes == nullptr || length < 8)
            return false;
        autoSend = bytes[0] != 0;
        sendOnAdding = bytes[1] != 0;
        confirmBeforeConnecting = bytes[2] != 0;
        flagsByte3 = bytes[3];
        clearQueueAfterDisconnecting = bytes[4] != 0;
        longDate = bytes[5] != 0;
        overwriteExisting = bytes[6] != 0;
        launchMode = bytes[7] <= 2 ? static_cast<LaunchMode>(bytes[7]) : LaunchMode::Ask;
        return true;
    }

    bool operator==(const TonebaySettings&) const = default;
};

}  // namespace krl
