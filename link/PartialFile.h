#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/ResumeStore.h"
#include "link/TransferFiles.h"

namespace krl {

// The partial file a file from another copy is received into: continued from what an earlier
// call left, kept when the call drops, and moved to the file's name once whole. It never lies
// under the file's name before then.
class PartialFile {
public:
    struct Opened {
        std::unique_ptr<TransferFile> file;
        std::uint64_t held = 0;   // bytes from the start the part holds, cut to this already
        std::uint32_t check = 0;  // their block check value
    };

    // Opens the part for the file going to `path` (found or made in its folder), or nothing
    // when there is none to receive into.
    std::optional<Opened> open(TransferFiles& files, const std::string& path, PartIdentity id);
    bool active() const { return part_.has_value(); }
    // Moves the whole part to `path`; false, with errno set, when it cannot.
    bool finish(const std::string& path);
    // Keeps the first `held` bytes for a later call; the part goes when they cannot be kept.
    void keep(std::uint64_t held);
    // Removes the part and what it holds.
    void remove();
    // Lets go of the part, leaving it where it is.
    void forget() { part_.reset(); }

private:
    std::optional<ResumeStore::Part> part_;
    PartIdentity id_;
};

}  // namespace krl
