#include "video/SettingsChange.h"

#include <array>
#include <utility>

#include "brmh263.h"

namespace krl {

SettingsChange SettingsChange::between(const VideoSettingsRecord& current,
                                       const VideoSettingsRecord& wanted, bool sending) {
    auto same = [&](VideoSetting s) { return current.get(s) == wanted.get(s); };
    bool samePicture = same(VideoSetting::Width) && same(VideoSetting::Height) &&
                       same(VideoSetting::LuminanceOnly) && same(VideoSetting::PaletteDisplay);
    if (!samePicture)
        return {Kind::Rebuild, {}};
    // A receiving pane's picture does not depend on the compressor's values: rebuilding it would
    // throw away the expander's picture for nothing.
    if (!sending)
        return {Kind::Nothing, {}};
    // Every changed value goes to the running compressor: passing only the first would drop
    // the others for good, since the pane keeps the whole new record.
    SettingsChange change;
    static constexpr std::array<std::pair<VideoSetting, std::uint32_t>, 5> kOrder = {{
        {VideoSetting::PictureQuality, VC_C_QUALITY},
        {VideoSetting::ChangeSensitivity, VC_C_CHANGE},
        {VideoSetting::RefreshPercentage, VC_C_REFRESH},
        {VideoSetting::BytesPerFrame, VC_C_FRAME_BYTES},
        {VideoSetting::MeanRemovedChange, VC_C_MEAN_REMOVED},
    }};
    for (const auto& [setting, id] : kOrder) {
        if (!same(setting))
            change.values.push_back({id, wanted.get(setting)});
    }
    change.kind = change.values.empty() ? Kind::Nothing : Kind::CompressorValues;
    return change;
}

}  // namespace krl
