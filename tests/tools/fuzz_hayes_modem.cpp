// Feeds arbitrary computer input, line events and clock steps to the two modems and their
// exchange. Nothing may crash, hang or grow without bound.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fakes/InstantLine.h"
#include "tools/linesim/ModemExchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace krl::linesim;
    ModemExchange::Config config;
    config.timing.dialMs = 50;
    config.timing.ringIntervalMs = 200;
    config.timing.ringOnMs = 50;
    config.timing.handshakeMs = 50;
    ModemExchange exchange(config, std::make_unique<krl::test::InstantLine>(),
                           std::make_unique<krl::test::InstantLine>());
    std::uint64_t now = 1000;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t op = data[i++];
        const int side = op & 1;
        switch ((op >> 1) % 6) {
            case 0:
            case 1: {  // computer bytes, up to 16
                const std::size_t n = std::min<std::size_t>((op >> 4) + 1, size - i);
                exchange.modem(side).fromDte(data + i, n, now);
                i += n;
                break;
            }
            case 2:
                now += (op >> 4) * 37u;
                break;
            case 3:
                exchange.modem(side).setDtr((op & 0x10) != 0, now);
                break;
            case 4: {
                static const char* const kCommands[] = {"drop A 300", "drop B",      "off A",
                                                        "on A",       "busy B",      "free B",
                                                        "hangup A",   "nodialtone A"};
                exchange.control(kCommands[(op >> 4) % 8], now);
                break;
            }
            default:
                break;
        }
        exchange.tick(now);
        exchange.modem(0).takeDteOutput();
        exchange.modem(1).takeDteOutput();
    }
    return 0;
}
