// Received video frames as the peer may send them: split into pieces and expanded into the
// remote picture, which must stay within its bounds whatever the bytes say.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "video/PieceSplitter.h"
#include "video/VideoPane.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static krl::VideoPane* pane = [] {
        auto* p = new krl::VideoPane;
        krl::VideoSettingsRecord r;
        r.values = {2, 40, 40, 160, 120, 1, 1, 1, 0, 0, 0, 0};
        p->open(krl::VideoPane::kReceive, r, 0);
        return p;
    }();
    std::vector<std::uint8_t> frame(data, data + size);
    std::size_t total = 0;
    for (auto piece : krl::PieceSplitter::split(frame))
        total += piece.size();
    if (total > size)
        __builtin_trap();
    pane->enqueueFrame(std::move(frame));
    pane->expandNext();
    if (pane->display().bits.size() != pane->display().imageBytes())
        __builtin_trap();
    return 0;
}
