#include "addressbook/CardRecord.h"

#include <algorithm>

#include "base/Cp1252.h"

namespace krl {
namespace {

constexpr std::size_t kNameAt = 8;
constexpr std::size_t kPhoneAt = kNameAt + BusinessCard::kNameSize;
constexpr std::size_t kDetailsAt = kPhoneAt + BusinessCard::kPhoneSize;
constexpr std::size_t kPictureAt = kDetailsAt + BusinessCard::kDetailsSize;
constexpr std::size_t kViewStateAt = kPictureAt + BusinessCard::kPictureSize;
static_assert(kViewStateAt + 1 == CardRecord::kBytes);

void putField(std::uint8_t* at, std::size_t width, std::string_view text) {
    std::size_t n = std::min(text.size(), width - 1);
    std::copy_n(text.data(), n, at);
    std::fill(at + n, at + width, std::uint8_t{0});
}

std::string getField(const std::uint8_t* record, std::size_t length, std::size_t at,
                     std::size_t width) {
    if (at >= length)
        return {};
    std::size_t end = std::min(length, at + width);
    const std::uint8_t* zero = std::find(record + at, record + end, std::uint8_t{0});
    return std::string(reinterpret_cast<const char*>(record + at),
                       static_cast<std::size_t>(zero - (record + at)));
}

std::string withoutSeparators(std::string_view text, std::size_t width) {
    std::string out;
    for (char ch : text) {
        if (ch != '\0' && ch != '\x01')
            out.push_back(ch);
    }
    if (out.size() > width)
        out.resize(width);
    return out;
}

CardViewState viewStateOf(std::uint8_t value) {
    return value == 1 || value == 2 ? static_cast<CardViewState>(value)
                                    : CardViewState::FolderClosed;
}

char lowerCase1252(char ch) {
    auto b = static_cast<std::uint8_t>(ch);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7))
        return static_cast<char>(b + 0x20);
    if (b == 0x8A || b == 0x8C || b == 0x8E)  // Š Œ Ž
        return static_cast<char>(b + 0x10);
    if (b == 0x9F)  // Ÿ
        return static_cast<char>(0xFF);
    return ch;
}

}  // namespace

std::array<std::uint8_t, CardRecord::kBytes> CardRecord::toBytes() const {
    std::array<std::uint8_t, kBytes> out{};
    putField(out.data() + kNameAt, kNameSize, name.bytes());
    putField(out.data() + kPhoneAt, kPhoneSize, phone.bytes());
    putField(out.data() + kDetailsAt, kDetailsSize, details.bytes());
    putField(out.data() + kPictureAt, kPictureSize, picture.size() <= kPictureChars ? picture : "");
    out[kViewStateAt] = static_cast<std::uint8_t>(viewState);
    return out;
}

CardRecord CardRecord::fromBytes(const std::uint8_t* bytes, std::size_t length) {
    CardRecord card;
    if (bytes == nullptr)
        return card;
    card.name = Cp1252Text(getField(bytes, length, kNameAt, kNameSize));
    card.phone = Cp1252Text(getField(bytes, length, kPhoneAt, kPhoneSize));
    card.details = Cp1252Text(getField(bytes, length, kDetailsAt, kDetailsSize));
    card.picture = getField(bytes, length, kPictureAt, kPictureSize);
    if (length > kViewStateAt)
        card.viewState = viewStateOf(bytes[kViewStateAt]);
    return card;
}

CardRecord CardRecord::fromCard(const BusinessCard& card) {
    CardRecord record;
    static_cast<BusinessCard&>(record) = card;
    return record;
}

std::string CardRecord::picturePath() const {
    return cp1252ToUtf8(Cp1252Text(picture));
}

bool CardRecord::setPicturePath(std::string_view path) {
    std::string bytes = utf8ToCp1252(path).bytes();
    if (bytes.size() > kPictureChars || cp1252ToUtf8(Cp1252Text(bytes)) != path ||
        bytes.find_first_of(std::string_view("\0\x01", 2)) != std::string::npos)
        return false;
    picture = std::move(bytes);
    return true;
}

CardRecord CardRecord::storable() const {
    CardRecord out = *this;
    out.name = Cp1252Text(withoutSeparators(name.bytes(), kNameChars));
    out.phone = Cp1252Text(withoutSeparators(phone.bytes(), kPhoneChars));
    out.details = Cp1252Text(withoutSeparators(details.bytes(), kDetailsChars));
    if (picture.size() > kPictureChars ||
        picture.find_first_of(std::string_view("\0\x01", 2)) != std::string::npos)
        out.picture.clear();
    out.viewState = viewStateOf(static_cast<std::uint8_t>(viewState));
    return out;
}

bool equalsIgnoringCase1252(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerCase1252(x) == lowerCase1252(y);
           });
}

}  // namespace krl
