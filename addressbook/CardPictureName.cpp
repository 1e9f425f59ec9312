#include "addressbook/CardPictureName.h"

#include <algorithm>

#include "base/ReceivedName.h"

namespace krl {

std::string CardPictureName::snapshotPath(const std::string& folder, const Cp1252Text& cardName,
                                          const Exists& exists) {
    const std::string base = folder + "/";
    if (cardName.empty()) {
        for (int n = 0; n < kMaxTries; ++n) {
            std::string path = base + "snapshot" + std::to_string(n) + ".bmp";
            if (!exists(path))
                return path;
        }
        return {};
    }
    // Leaves room for the number and ".bmp" within one file-name component.
    std::string name = plainReceivedName(cardName);
    std::size_t keep = std::min<std::size_t>(name.size(), 240);
    while (keep < name.size() && keep > 0 &&
           (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    name.resize(keep);
    std::string path = base + name + ".bmp";
    for (int n = 1; exists(path); ++n) {
        if (n >= kMaxTries)
            return {};
        path = base + name + std::to_string(n) + ".bmp";
    }
    return path;
}

}  // namespace krl
