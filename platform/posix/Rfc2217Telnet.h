#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Telnet framing and the COM-PORT-OPTION (RFC 2217) vocabulary, shared by the remote serial
// port client and the modem emulator's port server.
namespace krl::rfc2217 {

namespace telnet {
inline constexpr std::uint8_t kIac = 255;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kSb = 250;
inline constexpr std::uint8_t kSe = 240;

inline constexpr std::uint8_t kOptBinary = 0;
inline constexpr std::uint8_t kOptSuppressGoAhead = 3;
inline constexpr std::uint8_t kOptComPort = 44;
}  // namespace telnet

// Sub-negotiation codes of COM-PORT-OPTION as the client sends them; the server answers with
// the same code plus kServerOffset.
namespace cpo {
inline constexpr std::uint8_t kSetBaudRate = 1;
inline constexpr std::uint8_t kSetDataSize = 2;
inline constexpr std::uint8_t kSetParity = 3;
inline constexpr std::uint8_t kSetStopSize = 4;
inline constexpr std::uint8_t kSetControl = 5;
inline constexpr std::uint8_t kNotifyLineState = 6;
inline constexpr std::uint8_t kNotifyModemState = 7;
inline constexpr std::uint8_t kFlowControlSuspend = 8;
inline constexpr std::uint8_t kFlowControlResume = 9;
inline constexpr std::uint8_t kSetLineStateMask = 10;
inline constexpr std::uint8_t kSetModemStateMask = 11;
inline constexpr std::uint8_t kPurgeData = 12;
inline constexpr std::uint8_t kServerOffset = 100;

// SET-CONTROL values.
inline constexpr std::uint8_t kControlNoFlow = 1;
inline constexpr std::uint8_t kControlXonXoff = 2;
inline constexpr std::uint8_t kControlHardwareFlow = 3;
inline constexpr std::uint8_t kControlDtrOn = 8;
inline constexpr std::uint8_t kControlDtrOff = 9;
inline constexpr std::uint8_t kControlRtsOn = 11;
inline constexpr std::uint8_t kControlRtsOff = 12;

// PURGE-DATA values.
inline constexpr std::uint8_t kPurgeReceive = 1;
inline constexpr std::uint8_t kPurgeTransmit = 2;
inline constexpr std::uint8_t kPurgeBoth = 3;

// SET-PARITY values.
inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kParityOdd = 2;
inline constexpr std::uint8_t kParityEven = 3;
inline constexpr std::uint8_t kParityMark = 4;
inline constexpr std::uint8_t kParitySpace = 5;

// SET-STOPSIZE values.
inline constexpr std::uint8_t kStopOne = 1;
inline constexpr std::uint8_t kStopTwo = 2;
inline constexpr std::uint8_t kStopOneAndHalf = 3;

// Modem-state bits: the upper nibble carries the same values as modem_line (CTS 0x10, DSR
// 0x20, RI 0x40, DCD 0x80); the lower nibble holds the matching change flags.
inline constexpr std::uint8_t kModemStateLines = 0xF0;
}  // namespace cpo

// Receives telnet commands found in the byte stream.
class TelnetHandler {
public:
    virtual ~TelnetHandler() = default;
    // verb is kWill, kWont, kDo or kDont.
    virtual void onOption(std::uint8_t verb, std::uint8_t option) = 0;
    // The bytes between IAC SB and IAC SE, unescaped (first byte is the option).
    virtual void onSubnegotiation(const std::uint8_t* data, std::size_t count) = 0;
};

// Splits an incoming telnet stream into data bytes and commands. Keeps its state between
// calls, so a command may straddle two reads.
class TelnetDecoder {
public:
    // Appends the data bytes of `in` to `out` and reports commands to `handler` in stream order.
    void decode(const std::uint8_t* in, std::size_t count, std::vector<std::uint8_t>& out,
                TelnetHandler& handler);
    void reset();

    // A sub-negotiation longer than this is cut off (the rest is dropped); no legitimate
    // COM-PORT-OPTION message comes near it.
    static constexpr std::size_t kMaxSubnegotiation = 64;

private:
    enum class State : std::uint8_t { Data, Iac, Verb, Sub, SubIac };
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::vector<std::uint8_t> sub_;
};

// Appends data with every 0xFF doubled.
void appendEscaped(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t count);
// Appends IAC verb option.
void appendOption(std::vector<std::uint8_t>& out, std::uint8_t verb, std::uint8_t option);
// Appends IAC SB COM-PORT-OPTION code payload IAC SE, escaping the payload.
void appendComPort(std::vector<std::uint8_t>& out, std::uint8_t code, const std::uint8_t* payload,
                   std::size_t count);
void appendComPort(std::vector<std::uint8_t>& out, std::uint8_t code, std::uint8_t value);
void appendComPortU32(std::vector<std::uint8_t>& out, std::uint8_t code, std::uint32_t value);

}  // namespace krl::rfc2217
