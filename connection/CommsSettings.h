#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "serial/SerialDevice.h"

namespace krl {

// The Comms settings block: how the connection reaches the other side. Loaded and stored by the
// settings store (shell/SettingsStore) under the Comms key; read by the connection manager, the
// connect dialog and the modem settings dialogs. Member initialisers are the defaults that
// apply when the key is missing.
struct CommsSettings {
    // Default pump period in milliseconds when the key is missing; a key without the value
    // gives kTimeSliceWhenValueMissing.
    static constexpr std::uint32_t kDefaultTimeSlice = 100;
    static constexpr std::uint32_t kTimeSliceWhenValueMissing = 200;
    // Also what a Comms key without a BaudeRate value gives.
    static constexpr std::uint32_t kDefaultBaudRate = 57600;
    // The ranges the Modem dialog's controls take; stored values outside are clamped on load.
    static constexpr std::uint32_t kMinRings = 1;
    static constexpr std::uint32_t kMaxRings = 255;
    static constexpr std::uint32_t kMaxFileInActive = 9999;
    // The stored dialled-numbers list: ten slots of 32 bytes, each up to 31 bytes and a zero.
    static constexpr std::size_t kNumbersDialedSlots = 10;
    static constexpr std::size_t kNumberSlotBytes = 32;

    // Home folder of the connection side; defaults to the General home folder.
    std::string homeDir;
    // Display name of the modem.
    std::string modemName;
    // Full path of the modem description file (*.mdm); its Type decides modem, DSVD or cable.
    std::string modemFile;
    // Serial port: "COMn", a device path, or "rfc2217://host:port".
    std::string portName;
    // Digits dialled first to reach an outside line.
    std::string outsideLinePrefix;

    // Pump period in milliseconds. Never 0 after loading: it divides the script time-outs.
    std::uint32_t timeSlice = kDefaultTimeSlice;
    // Command time-out in milliseconds.
    std::uint32_t commandTimeOut = 60000;
    // Minutes without data after which a call is dropped; 0 means never.
    std::uint32_t fileInActive = 10;

    std::uint32_t baudRate = kDefaultBaudRate;
    StopBits stopBits = StopBits::One;
    Parity parity = Parity::None;
    std::uint8_t byteSize = 8;

    // Rings before answering.
    std::uint32_t ringsCount = 2;
    bool promptBeforeAnswer = false;
    // The listening setting: listening restarts by itself after every call while it is set.
    bool alwaysListen = true;
    // Modem speaker off while listening.
    bool speakerOff = false;
    // Play a ring sound when called.
    bool playRings = true;
    // Between two copies of the program: file blocks in a window and resume of a file after a
    // dropped call (docs/extension.md). Off: only the protocol every peer speaks.
    bool linkExtension = true;

    // Position of the connect dialog, screen coordinates.
    std::int32_t xPos = 100;
    std::int32_t yPos = 50;

    // Recently dialled numbers, oldest first. Stored as at most ten numbers of at most 31 bytes.
    std::vector<std::string> numbersDialed;

    // How long a call may stay silent before it is dropped, or nothing when idle calls are
    // never dropped (fileInActive 0).
    std::optional<std::chrono::milliseconds> idleDisconnectAfter() const {
        if (fileInActive == 0)
            return std::nullopt;
        return std::chrono::minutes(fileInActive);
    }

    LineSettings lineSettings() const {
        LineSettings line;
        line.baudRate = baudRate;
        line.dataBits = byteSize;
        line.parity = parity;
        line.stopBits = stopBits;
        return line;
    }

    bool operator==(const CommsSettings&) const = default;
};

}  // namespace krl
