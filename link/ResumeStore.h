#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace krl {

// What identifies a file offered again in a later call: its name, size and date as the offer
// carried them.
struct PartIdentity {
    std::string name;  // as offered (Windows-1252)
    std::uint64_t size = 0;
    std::string date;
};

// Partly received files kept after a call dropped, so that a later call between two copies can
// continue them. They never lie under a file's real name: each lives in the hidden folder
// ".kestrelcall-partial" of the folder the file goes to, as <key>.part with <key>.info beside
// it (name, size, date and the bytes held; written to a temporary file and renamed into place).
class ResumeStore {
public:
    static constexpr const char* kFolderName = ".kestrelcall-partial";
    // Parts untouched this long are removed.
    static constexpr std::chrono::hours kKeepFor{72};

    struct Part {
        std::string partPath;
        std::string infoPath;
        std::uint64_t held = 0;  // bytes from the start that an earlier call left, 0 when none
    };

    // The part for `id` in `folder` (the folder of the file's final path), creating the hidden
    // folder; held is what the info file says when it names the same file and the part is at
    // least that long. Nothing when the folder cannot be made.
    static std::optional<Part> find(const std::string& folder, const PartIdentity& id);
    // Cuts the part to `held` bytes and records them: the part stays for a later call.
    static bool keep(const Part& part, const PartIdentity& id, std::uint64_t held);
    // Removes the part and its info.
    static void remove(const Part& part);
    // Removes the parts of `folder` last touched before now - kKeepFor.
    static void prune(const std::string& folder, std::filesystem::file_time_type now);
    // Removes every part of `folder`; returns how many files went.
    static int clear(const std::string& folder);
};

}  // namespace krl
