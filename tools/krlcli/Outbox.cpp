#include "tools/krlcli/Outbox.h"

#include <filesystem>

namespace krl::cli {
namespace {

namespace fs = std::filesystem;

bool waits(const fs::directory_entry& entry, std::error_code& ec) {
    std::string name = entry.path().filename().string();
    return !name.empty() && name[0] != '.' && entry.is_regular_file(ec);
}

}  // namespace

std::string Outbox::next(std::uint64_t nowMs) {
    if (lookedAtMs_ != 0 && nowMs - lookedAtMs_ < 1000)
        return {};
    lookedAtMs_ = nowMs;
    std::string first;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        if (!waits(entry, ec))
            continue;
        auto retry = retryAtMs_.find(entry.path().string());
        if (retry != retryAtMs_.end() && nowMs < retry->second)
            continue;
        if (first.empty() || entry.path().string() < first)
            first = entry.path().string();
    }
    return first;
}

bool Outbox::tryAgainLater(const std::string& path, std::uint64_t atMs) {
    if (++tries_[path] >= kTries)
        return false;
    retryAtMs_[path] = atMs;
    return true;
}

std::string Outbox::done(const std::string& path, bool sent) {
    tries_.erase(path);
    retryAtMs_.erase(path);
    fs::path folder = fs::path(folder_) / (sent ? "sent" : "failed");
    std::error_code ec;
    fs::create_directories(folder, ec);
    fs::rename(path, folder / fs::path(path).filename(), ec);
    if (!ec)
        return {};
    std::string problem = "cannot move " + path + " out of the outbox: " + ec.message();
    fs::remove(path, ec);
    return problem;
}

int Outbox::left() const {
    int left = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        if (waits(entry, ec))
            ++left;
    }
    return left;
}

}  // namespace krl::cli
