#pragma once

#include <string>

#include "base/MessagePresenter.h"
#include "link/FileErrors.h"
#include "transfer/StoredLine.h"

namespace krl {

// The outcome of writing the queue or a history file. On any failure the file on disk is left
// as it was.
struct StoreResult {
    PathProblem path = PathProblem::None;  // a path that cannot be stored; nothing was written
    int error = 0;                         // errno of reading or replacing the file
    std::string file;                      // the file written, for the message's "%s"

    bool ok() const { return path == PathProblem::None && error == 0; }
    // The numbered message for a file error: 4110 (too many open files), 4080 (disk full),
    // 4090 (any other refusal, with the file's path), or 0 when nothing was refused.
    int message() const { return saveMessage(error); }
    Message shown() const { return Message{message(), MessageKind::Error, file, std::nullopt}; }
};

}  // namespace krl
