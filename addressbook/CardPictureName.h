#pragma once

#include <functional>
#include <string>

#include "base/Cp1252.h"

namespace krl {

// Where a snapshot for a card is written in the business-card folder (UTF-8 paths; folder
// without a trailing '/'): named after the card's name, reduced to one plain file-name component
// (the name may have come from a peer's card), with 1, 2, ... put before ".bmp" until the name is
// free; a card without a name gives the first free "snapshotN.bmp", N from 0. Nothing when no
// free name is found within kMaxTries.
class CardPictureName {
public:
    static constexpr int kMaxTries = 10000;
    using Exists = std::function<bool(const std::string& path)>;

    static std::string snapshotPath(const std::string& folder, const Cp1252Text& cardName,
                                    const Exists& exists);
};

}  // namespace krl
