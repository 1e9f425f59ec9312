#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace krl::cli {

// The outbox folder of a long call: its files are sent one by one, the first by name first, and
// moved to its "sent" or "failed" folder once done with; a file that did not go is tried again
// a few times. Hidden files and folders are left alone.
class Outbox {
public:
    static constexpr int kTries = 3;

    explicit Outbox(std::string folder) : folder_(std::move(folder)) {}

    // The first file by name not waiting to be tried again, empty when there is none. The folder
    // is looked at no more than once a second (a video call polls every few milliseconds).
    std::string next(std::uint64_t nowMs);
    // The file did not go: true when it is tried again, not before atMs; false once it has had
    // its tries.
    bool tryAgainLater(const std::string& path, std::uint64_t atMs);
    // Moves the file out of the way, into "sent" or "failed"; what went wrong, empty when
    // nothing did (a file that cannot be moved is removed, or it would be sent for ever).
    std::string done(const std::string& path, bool sent);
    // Files still waiting.
    int left() const;

private:
    std::string folder_;
    std::uint64_t lookedAtMs_ = 0;
    std::map<std::string, int> tries_;                // files that failed, and how often
    std::map<std::string, std::uint64_t> retryAtMs_;  // not tried again before
};

}  // namespace krl::cli
