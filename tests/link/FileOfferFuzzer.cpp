// Offers from the peer: the parser and the reduction of the offered name to a plain name.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "link/CommandTags.h"
#include "link/FileOffer.h"
#include "link/ReceivedName.h"
#include "resources/StringTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const krl::CommandTags tags(krl::StringTable::builtIn());
    std::string_view payload(reinterpret_cast<const char*>(data), size);
    for (std::string_view tag : {"<Send NF>", "<Send CB>", "<Send CF>"}) {
        std::string offer = std::string(tag) + std::string(payload);
        auto parsed = krl::parseFileOffer(offer, tags);
        if (!parsed)
            continue;
        if (parsed->name.size() > 254)
            std::abort();
        if (parsed->size && (*parsed->size == 0 || *parsed->size > krl::kMaxOfferedSize))
            std::abort();
        std::string name = krl::plainReceivedName(parsed->name);
        if (name.empty() || name.size() > 255 || name == "." || name == "..")
            std::abort();
        for (char c : name) {
            if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
                std::abort();
        }
        krl::clipboardFormatOfName(name);
    }
    return 0;
}
