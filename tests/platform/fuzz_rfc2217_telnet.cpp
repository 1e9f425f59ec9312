// Arbitrary bytes from a port server through the telnet decoder, in arbitrary pieces.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/posix/Rfc2217Telnet.h"

namespace {

class Sink : public krl::rfc2217::TelnetHandler {
public:
    void onOption(std::uint8_t, std::uint8_t) override { ++options; }
    void onSubnegotiation(const std::uint8_t* data, std::size_t count) override {
        if (count == 0 || count > krl::rfc2217::TelnetDecoder::kMaxSubnegotiation)
            __builtin_trap();
        checksum += data[0] + data[count - 1];
    }
    unsigned options = 0;
    unsigned checksum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    krl::rfc2217::TelnetDecoder decoder;
    Sink sink;
    std::vector<std::uint8_t> out;
    const std::size_t piece = data[0] % 7 + 1;
    for (std::size_t i = 1; i < size; i += piece) {
        decoder.decode(data + i, std::min(piece, size - i), out, sink);
    }
    // Data never grows: every output byte came from at least one input byte.
    if (out.size() > size)
        __builtin_trap();
    // Escaping what came out and decoding it again gives it back unchanged.
    std::vector<std::uint8_t> escaped, again;
    krl::rfc2217::appendEscaped(escaped, out.data(), out.size());
    krl::rfc2217::TelnetDecoder fresh;
    fresh.decode(escaped.data(), escaped.size(), again, sink);
    if (again != out)
        __builtin_trap();
    return 0;
}
