#include "platform/posix/PosixFileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace krl {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    // Closes now so that a late write error (some file systems report a full disk only here)
    // is seen; returns 0 or the errno.
    int close() {
        int result = ::close(fd_) == 0 ? 0 : errno;
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

std::string folderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

StoredFileRead PosixFileStore::read(const std::string& path, std::size_t maxBytes) {
    StoredFileRead result;
    // Non-blocking so that a FIFO standing where a file belongs cannot hold the one thread in
    // open(); it is refused below as not a regular file.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        result.error = errno;
        return result;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        result.error = errno;
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.error = EISDIR;
        return result;
    }
    // The size is checked while reading too: the file may grow after fstat.
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.error = errno;
            result.bytes.clear();
            return result;
        }
        if (n == 0)
            break;
        if (result.bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            result.error = EFBIG;
            result.bytes.clear();
            return result;
        }
        result.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return result;
}

int PosixFileStore::replace(const std::string& path, std::string_view bytes) {
    // A file the user made read-only is kept, even where the folder would allow the rename
    // (and for root, whom access() never refuses).
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        ((existing.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0))
        return EACCES;

    std::string temp = path + ".XXXXXX";
    Descriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return errno;

    int error = writeAll(fd.get(), bytes);
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    struct stat old {};
    if (error == 0 && ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd.get(), old.st_mode & 07777);
    int closed = fd.close();
    if (error == 0)
        error = closed;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    // The rename itself reaches the disk with the folder.
    Descriptor folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        ::fsync(folder.get());
    return 0;
}

}  // namespace krl
