#include "link/FileOffer.h"

#include <array>
#include <cctype>

#include "link/CommandTags.h"

namespace krl {
namespace {

constexpr std::size_t kNameOffset = 16;
constexpr std::size_t kMaxName = 254;

std::size_t findNoCase(std::string_view text, std::string_view what, std::size_t from) {
    if (what.empty() || text.size() < what.size())
        return std::string_view::npos;
    for (std::size_t i = from; i + what.size() <= text.size(); ++i) {
        bool same = true;
        for (std::size_t k = 0; k < what.size() && same; ++k) {
            same = std::tolower(static_cast<unsigned char>(text[i + k])) ==
                   std::tolower(static_cast<unsigned char>(what[k]));
        }
        if (same)
            return i;
    }
    return std::string_view::npos;
}

}  // namespace

std::optional<FileOffer> parseFileOffer(std::string_view payload, const CommandTags& tags) {
    FileOffer offer;
    if (tags.opensWith(payload, LinkCommand::SendFile)) {
        offer.tag = LinkCommand::SendFile;
    } else if (tags.opensWith(payload, LinkCommand::SendClipboard)) {
        offer.tag = LinkCommand::SendClipboard;
    } else if (tags.opensWith(payload, LinkCommand::SendCardPicture)) {
        offer.tag = LinkCommand::SendCardPicture;
    } else {
        return std::nullopt;
    }
    auto nul = payload.find('\0');
    if (nul != std::string_view::npos)
        payload = payload.substr(0, nul);

    std::size_t nameEnd = payload.size();
    if (payload.size() > kNameOffset) {
        nameEnd = payload.find('>', kNameOffset);
        if (nameEnd == std::string_view::npos)
            nameEnd = payload.size();
        offer.name =
            Cp1252Text(payload.substr(kNameOffset, std::min(nameEnd - kNameOffset, kMaxName)));
    }

    std::size_t dateTag = findNoCase(payload, tags.tag(LinkCommand::Date), nameEnd);
    if (dateTag != std::string_view::npos) {
        std::size_t from = dateTag + tags.tag(LinkCommand::Date).size();
        if (from < payload.size() && payload[from] == '<')
            ++from;
        std::size_t to = payload.find('>', from);
        offer.date =
            std::string(payload.substr(from, to == std::string_view::npos ? to : to - from));
        if (offer.date.size() > kMaxName)
            offer.date.resize(kMaxName);
    }

    // The fields after the name: nothing (an offer without a size, taken to end with its first
    // block), or the size field whole. Command frames carry no check value, so an offer damaged
    // on the line must not pass for one without a size, or with a size cut short: either would
    // end the file early and present the part as the whole. A damaged offer is refused.
    // (A "<Size>" inside a name never counts: the name ends at its '>'.)
    std::string_view rest =
        nameEnd < payload.size() ? payload.substr(nameEnd + 1) : std::string_view();
    if (rest.find_first_not_of(' ') == std::string_view::npos)
        return offer;
    const std::string& sizeTag = tags.tag(LinkCommand::Size);
    if (findNoCase(rest, sizeTag, 0) != 0)
        return std::nullopt;
    std::size_t i = sizeTag.size();
    if (i >= rest.size() || rest[i] != '<')
        return std::nullopt;
    ++i;
    while (i < rest.size() && rest[i] == ' ')
        ++i;
    std::uint64_t size = 0;
    std::size_t digits = 0;
    for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i, ++digits) {
        size = size * 10 + static_cast<std::uint64_t>(rest[i] - '0');
        if (size > kMaxOfferedSize)
            return std::nullopt;
    }
    // The sender never offers an empty file (it completes without an offer).
    if (digits == 0 || size == 0 || i >= rest.size() || rest[i] != '>')
        return std::nullopt;
    offer.size = size;
    return offer;
}

int clipboardFormatOfName(std::string_view name) {
    struct Entry {
        int format;
        std::string_view name;
    };
    static constexpr std::array<Entry, 15> kPackages = {{
        {1, "Text.clp"},
        {2, "bitmap.clp"},
        {3, "MFPict.clp"},
        {4, "Sylk.clp"},
        {5, "DIF.clp"},
        {6, "Tiff.clp"},
        {7, "OemText.clp"},
        {8, "DIB.clp"},
        {9, "palette.clp"},
        {10, "pendata.clp"},
        {11, "riff.clp"},
        {12, "wave.clp"},
        {129, "DSPTEXT.clp"},
        {130, "DSPBIT.clp"},
        {131, "DMETPICT.clp"},
    }};
    for (const Entry& e : kPackages) {
        if (e.name.size() == name.size() && findNoCase(name, e.name, 0) == 0)
            return e.format;
    }
    return 0;
}

}  // namespace krl
