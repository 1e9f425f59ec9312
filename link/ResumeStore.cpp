#include "link/ResumeStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace krl {
namespace {

namespace fs = std::filesystem;

// FNV-1a, 64 bits, over name, size and date with separators no field holds.
std::string keyOf(const PartIdentity& id) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    auto mix = [&h](std::string_view text) {
        for (unsigned char c : text) {
            h ^= c;
            h *= 0x100000001b3ull;
        }
        h ^= 0xFF;
        h *= 0x100000001b3ull;
    };
    mix(id.name);
    mix(std::to_string(id.size));
    mix(id.date);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

// The info file: "size\n", "held\n", then the name and the date, each on a line of its own
// (neither holds a line end: names are plain file names, dates digits, blanks and a comma).
std::string infoText(const PartIdentity& id, std::uint64_t held) {
    return std::to_string(id.size) + "\n" + std::to_string(held) + "\n" + id.name + "\n" + id.date +
           "\n";
}

std::optional<std::uint64_t> heldFromInfo(const std::string& path, const PartIdentity& id) {
    std::ifstream in(path, std::ios::binary);
    std::string size, held, name, date;
    if (!std::getline(in, size) || !std::getline(in, held) || !std::getline(in, name) ||
        !std::getline(in, date))
        return std::nullopt;
    if (size != std::to_string(id.size) || name != id.name || date != id.date)
        return std::nullopt;
    try {
        std::size_t used = 0;
        unsigned long long n = std::stoull(held, &used);
        if (used != held.size() || n > id.size)
            return std::nullopt;
        return n;
    } catch (...) {
        return std::nullopt;
    }
}

bool isPartFile(const fs::path& p) {
    const std::string ext = p.extension().string();
    return ext == ".part" || ext == ".info" || ext == ".tmp";
}

}  // namespace

std::optional<ResumeStore::Part> ResumeStore::find(const std::string& folder,
                                                   const PartIdentity& id) {
    const fs::path dir = fs::path(folder.empty() ? "." : folder) / kFolderName;
    std::error_code ec;
    fs::create_directory(dir, ec);
    if (!fs::is_directory(fs::symlink_status(dir, ec)))
        return std::nullopt;  // a link or a file in its place: not ours to write through
    const std::string key = keyOf(id);
    Part part;
    part.partPath = (dir / (key + ".part")).string();
    part.infoPath = (dir / (key + ".info")).string();
    struct stat st {};
    auto held = heldFromInfo(part.infoPath, id);
    if (held && ::lstat(part.partPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::uint64_t>(st.st_size) >= *held)
        part.held = *held;
    return part;
}

bool ResumeStore::keep(const Part& part, const PartIdentity& id, std::uint64_t held) {
    if (::truncate(part.partPath.c_str(), static_cast<off_t>(held)) != 0)
        return false;
    const std::string tmp = part.infoPath + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << infoText(id, held);
        if (!out.flush())
            return false;
    }
    return ::rename(tmp.c_str(), part.infoPath.c_str()) == 0;
}

void ResumeStore::remove(const Part& part) {
    ::unlink(part.partPath.c_str());
    ::unlink(part.infoPath.c_str());
    // The hidden folder goes with its last part.
    ::rmdir(fs::path(part.partPath).parent_path().c_str());
}

void ResumeStore::prune(const std::string& folder, fs::file_time_type now) {
    std::error_code ec;
    const fs::path dir = fs::path(folder.empty() ? "." : folder) / kFolderName;
    if (!fs::is_directory(fs::symlink_status(dir, ec)))
        return;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::error_code e;
        if (it->is_regular_file(e) && isPartFile(it->path()) &&
            now - it->last_write_time(e) > kKeepFor)
            fs::remove(it->path(), e);
    }
}

int ResumeStore::clear(const std::string& folder) {
    std::error_code ec;
    const fs::path dir = fs::path(folder.empty() ? "." : folder) / kFolderName;
    if (!fs::is_directory(fs::symlink_status(dir, ec)))
        return 0;
    int removed = 0;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::error_code e;
        if (it->is_regular_file(e) && isPartFile(it->path()) && fs::remove(it->path(), e))
            ++removed;
    }
    fs::remove(dir, ec);  // only when empty
    return removed;
}

}  // namespace krl
