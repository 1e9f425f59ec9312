#include "video/VideoPane.h"

#include <algorithm>

#include "video/PieceSplitter.h"
#include "video/SettingsChange.h"

namespace krl {
namespace {

MetaAttribute word(std::uint16_t id, std::uint32_t value) {
    return MetaAttribute{id, 4, value};
}

MetaAttribute block(std::uint16_t id, const void* data, std::size_t length) {
    return MetaAttribute{id, static_cast<std::uint16_t>(length), reinterpret_cast<uintptr_t>(data)};
}

// The 16 standard VGA colours, blue, green, red.
constexpr BrmRgbQuad kVga[16] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
    {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0}, {192, 192, 192, 0},
    {128, 128, 128, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
    {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0}};

int sizeValue(const VideoSettingsRecord& r, VideoSetting s, std::uint32_t max, int fallback) {
    std::uint32_t v = std::min(r.get(s), max);
    return v < 8 ? fallback : static_cast<int>(v);
}

}  // namespace

VideoPane::~VideoPane() {
    close();
}

void VideoPane::open(unsigned mode, const VideoSettingsRecord& record, std::uint64_t nowMs) {
    close();
    mode_ = mode;
    record_ = record;
    record_.clampSize();
    setUpDisplay(sizeValue(record_, VideoSetting::Width, 176, 160),
                 sizeValue(record_, VideoSetting::Height, 144, 120), 24);
    if (receives()) {
        expander_ = VCExpandOpen();
        setExpanderAttributes();
    }
    if (sends())
        compressor_ = VCCompressOpen();  // set up by the first picture, whose format it takes
    openedMs_ = nowMs;
    expanded_ = 0;
}

void VideoPane::close() {
    pictures_.clear();
    received_.clear();
    if (expander_ != nullptr)
        VCExpandClose(expander_);
    if (compressor_ != nullptr)
        VCCompressClose(compressor_);
    expander_ = nullptr;
    compressor_ = nullptr;
    formatWidth_ = formatHeight_ = 0;
    mode_ = 0;
}

void VideoPane::setUpDisplay(int width, int height, int bitCount) {
    display_.reset(width, height, bitCount);
    if (bitCount == 8) {
        display_.colours.resize(256);
        for (std::size_t i = 0; i < 256; ++i)
            display_.colours[i] = kVga[i % 16];
    }
    outputMode_ = bitCount == 8 ? 2 : 1;
}

void VideoPane::setExpanderAttributes() {
    if (expander_ == nullptr)
        return;
    BrmBitmapInfoHeader h = display_.header();
    h.biClrUsed = 0;  // the colour table goes separately
    MetaAttribute format = block(VC_E_FORMAT, &h, sizeof h);
    VCExpandSetAttributes(expander_, 1, &format);
    MetaAttribute mode = word(VC_E_OUTPUT_MODE, outputMode_);
    VCExpandSetAttributes(expander_, 1, &mode);
    if (!display_.colours.empty()) {
        MetaAttribute palette = block(VC_E_PALETTE, display_.colours.data(),
                                      display_.colours.size() * sizeof(BrmRgbQuad));
        VCExpandSetAttributes(expander_, 1, &palette);
    }
}

bool VideoPane::setCompressorAttributes(const Picture& format) {
    BrmBitmapInfoHeader h = format.header();
    MetaAttribute f = block(VC_C_FORMAT, &h, sizeof h);
    if (VCCompressSetAttributes(compressor_, 1, &f) == 0)
        return false;
    const MetaAttribute rest[] = {
        word(VC_C_LUMA_ONLY, record_.get(VideoSetting::LuminanceOnly)),
        word(VC_C_QUALITY, record_.get(VideoSetting::PictureQuality)),
        word(VC_C_REFRESH, record_.get(VideoSetting::RefreshPercentage)),
        word(VC_C_CHANGE, record_.get(VideoSetting::ChangeSensitivity)),
        word(VC_C_WIDTH, 0),
        word(VC_C_HEIGHT, 0),
        word(VC_C_FRAME_BYTES, record_.get(VideoSetting::BytesPerFrame)),
        word(VC_C_MEAN_REMOVED, record_.get(VideoSetting::MeanRemovedChange)),
    };
    for (const MetaAttribute& a : rest)
        VCCompressSetAttributes(compressor_, 1, &a);
    formatWidth_ = format.width;
    formatHeight_ = format.height;
    return true;
}

void VideoPane::applySettings(const VideoSettingsRecord& wanted) {
    VideoSettingsRecord next = wanted;
    next.clampSize();
    SettingsChange change = SettingsChange::between(record_, next, sends());
    if (change.kind != SettingsChange::Kind::Rebuild) {
        if (compressor_ != nullptr) {
            for (const SettingsChange::Value& v : change.values)
                VCCompressQualityChange(compressor_, v.attribute, v.value);
        }
        record_ = next;
        return;
    }
    record_ = next;
    if (!isOpen())
        return;
    setUpDisplay(sizeValue(record_, VideoSetting::Width, 176, 160),
                 sizeValue(record_, VideoSetting::Height, 144, 120), 24);
    expanded_ = 0;
    if (receives()) {
        setExpanderAttributes();
        VCExpandSetNextAllChanged(expander_);
    }
    if (sends())
        formatWidth_ = formatHeight_ = 0;  // the next picture sets the compressor up again
}

void VideoPane::enqueuePicture(const Picture& picture) {
    if (!sends() || picture.empty() || picture.bitCount != 24)
        return;
    if (pictures_.size() >= kMaxQueued)
        pictures_.pop_front();
    pictures_.push_back(picture);
}

std::vector<std::uint8_t> VideoPane::takeCompressed(bool keyFrame) {
    if (pictures_.empty() || compressor_ == nullptr)
        return {};
    Picture p = std::move(pictures_.front());
    pictures_.pop_front();
    if ((p.width != formatWidth_ || p.height != formatHeight_) && !setCompressorAttributes(p))
        return {};
    std::vector<std::uint8_t> frame = std::move(p.bits);
    // Compressed in place: the compressor reads the whole picture before it writes a piece.
    auto capacity = static_cast<std::uint32_t>(frame.size());
    std::uint32_t n = VCCompressBuffer(compressor_, keyFrame ? 1 : 0, capacity, frame.data(),
                                       frame.data(), capacity);
    frame.resize(std::min<std::size_t>(n, frame.size()));
    return frame;
}

void VideoPane::enqueueFrame(std::vector<std::uint8_t> frame) {
    if (!receives() || frame.empty())
        return;
    if (received_.size() >= kMaxQueued)
        received_.pop_front();
    received_.push_back(std::move(frame));
}

bool VideoPane::expandNext() {
    if (!receives() || received_.empty() || expander_ == nullptr)
        return false;
    std::vector<std::uint8_t> frame = std::move(received_.front());
    received_.pop_front();
    for (std::span<const std::uint8_t> piece : PieceSplitter::split(frame)) {
        std::uint32_t result = VCExpandBuffer(expander_, static_cast<std::uint32_t>(piece.size()),
                                              piece.data(), display_.bits.data());
        if (result == VC_FRAME_DRAWN_NEW_SIZE || result == VC_NO_PICTURE_NEW_SIZE) {
            // The peer's picture decides the display size; it is drawn whole from now on.
            int w =
                static_cast<int>(std::min<std::uint32_t>(VCExpandGetAttribute(expander_, 3), 176));
            int h =
                static_cast<int>(std::min<std::uint32_t>(VCExpandGetAttribute(expander_, 4), 144));
            if (w >= 8 && h >= 8 && (w != display_.width || h != display_.height)) {
                setUpDisplay(w, h, display_.bitCount);
                record_.set(VideoSetting::Width, static_cast<std::uint32_t>(w));
                record_.set(VideoSetting::Height, static_cast<std::uint32_t>(h));
                setExpanderAttributes();
                VCExpandSetNextAllChanged(expander_);
            }
        }
    }
    ++expanded_;
    afterExpand();
    return true;
}

void VideoPane::afterExpand() {
    if (record_.get(VideoSetting::PaletteDisplay) == 0)
        return;
    if (expanded_ == kFirstPaletteFrame || expanded_ % kPalettePeriod == 0)
        refreshPalette();
}

void VideoPane::refreshPalette() {
    if (expander_ == nullptr)
        return;
    if (record_.get(VideoSetting::PaletteDisplay) != 0 && expanded_ >= kFirstPaletteFrame) {
        setUpDisplay(display_.width, display_.height, 8);
        // The first ten entries stay the standard colours; the picture's own follow.
        VCExpandCalculatePalette(expander_, 236, display_.colours.data() + 10);
        setExpanderAttributes();
    }
    VCExpandSetNextAllChanged(expander_);
}

}  // namespace krl
