#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "brmh263.h"
#include "link/VideoSettingsRecord.h"
#include "video/Picture.h"

namespace krl {

// One side of the codec bridge: a compressor fed with captured pictures (sending), or an
// expander that draws received frames into the display picture (receiving).
class VideoPane {
public:
    enum Mode : unsigned { kReceive = 1, kSendCapture = 2, kSendFile = 4 };
    // Expanded frames after which the palette display switches to 8 bits, and its period.
    static constexpr std::uint64_t kFirstPaletteFrame = 10;
    static constexpr std::uint64_t kPalettePeriod = 1000;
    static constexpr std::size_t kMaxQueued = 8;

    VideoPane() = default;
    VideoPane(const VideoPane&) = delete;
    VideoPane& operator=(const VideoPane&) = delete;
    ~VideoPane();

    void open(unsigned mode, const VideoSettingsRecord& record, std::uint64_t nowMs);
    void close();
    bool isOpen() const { return mode_ != 0; }
    bool sends() const { return (mode_ & (kSendCapture | kSendFile)) != 0; }
    bool receives() const { return (mode_ & kReceive) != 0; }
    void applySettings(const VideoSettingsRecord& record);
    const VideoSettingsRecord& record() const { return record_; }

    // Sending: a captured picture is queued, then taken compressed in place.
    void enqueuePicture(const Picture& picture);
    // The oldest queued picture compressed; empty when nothing was queued or nothing changed.
    std::vector<std::uint8_t> takeCompressed(bool keyFrame);

    // Receiving: frames of back-to-back pieces.
    void enqueueFrame(std::vector<std::uint8_t> frame);
    bool expandNext();
    // Recomputes the colour table from the current picture (palette display) and redraws whole.
    void refreshPalette();
    const Picture& display() const { return display_; }
    std::uint64_t framesExpanded() const { return expanded_; }
    std::size_t queued() const { return received_.size() + pictures_.size(); }

private:
    void setUpDisplay(int width, int height, int bitCount);
    void setExpanderAttributes();
    bool setCompressorAttributes(const Picture& format);
    void afterExpand();

    unsigned mode_ = 0;
    VideoSettingsRecord record_;
    VCCompressInstance* compressor_ = nullptr;
    VCExpandInstance* expander_ = nullptr;
    int formatWidth_ = 0;  // picture size the compressor is set up for
    int formatHeight_ = 0;
    Picture display_;
    std::uint32_t outputMode_ = 1;
    std::deque<Picture> pictures_;
    std::deque<std::vector<std::uint8_t>> received_;
    std::uint64_t expanded_ = 0;
    std::uint64_t openedMs_ = 0;
};

}  // namespace krl
