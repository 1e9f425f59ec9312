#pragma once

#include <cerrno>

namespace krl {

// Numbered messages of the file transfer.
namespace transfer_message {
inline constexpr int kFileNotFound = 4050;   // "The file (%s) cannot be found..."
inline constexpr int kFileCorrupted = 4060;  // "The file (%s) is corrupted."
inline constexpr int kFileLocked = 4070;     // "The file (%s) is locked and in use..."
inline constexpr int kDiskFull = 4080;
inline constexpr int kCannotCreate = 4090;  // "Cannot create the file (%s)..."
inline constexpr int kTooManyOpenFiles = 4110;
inline constexpr int kSenderStopped = 5000;
inline constexpr int kReceiverStopped = 5010;
inline constexpr int kNoAcceptance = 5030;
inline constexpr int kFileCheckFailed = 5050;
inline constexpr int kNoDataForAWhile = 5090;
inline constexpr int kNoViewer = 5100;
}  // namespace transfer_message

// The message an errno of opening a file to send gives, or 0 for none.
inline int sendOpenMessage(int error) {
    switch (error) {
        case EMFILE:
        case ENFILE:
            return transfer_message::kTooManyOpenFiles;
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
            return transfer_message::kFileNotFound;
        case EACCES:
        case EPERM:
        case EBUSY:
        case ETXTBSY:
            return transfer_message::kFileLocked;
        default:
            return 0;
    }
}

// The message an errno of creating a received file gives (always one).
inline int createMessage(int error) {
    switch (error) {
        case EMFILE:
        case ENFILE:
            return transfer_message::kTooManyOpenFiles;
        case ENOSPC:
        case EDQUOT:
            return transfer_message::kDiskFull;
        default:
            return transfer_message::kCannotCreate;
    }
}

// The message an errno of writing a received file gives, or 0 for none.
inline int writeMessage(int error) {
    switch (error) {
        case EMFILE:
        case ENFILE:
            return transfer_message::kTooManyOpenFiles;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return transfer_message::kDiskFull;
        default:
            return 0;
    }
}

// The message a refused save of one of the program's own files (the queue, a history, the address
// book) gives, or 0 when it went through: the user is told of every refusal, since the file on
// disk then keeps its old lines. 4090 takes the file's path.
inline int saveMessage(int error) {
    if (error == 0)
        return 0;
    const int message = writeMessage(error);
    return message != 0 ? message : transfer_message::kCannotCreate;
}

}  // namespace krl
