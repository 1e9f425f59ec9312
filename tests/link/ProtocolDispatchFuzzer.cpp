// Feeds a peer's frames to the protocol: commands, file blocks, video and chat in any order.
// The receive folder is a fresh temporary folder; nothing may appear outside it.
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "ProtocolFakes.h"
#include "fakes/TempFolder.h"
#include "link/VideoFrameQueue.h"

namespace {

namespace fs = std::filesystem;

struct Harness {
    krl::test::TempFolder root;
    fs::path in = root.sub("in");
    fs::path cards = root.sub("cards");
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Harness h;
    krl::test::ManualClock clock;
    krl::test::ProtocolSide side(clock);
    krl::VideoFrameQueue queue;
    side.protocol.resetCall();
    side.protocol.setFrameQueue(&queue);
    side.protocol.setCardPictureFolder(h.cards.string());
    side.protocol.receiver().control(krl::ReceiveControl::Arm, h.in.string());
    side.protocol.video().setIncomingState(krl::IncomingVideoState::Receiving);

    // Frames: one type byte, a 16-bit length, that many bytes (cut at the end of the input).
    // The kept corpus starts from a real call's frames.
    std::size_t pos = 0;
    while (pos + 3 <= size) {
        std::uint8_t type = data[pos] % 5;
        std::size_t length = data[pos + 1] | (std::size_t(data[pos + 2]) << 8);
        pos += 3;
        length = std::min(length, size - pos);
        krl::test::SentFrame f;
        f.type = static_cast<krl::FrameType>(type + 2);
        // Frames with a check field carry it in their first 16 bytes, as on the wire.
        std::size_t checkBytes =
            krl::frame::hasCheckField(f.type) ? std::min<std::size_t>(16, length) : 0;
        std::copy(data + pos, data + pos + checkBytes, f.check.begin());
        f.payload.assign(data + pos + checkBytes, data + pos + length);
        side.deliver(f);
        pos += length;
        clock.advance(700);
        side.protocol.runSteps();
        if (side.protocol.disconnectReceived())
            break;
    }
    side.protocol.resetCall();
    for (auto& e : fs::directory_iterator(h.root.path())) {
        auto name = e.path().filename().string();
        if (name != "in" && name != "cards")
            std::abort();
    }
    for (const char* sub : {"in", "cards"}) {
        for (auto& e : fs::directory_iterator(h.root.path() / sub)) {
            if (e.is_directory())
                std::abort();
            fs::remove(e.path());
        }
    }
    return 0;
}
