#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "transfer/QueueItem.h"
#include "transfer/StoreResult.h"

namespace krl {

class FileStore;

// The send queue file ("data/KrlQFile.krl"): one item a line, "path;type text;kind" ended by
// CR LF. Readers that know only "path;type text" take the path up to the first ';' and ignore
// the rest, so the kind rides behind the type text where they never look. Lines without a kind
// get it from their type text, as the queue's sending step would.
class SendQueueFile {
public:
    SendQueueFile(FileStore& files, std::string path);

    // The queued items in file order; empty when the file is missing or cannot be read.
    std::vector<QueueItem> load() const;
    // Writes the whole queue. An item whose path cannot be stored refuses the save (check paths
    // with storedPathProblem before queueing them).
    StoreResult save(const std::vector<QueueItem>& items) const;
    // Adds one item at the end of the stored queue (for items queued while no window holds the
    // queue). A file that exists but cannot be read is never replaced.
    StoreResult append(const QueueItem& item) const;
    StoreResult clear() const;

    static std::string encode(const std::vector<QueueItem>& items);
    // Lines whose path could not be written back (wider than the path field, or holding a line
    // break) were not written by this program and are left out rather than cut into another
    // path. A stored kind is kept only where it is
    // believable: a clipboard format must be the one the file's name stands for (a package is
    // deleted once sent, so no other file may pass for one); any other item is ordinary.
    static std::vector<QueueItem> decode(std::string_view bytes);

private:
    FileStore& files_;
    std::string path_;
};

}  // namespace krl
