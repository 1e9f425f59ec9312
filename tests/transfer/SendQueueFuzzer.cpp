// The send queue file as the disk gives it: every item read back is one this program can write
// and read again as the same item.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/ReceivedName.h"
#include "link/FileOffer.h"
#include "transfer/SendQueueFile.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    auto items = krl::SendQueueFile::decode(bytes);
    for (const auto& item : items) {
        require(krl::storedPathProblem(item.path) == krl::PathProblem::None);
        require(item.kind <= 0 ||
                krl::clipboardFormatOfName(krl::namePartOf(item.path)) == item.kind);
        require(item.kind >= krl::kCardPicture);
    }
    std::string written = krl::SendQueueFile::encode(items);
    auto again = krl::SendQueueFile::decode(written);
    require(again.size() == items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        require(again[i].path == items[i].path && again[i].kind == items[i].kind);
    require(krl::SendQueueFile::encode(again) == written);
    return 0;
}
