#pragma once

#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "link/TransferFiles.h"

namespace krl::test {

// The real file system with faults on demand: a disk that fills up, open files that run out,
// a file that cannot be read past a point. Files are real (a test gives a temporary folder),
// so what is left on disk after a fault is there to be looked at.
class FakeTransferFiles : public TransferFiles {
public:
    int openError = 0;    // errno of every openToSend, 0 for none
    int createError = 0;  // errno of every create, 0 for none
    // Bytes a received file may hold; a write past them writes what fits, then fails.
    std::uint64_t room = std::numeric_limits<std::uint64_t>::max();
    int writeError = ENOSPC;
    int closeError = 0;  // errno of closing a received file (a full disk found late)
    // Reads of a file being sent fail from this offset on.
    std::uint64_t readableBytes = std::numeric_limits<std::uint64_t>::max();
    int readError = EIO;

    std::unique_ptr<TransferFile> openToSend(const std::string& path, SendFileFacts& facts,
                                             int& error) override {
        if (openError != 0) {
            error = openError;
            return nullptr;
        }
        auto file = real_.openToSend(path, facts, error);
        return file ? std::make_unique<File>(std::move(file), *this) : nullptr;
    }
    std::unique_ptr<TransferFile> create(const std::string& path, int& error) override {
        if (createError != 0) {
            error = createError;
            return nullptr;
        }
        auto file = real_.create(path, error);
        return file ? std::make_unique<File>(std::move(file), *this) : nullptr;
    }
    std::unique_ptr<TransferFile> openPart(const std::string& path, int& error) override {
        if (createError != 0) {
            error = createError;
            return nullptr;
        }
        auto file = real_.openPart(path, error);
        return file ? std::make_unique<File>(std::move(file), *this) : nullptr;
    }
    bool exists(const std::string& path) override { return real_.exists(path); }
    void remove(const std::string& path) override { real_.remove(path); }

private:
    class File : public TransferFile {
    public:
        File(std::unique_ptr<TransferFile> real, FakeTransferFiles& faults)
            : real_(std::move(real)), faults_(faults) {}
        long readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count,
                    int& error) override {
            if (offset >= faults_.readableBytes) {
                error = faults_.readError;
                return -1;
            }
            return real_->readAt(offset, buffer, count, error);
        }
        int writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t count) override {
            if (offset + count <= faults_.room)
                return real_->writeAt(offset, data, count);
            if (offset < faults_.room)
                real_->writeAt(offset, data, static_cast<std::size_t>(faults_.room - offset));
            return faults_.writeError;
        }
        int truncate(std::uint64_t size) override { return real_->truncate(size); }
        int close() override {
            const int error = real_->close();
            return faults_.closeError != 0 ? faults_.closeError : error;
        }

    private:
        std::unique_ptr<TransferFile> real_;
        FakeTransferFiles& faults_;
    };

    PosixTransferFiles real_;
};

}  // namespace krl::test
