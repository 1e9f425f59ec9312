// Business cards from the peer: every field stays within its size, and a card this side
// builds reads back as it was sent.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "link/BusinessCard.h"
#include "link/CommandTags.h"
#include "resources/StringTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const krl::CommandTags tags(krl::StringTable::builtIn());
    std::string payload = "<My Card>" + std::string(reinterpret_cast<const char*>(data), size);
    auto card = krl::parseCardPayload(payload, tags);
    if (!card)
        std::abort();
    if (card->name.size() >= krl::BusinessCard::kNameSize ||
        card->phone.size() >= krl::BusinessCard::kPhoneSize ||
        card->details.size() >= krl::BusinessCard::kDetailsSize ||
        card->picture.size() >= krl::BusinessCard::kPictureSize)
        std::abort();
    // Round trip: fields without NULs survive building and parsing.
    krl::BusinessCard clean = *card;
    for (std::string* f : {&clean.name, &clean.phone, &clean.details, &clean.picture}) {
        f->erase(std::remove(f->begin(), f->end(), '\0'), f->end());
    }
    clean.picture.erase(0, clean.picture.find_last_of("/\\") + 1);
    auto again = krl::parseCardPayload(krl::buildCardPayload(clean, tags), tags);
    if (!again || !(*again == clean))
        std::abort();
    return 0;
}
