#include "link/PartialFile.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "link/BlockCheckValue.h"

namespace krl {
namespace {

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The block check value of the first `length` bytes of the file; nothing when they cannot be
// read.
std::optional<std::uint32_t> checkOfFirst(TransferFile& file, std::uint64_t length) {
    BlockCheckValue v;
    std::uint8_t buffer[65536];
    std::uint64_t at = 0;
    while (at < length) {
        auto want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer, length - at));
        int error = 0;
        long got = file.readAt(at, buffer, want, error);
        if (got <= 0)
            return std::nullopt;
        v.add({buffer, static_cast<std::size_t>(got)});
        at += static_cast<std::uint64_t>(got);
    }
    return v.value();
}

}  // namespace

std::optional<PartialFile::Opened> PartialFile::open(TransferFiles& files, const std::string& path,
                                                     PartIdentity id) {
    const std::string folder = folderOf(path);
    ResumeStore::prune(folder, std::filesystem::file_time_type::clock::now());
    id_ = std::move(id);
    auto part = ResumeStore::find(folder, id_);
    if (!part)
        return std::nullopt;
    int error = 0;
    std::unique_ptr<TransferFile> file = files.openPart(part->partPath, error);
    if (!file)
        return std::nullopt;
    // A part that holds the whole file still takes its last byte over the line, so that the
    // transfer ends as every transfer does.
    std::uint64_t held = std::min(part->held, id_.size - 1);
    auto check = checkOfFirst(*file, held);
    if (!check) {
        held = 0;
        check = BlockCheckValue::kStart;
    }
    if (file->truncate(held) != 0)
        return std::nullopt;
    part_ = std::move(part);
    return Opened{std::move(file), held, *check};
}

bool PartialFile::finish(const std::string& path) {
    if (::rename(part_->partPath.c_str(), path.c_str()) != 0)
        return false;
    ::unlink(part_->infoPath.c_str());
    ::rmdir(std::filesystem::path(part_->infoPath).parent_path().c_str());  // when empty
    part_.reset();
    return true;
}

void PartialFile::keep(std::uint64_t held) {
    if (!ResumeStore::keep(*part_, id_, held))
        ResumeStore::remove(*part_);
    part_.reset();
}

void PartialFile::remove() {
    ResumeStore::remove(*part_);
    part_.reset();
}

}  // namespace krl
