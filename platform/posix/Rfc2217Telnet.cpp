#include "platform/posix/Rfc2217Telnet.h"

namespace krl::rfc2217 {

using namespace telnet;

void TelnetDecoder::reset() {
    state_ = State::Data;
    sub_.clear();
}

void TelnetDecoder::decode(const std::uint8_t* in, std::size_t count,
                           std::vector<std::uint8_t>& out, TelnetHandler& handler) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t c = in[i];
        switch (state_) {
            case State::Data:
                if (c == kIac) {
                    state_ = State::Iac;
                } else {
                    out.push_back(c);
                }
                break;
            case State::Iac:
                if (c == kIac) {
                    out.push_back(kIac);
                    state_ = State::Data;
                } else if (c == kWill || c == kWont || c == kDo || c == kDont) {
                    verb_ = c;
                    state_ = State::Verb;
                } else if (c == kSb) {
                    sub_.clear();
                    state_ = State::Sub;
                } else {
                    // NOP, GA, BRK, AYT and the like carry nothing we act on.
                    state_ = State::Data;
                }
                break;
            case State::Verb:
                state_ = State::Data;
                handler.onOption(verb_, c);
                break;
            case State::Sub:
                if (c == kIac) {
                    state_ = State::SubIac;
                } else if (sub_.size() < kMaxSubnegotiation) {
                    sub_.push_back(c);
                }
                break;
            case State::SubIac:
                if (c == kIac) {
                    if (sub_.size() < kMaxSubnegotiation)
                        sub_.push_back(kIac);
                    state_ = State::Sub;
                } else if (c == kSe) {
                    state_ = State::Data;
                    if (!sub_.empty())
                        handler.onSubnegotiation(sub_.data(), sub_.size());
                    sub_.clear();
                } else {
                    // A broken sub-negotiation: drop it and take the byte as a new command.
                    sub_.clear();
                    state_ = State::Iac;
                    --i;
                }
                break;
        }
    }
}

void appendEscaped(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(data[i]);
        if (data[i] == kIac)
            out.push_back(kIac);
    }
}

void appendOption(std::vector<std::uint8_t>& out, std::uint8_t verb, std::uint8_t option) {
    out.insert(out.end(), {kIac, verb, option});
}

void appendComPort(std::vector<std::uint8_t>& out, std::uint8_t code, const std::uint8_t* payload,
                   std::size_t count) {
    out.insert(out.end(), {kIac, kSb, kOptComPort, code});
    appendEscaped(out, payload, count);
    out.insert(out.end(), {kIac, kSe});
}

void appendComPort(std::vector<std::uint8_t>& out, std::uint8_t code, std::uint8_t value) {
    appendComPort(out, code, &value, 1);
}

void appendComPortU32(std::vector<std::uint8_t>& out, std::uint8_t code, std::uint32_t value) {
    const std::uint8_t be[4] = {
        static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    appendComPort(out, code, be, sizeof be);
}

}  // namespace krl::rfc2217
