#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/BusinessCard.h"

namespace krl {

// Which part of the address book's tree was open at the entry when the book was last closed.
enum class CardViewState : std::uint8_t { FolderClosed = 0, FolderOpen = 1, Selected = 2 };

// The contact record: an address book entry, the own card and the remote party. Its text is
// Windows-1252 like the card it travels as; the picture path meets the file system through
// picturePath() and setPicturePath(), which convert it to and from UTF-8.
//
// As a byte record (the own card in the settings) it is 877 bytes: two 32-bit tree-node slots
// the windows used at run time (always written as zero; the windows keep their own map of
// nodes), then the name (64), phone (32), details (512) and picture path (260) fields, each
// zero-terminated within its width, then the view state byte.
struct CardRecord : BusinessCard {
    static constexpr std::size_t kBytes = 877;
    // The most text each field holds (its width less the terminating zero).
    static constexpr std::size_t kNameChars = kNameSize - 1;
    static constexpr std::size_t kPhoneChars = kPhoneSize - 1;
    static constexpr std::size_t kDetailsChars = kDetailsSize - 1;
    static constexpr std::size_t kPictureChars = kPictureSize - 1;

    CardViewState viewState = CardViewState::FolderClosed;

    bool operator==(const CardRecord&) const = default;

    std::array<std::uint8_t, kBytes> toBytes() const;
    // A record shorter than 877 bytes leaves the fields it lacks empty.
    static CardRecord fromBytes(const std::uint8_t* bytes, std::size_t length);
    static CardRecord fromCard(const BusinessCard& card);

    // The picture path as the file system names it (UTF-8).
    std::string picturePath() const;
    // False, leaving the record unchanged, when the path is too long for the picture field or
    // has characters Windows-1252 cannot hold: a shortened or altered path would name another
    // file.
    bool setPicturePath(std::string_view path);

    // The record as it may be stored: 0x01 and NUL bytes taken out of every field (the address
    // book separates its fields with 0x01 and the byte record ends them with NUL) and each field
    // cut to its width, except the picture path: one that is too long or holds such a byte is
    // emptied rather than turned into the path of another file.
    CardRecord storable() const;
};

// Equality of two Windows-1252 texts without regard to case (the letters of the code page, not
// only ASCII).
bool equalsIgnoringCase1252(std::string_view a, std::string_view b);

}  // namespace krl
