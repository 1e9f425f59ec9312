#include "base/ReceivedName.h"

#include <cstdint>

#include "base/Cp1252.h"

namespace krl {
namespace {

constexpr std::size_t kMaxNameBytes = 255;
constexpr const char* kFallbackName = "received-file";

bool isControl(std::uint8_t b) {
    return b < 0x20 || b == 0x7F;
}

}  // namespace

std::string_view namePartOf(std::string_view path) {
    auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string plainReceivedName(const Cp1252Text& peerText) {
    std::string_view peerName = peerText.bytes();
    auto cut = peerName.find('\0');
    if (cut != std::string_view::npos)
        peerName = peerName.substr(0, cut);
    auto sep = peerName.find_last_of("/\\");
    if (sep != std::string_view::npos)
        peerName = peerName.substr(sep + 1);

    std::string kept;
    for (char ch : peerName) {
        auto b = static_cast<std::uint8_t>(ch);
        if (isControl(b) || ch == ':')
            continue;
        // Windows-1252's undefined bytes and C1 range carry no characters worth keeping.
        if (b >= 0x80 && b < 0xA0 &&
            (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D))
            continue;
        kept.push_back(ch);
    }
    std::size_t first = kept.find_first_not_of(" .");
    std::size_t last = kept.find_last_not_of(" .");
    if (first == std::string::npos)
        return kFallbackName;
    // Leading dots are trimmed too: a received name never hides or climbs.
    std::string name =
        cp1252ToUtf8(Cp1252Text(std::string_view(kept).substr(first, last - first + 1)));
    if (name.size() > kMaxNameBytes) {
        std::size_t n = kMaxNameBytes;
        while (n > 0 && (static_cast<std::uint8_t>(name[n]) & 0xC0) == 0x80)
            --n;
        name.resize(n);
    }
    return name.empty() ? kFallbackName : name;
}

Cp1252Text sendableName(const Cp1252Text& name) {
    std::string out = name.bytes();
    for (char& ch : out) {
        auto b = static_cast<std::uint8_t>(ch);
        if (ch == '<' || ch == '>' || isControl(b))
            ch = '_';
    }
    return Cp1252Text(std::move(out));
}

}  // namespace krl
