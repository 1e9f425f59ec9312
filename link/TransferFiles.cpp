#include "link/TransferFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace krl {
namespace {

class PosixTransferFile : public TransferFile {
public:
    explicit PosixTransferFile(int fd) : fd_(fd) {}
    ~PosixTransferFile() override { close(); }
    PosixTransferFile(const PosixTransferFile&) = delete;
    PosixTransferFile& operator=(const PosixTransferFile&) = delete;

    long readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count,
                int& error) override {
        for (;;) {
            ssize_t got = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
            if (got >= 0)
                return static_cast<long>(got);
            if (errno != EINTR) {
                error = errno;
                return -1;
            }
        }
    }

    int writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t count) override {
        std::size_t done = 0;
        while (done < count) {
            ssize_t w = ::pwrite(fd_, data + done, count - done, static_cast<off_t>(offset + done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return errno;
            if (w == 0)
                return ENOSPC;  // nothing taken and no error: the disk has no room
            done += static_cast<std::size_t>(w);
        }
        return 0;
    }

    int truncate(std::uint64_t size) override {
        return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : errno;
    }

    int close() override {
        if (fd_ < 0)
            return 0;
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

}  // namespace

namespace {

// Opens a regular file (a folder, a device or a named pipe counts as access denied): its
// descriptor and what fstat says of it, or -1 with error set.
int openRegular(const std::string& path, int flags, mode_t mode, struct stat& st, int& error) {
    // O_NONBLOCK: a named pipe under the name fails at once instead of waiting for the other end.
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = EACCES;
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<TransferFile> PosixTransferFiles::openToSend(const std::string& path,
                                                             SendFileFacts& facts, int& error) {
    struct stat st {};
    const int fd = openRegular(path, O_RDONLY, 0, st, error);
    if (fd < 0)
        return nullptr;
    facts.size = static_cast<std::uint64_t>(st.st_size);
    facts.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    facts.modifiedNanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
    return std::make_unique<PosixTransferFile>(fd);
}

std::unique_ptr<TransferFile> PosixTransferFiles::create(const std::string& path, int& error) {
    // O_NOFOLLOW: a link planted under the received name cannot send the data elsewhere.
    struct stat st {};
    const int fd = openRegular(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644, st, error);
    if (fd < 0)
        return nullptr;
    // A file that was there keeps its mode through O_TRUNC: content from the peer must not
    // inherit an execute (or set-id) bit from the file it replaces.
    if ((st.st_mode & 07111) != 0 && ::fchmod(fd, st.st_mode & 0666) != 0) {
        error = errno;
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixTransferFile>(fd);
}

std::unique_ptr<TransferFile> PosixTransferFiles::openPart(const std::string& path, int& error) {
    struct stat st {};
    const int fd = openRegular(path, O_RDWR | O_CREAT | O_NOFOLLOW, 0600, st, error);
    return fd < 0 ? nullptr : std::make_unique<PosixTransferFile>(fd);
}

bool PosixTransferFiles::exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void PosixTransferFiles::remove(const std::string& path) {
    ::unlink(path.c_str());
}

}  // namespace krl
