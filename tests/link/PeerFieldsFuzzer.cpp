// Fields the peer fills in: file offers (and the plain name made of the offered one) and
// business cards. The first byte picks which; the rest is the payload after the tag.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/ReceivedName.h"
#include "link/BusinessCard.h"
#include "link/CommandTags.h"
#include "link/FileOffer.h"
#include "resources/StringTable.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

void checkOffer(const std::string& offer, const krl::CommandTags& tags) {
    auto parsed = krl::parseFileOffer(offer, tags);
    if (!parsed)
        return;
    require(parsed->name.size() <= 254);
    require(!parsed->size || (*parsed->size > 0 && *parsed->size <= krl::kMaxOfferedSize));
    std::string name = krl::plainReceivedName(parsed->name);
    require(!name.empty() && name.size() <= 255 && name != "." && name != "..");
    for (char c : name)
        require(c != '/' && c != '\\' && static_cast<unsigned char>(c) >= 0x20);
    krl::clipboardFormatOfName(name);
}

// Every field stays within its size, and a card this side builds reads back as it was sent.
void checkCard(const std::string& payload, const krl::CommandTags& tags) {
    auto card = krl::parseCardPayload(payload, tags);
    require(card.has_value());
    require(card->name.size() < krl::BusinessCard::kNameSize &&
            card->phone.size() < krl::BusinessCard::kPhoneSize &&
            card->details.size() < krl::BusinessCard::kDetailsSize &&
            card->picture.size() < krl::BusinessCard::kPictureSize);
    krl::BusinessCard clean = *card;
    auto withoutNul = [](std::string text) {
        text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
        return text;
    };
    clean.name = krl::Cp1252Text(withoutNul(clean.name.bytes()));
    clean.phone = krl::Cp1252Text(withoutNul(clean.phone.bytes()));
    clean.details = krl::Cp1252Text(withoutNul(clean.details.bytes()));
    clean.picture = withoutNul(clean.picture);
    clean.picture.erase(0, clean.picture.find_last_of("/\\") + 1);
    auto again = krl::parseCardPayload(krl::buildCardPayload(clean, tags), tags);
    require(again && *again == clean);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const krl::CommandTags tags(krl::StringTable::builtIn());
    if (size == 0)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    static const char* const kTags[] = {"<Send NF>", "<Send CB>", "<Send CF>", "<My Card>"};
    const char* tag = kTags[data[0] % 4];
    if (data[0] % 4 == 3)
        checkCard(tag + rest, tags);
    else
        checkOffer(tag + rest, tags);
    return 0;
}
