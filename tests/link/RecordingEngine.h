#pragma once

#include <vector>

#include "link/FrameCheck.h"
#include "link/LinkEngine.h"

namespace krl::test {

// An engine that records every frame poll hands it (file blocks unstuffed) with the result of
// the frame's check on arrival, and counts the damaged ones as the protocol layer does.
class RecordingEngine : public LinkEngine {
public:
    using LinkEngine::LinkEngine;
    using Bytes = std::vector<std::uint8_t>;

    struct Delivery {
        FrameType type;
        Bytes data;
        bool intact;
    };
    std::vector<Delivery> deliveries;

protected:
    void onCommandFrame(const FrameRecord& f) override {
        record(f.type, payloadOf(f), true);
        LinkEngine::onCommandFrame(f);
    }
    void onChatFrame(const FrameRecord& f) override { record(f.type, payloadOf(f), true); }
    void onFileBlockFrame(const FrameRecord& f) override {
        Bytes data(f.length);
        FileBlockContent c = unpackFileBlock(f, data.data());
        data.resize(c.length);
        record(f.type, std::move(data), c.intact);
    }
    void onVideoFrame(const FrameRecord& f) override {
        record(f.type, payloadOf(f), videoFrameIntact(f));
    }

private:
    static Bytes payloadOf(const FrameRecord& f) { return Bytes(f.payload, f.payload + f.length); }
    void record(FrameType type, Bytes data, bool intact) {
        if (!intact)
            countDamagedFrame();
        deliveries.push_back({type, std::move(data), intact});
    }
};

}  // namespace krl::test
