#pragma once

#include <cstdint>
#include <vector>

#include "link/VideoSettingsRecord.h"

namespace krl {

// How a new settings record reaches a pane that is already open. When the picture (size,
// luminance-only, palette display) stays as it is and the pane sends, the changed values are
// passed to the running compressor (quality, change sensitivity, refresh, bytes per frame,
// mean-removed, in that order); a receiving pane just keeps them. A new picture size,
// luminance-only or palette display rebuilds the pane with the whole record.
struct SettingsChange {
    enum class Kind { Nothing, CompressorValues, Rebuild };
    struct Value {
        std::uint32_t attribute = 0;  // compressor attribute id
        std::uint32_t value = 0;
        bool operator==(const Value&) const = default;
    };
    Kind kind = Kind::Nothing;
    std::vector<Value> values;

    static SettingsChange between(const VideoSettingsRecord& current,
                                  const VideoSettingsRecord& wanted, bool sending);
};

}  // namespace krl
