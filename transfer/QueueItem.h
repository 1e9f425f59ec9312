#pragma once

#include <string>
#include <string_view>

#include "link/TransferStates.h"

namespace krl {

// Type texts the program gives its own queue items.
inline constexpr std::string_view kClipboardPackageType = "Kestrelcall Clipboard File";
inline constexpr std::string_view kCardPictureType = "Business Card";

// One file waiting in the send queue. Text is UTF-8.
struct QueueItem {
    std::string path;
    std::string typeText;  // shown in the queue's Type column
    // kOrdinaryFile, a clipboard format number (> 0) for a clipboard package, or kCardPicture.
    int kind = kOrdinaryFile;

    bool operator==(const QueueItem&) const = default;
};

}  // namespace krl
