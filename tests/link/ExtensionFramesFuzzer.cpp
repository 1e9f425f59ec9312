// The frames of the extension between two copies, from a hostile peer: extension commands and
// windowed blocks fed to a receiver that has answered an offer with TAKE. The first byte of
// each piece picks what it is; a receiver never writes past the announced size, never outside
// its folder, and a command this side builds reads back as it was.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ProtocolFakes.h"
#include "fakes/TempFolder.h"
#include "link/ExtensionFrames.h"
#include "link/HeldRanges.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

constexpr std::uint64_t kOfferedSize = 20000;

struct Receiving {
    krl::test::TempFolder tmp;
    krl::test::ManualClock clock;
    krl::test::ProtocolSide side{clock};

    Receiving() {
        krl::ReceiveOptions options;
        options.overwriteExisting = true;
        side.protocol.setReceiveOptions(options);
        arm();
        require(side.protocol.extensionActive());
    }
    // A new call in which the peer announces the extension and offers the file.
    void arm() {
        side.protocol.resetCall();
        side.protocol.receiver().control(krl::ReceiveControl::Arm, tmp.sub("in").string());
        side.protocol.onCommandFrame("<HELLO>");
        side.protocol.onCommandFrame(krl::extension::commandPayload({krl::extension::Verb::Here}));
        side.protocol.onCommandFrame("<Send NF><Name><f.bin><Size><   20000><Date><1,2>");
    }
};

void checkCommand(std::string_view payload) {
    auto command = krl::extension::parseCommand(payload);
    if (!command)
        return;
    require(command->first <= krl::extension::kMaxField &&
            command->second <= krl::extension::kMaxField);
    require(krl::extension::commandPayload(*command) == payload);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Receiving r;
    krl::FileReceiver& receiver = r.side.protocol.receiver();
    if (receiver.state() != krl::ReceiveState::Receiving)
        r.arm();
    // Pieces: a selector byte, a 16-bit length, then that many bytes.
    std::size_t at = 0;
    while (at + 3 <= size) {
        const std::uint8_t kind = data[at];
        std::size_t length = data[at + 1] | static_cast<std::size_t>(data[at + 2]) << 8;
        at += 3;
        length = std::min(length, size - at);
        const std::uint8_t* piece = data + at;
        at += length;
        std::string_view text(reinterpret_cast<const char*>(piece), length);
        switch (kind % 4) {
            case 0:  // a command as it arrives
                checkCommand(text);
                r.side.protocol.onCommandFrame(text);
                break;
            case 1:  // a command with the extension's opening
                checkCommand("<KXT1 " + std::string(text));
                r.side.protocol.onCommandFrame("<KXT1 " + std::string(text));
                break;
            case 2: {  // a windowed block: a header of ours over the peer's data, or its own
                if (length < 9)
                    break;
                std::uint64_t offset = 0;
                for (int i = 0; i < 8; ++i)
                    offset |= static_cast<std::uint64_t>(piece[i]) << (8 * i);
                offset %= kOfferedSize + 4000;
                const std::uint8_t* body = piece + 9;
                std::size_t bodyLength = std::min<std::size_t>(length - 9, 3070);
                std::vector<std::uint8_t> plain(body, body + bodyLength);
                plain.erase(std::remove(plain.begin(), plain.end(), 0x01), plain.end());
                krl::CheckField field = krl::extension::blockCheckField(
                    {offset, static_cast<std::uint8_t>(piece[8] & 1)}, plain.data(), plain.size());
                r.side.protocol.onFileBlockFrame(field, plain.data(), plain.size());
                break;
            }
            default: {  // a block frame with whatever field the peer made
                if (length < 16)
                    break;
                krl::CheckField field{};
                std::copy(piece, piece + 16, field.begin());
                r.side.protocol.onFileBlockFrame(field, piece + 16, length - 16);
                break;
            }
        }
        require(receiver.status().bytesDone <= kOfferedSize);
    }
    // Nothing but the file and the partial folder in the receive folder.
    for (const auto& name : krl::test::filesBelow(r.tmp.path()))
        require(name == "in/f.bin" || name.rfind("in/.kestrelcall-partial/", 0) == 0);
    r.side.port.frames.clear();
    r.side.port.history.clear();
    return 0;
}
