// A history file as the disk gives it: every line read back writes and reads again as the same
// line, and writing never makes more lines than entries.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "transfer/TransferHistoryFile.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    auto entries = krl::TransferHistoryFile::decode(bytes);
    std::string written;
    for (const auto& entry : entries) {
        require(krl::storedPathProblem(entry.path) == krl::PathProblem::None);
        written += krl::TransferHistoryFile::encodeLine(entry);
    }
    auto again = krl::TransferHistoryFile::decode(written);
    require(again.size() == entries.size());
    std::string rewritten;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        require(again[i].path == entries[i].path);
        rewritten += krl::TransferHistoryFile::encodeLine(again[i]);
    }
    require(rewritten == written);
    return 0;
}
