#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/Cp1252.h"

namespace krl {

class CommandTags;

// The fields of a business card as they travel. Field sizes include the
// terminating NUL, as in the card record.
struct BusinessCard {
    static constexpr std::size_t kNameSize = 64;
    static constexpr std::size_t kPhoneSize = 32;
    static constexpr std::size_t kDetailsSize = 512;
    static constexpr std::size_t kPictureSize = 260;

    Cp1252Text name;
    Cp1252Text phone;
    Cp1252Text details;
    std::string picture;  // sending: the stored picture path; received: the picture's name

    bool operator==(const BusinessCard&) const = default;
};

// "<My Card><name\0><phone\0><details\0><picture name\0>": the NULs belong to the payload.
// Each field is cut to its size less its NUL; the picture path is reduced to its name part.
std::string buildCardPayload(const BusinessCard& card, const CommandTags& tags);

// Reads a received card payload. Each field is the text after a '<' up to its NUL (or the end of
// the payload), cut to the field's size; the search for the next field's '<' starts after that
// NUL, so a '<' typed into a field cannot shift the fields that follow. Missing fields stay
// empty. Nothing when the payload is not a card.
std::optional<BusinessCard> parseCardPayload(std::string_view payload, const CommandTags& tags);

}  // namespace krl
