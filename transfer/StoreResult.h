#pragma once

#include "link/FileErrors.h"
#include "transfer/StoredLine.h"

namespace krl {

// The outcome of writing the queue or a history file. On any failure the file on disk is left
// as it was.
struct StoreResult {
    PathProblem path = PathProblem::None;  // a path that cannot be stored; nothing was written
    int error = 0;                         // errno of reading or replacing the file

    bool ok() const { return path == PathProblem::None && error == 0; }
    // The numbered message for a file error: 4110 (too many open files), 4080 (disk full), or 0
    // for the causes that have no message of their own.
    int message() const { return writeMessage(error); }
};

}  // namespace krl
