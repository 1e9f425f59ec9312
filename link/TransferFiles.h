#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace krl {

// One open file of a transfer. Failures are errno values (0 for none): the file transfer turns
// them into its numbered messages.
class TransferFile {
public:
    virtual ~TransferFile() = default;
    // Bytes read at offset (0 at the end of the file), or -1 with error set.
    virtual long readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count,
                        int& error) = 0;
    // Writes all `count` bytes at offset: 0, or the errno of the failure.
    virtual int writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t count) = 0;
    // Cuts or extends the file to `size` bytes: 0, or the errno of the failure.
    virtual int truncate(std::uint64_t size) = 0;
    // Closes the file: 0, or the errno of the failure (a full disk may show only here).
    virtual int close() = 0;
};

// What a file to send tells the offer.
struct SendFileFacts {
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;  // since 1970, UTC
    std::uint32_t modifiedNanoseconds = 0;
};

// The file system as the file transfer uses it. The program uses PosixTransferFiles; tests put
// a fake in its place to make a disk fill up or the open files run out.
class TransferFiles {
public:
    virtual ~TransferFiles() = default;
    // Opens a regular file for sending; nothing, with error set, when it cannot (a folder or a
    // device counts as access denied).
    virtual std::unique_ptr<TransferFile> openToSend(const std::string& path, SendFileFacts& facts,
                                                     int& error) = 0;
    // Creates a received file, or empties the one there: never through a symbolic link, and
    // never executable, whatever the file there was before.
    virtual std::unique_ptr<TransferFile> create(const std::string& path, int& error) = 0;
    // Opens the partial file of a transfer that a later call may continue, keeping what it
    // holds (created empty when absent): read and write, private to the user, never through a
    // symbolic link.
    virtual std::unique_ptr<TransferFile> openPart(const std::string& path, int& error) = 0;
    // Whether anything (a symbolic link included) has the name.
    virtual bool exists(const std::string& path) = 0;
    virtual void remove(const std::string& path) = 0;
};

// The real file system through POSIX calls.
class PosixTransferFiles : public TransferFiles {
public:
    std::unique_ptr<TransferFile> openToSend(const std::string& path, SendFileFacts& facts,
                                             int& error) override;
    std::unique_ptr<TransferFile> create(const std::string& path, int& error) override;
    std::unique_ptr<TransferFile> openPart(const std::string& path, int& error) override;
    bool exists(const std::string& path) override;
    void remove(const std::string& path) override;
};

}  // namespace krl
