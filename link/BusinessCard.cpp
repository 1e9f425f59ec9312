#include "link/BusinessCard.h"

#include "link/CommandTags.h"

namespace krl {
namespace {

std::string_view field(std::string_view v, std::size_t size) {
    v = v.substr(0, v.find('\0'));
    return v.substr(0, size - 1);
}

std::string_view pictureName(const std::string& path) {
    std::string_view v = field(path, BusinessCard::kPictureSize);
    auto sep = v.find_last_of("/\\");
    return sep == std::string_view::npos ? v : v.substr(sep + 1);
}

}  // namespace

std::string buildCardPayload(const BusinessCard& card, const CommandTags& tags) {
    std::string p = tags.tag(LinkCommand::MyCard);
    // The "<" of each field is written by the one before it.
    p += '<';
    p += field(card.name.bytes(), BusinessCard::kNameSize);
    p += std::string_view("\0><", 3);
    p += field(card.phone.bytes(), BusinessCard::kPhoneSize);
    p += std::string_view("\0><", 3);
    p += field(card.details.bytes(), BusinessCard::kDetailsSize);
    p += std::string_view("\0><", 3);
    p += pictureName(card.picture);
    p += std::string_view("\0>", 2);
    return p;
}

std::optional<BusinessCard> parseCardPayload(std::string_view payload, const CommandTags& tags) {
    if (!tags.opensWith(payload, LinkCommand::MyCard))
        return std::nullopt;
    BusinessCard card;
    std::size_t pos = tags.tag(LinkCommand::MyCard).size();
    auto next = [&](std::size_t size) {
        if (pos >= payload.size())
            return std::string();
        std::size_t open = payload.find('<', pos);
        if (open == std::string_view::npos) {
            pos = payload.size();
            return std::string();
        }
        std::size_t start = open + 1;
        std::size_t end = payload.find('\0', start);
        if (end == std::string_view::npos)
            end = payload.size();
        pos = end;
        return std::string(payload.substr(start, std::min(end - start, size - 1)));
    };
    card.name = Cp1252Text(next(BusinessCard::kNameSize));
    card.phone = Cp1252Text(next(BusinessCard::kPhoneSize));
    card.details = Cp1252Text(next(BusinessCard::kDetailsSize));
    card.picture = next(BusinessCard::kPictureSize);
    return card;
}

}  // namespace krl
