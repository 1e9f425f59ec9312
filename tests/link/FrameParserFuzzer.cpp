// Feeds arbitrary bytes to the frame parser in arbitrary splits, with silent pauses between
// some of them, and checks each delivered frame against the bounds a peer can send.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/FrameCheck.h"
#include "link/FrameParser.h"

using namespace krl;

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

void parseAll(FrameParser& parser, std::uint64_t now, std::vector<std::uint8_t>& scratch) {
    std::size_t pos = 0;
    while (parser.nextFrame(pos, now)) {
        const FrameRecord& f = parser.frame();
        require(f.length <= frame::maxReceivedPayload(f.type));
        require(f.payload[f.length] == 0);
        require(pos <= frame::kBufferSize);
        if (f.type == FrameType::FileBlock) {
            FileBlockContent c = unpackFileBlock(f, scratch.data());
            require(c.length <= f.length);
        } else if (f.type == FrameType::Video || f.type == FrameType::VideoKey) {
            (void)videoFrameIntact(f);
        }
    }
    require(parser.held() < frame::kBufferSize);
    require(parser.data()[parser.held()] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FrameParser* parser = new FrameParser();  // allocated once; cleared per input
    static std::vector<std::uint8_t> scratch(frame::kBufferSize);
    parser->clear();
    std::uint64_t now = 0;
    std::size_t i = 0;
    while (i < size) {
        // Each chunk: one control byte, then the chunk itself. The control byte's low 7 bits
        // pick the length (scaled so that long frames can form), the top bit a silent pause.
        const std::uint8_t control = data[i++];
        std::size_t length = (control & 0x3F) + 1;
        if (control & 0x40)
            length *= 97;
        if (length > size - i)
            length = size - i;
        parser->receive({data + i, length}, now);
        i += length;
        parseAll(*parser, now, scratch);
        if (control & 0x80) {
            now += FrameParser::kStaleGiveUpMs / 3;
            parser->commitRead(0, now);
            parseAll(*parser, now, scratch);
        }
        now += 1;
    }
    return 0;
}
