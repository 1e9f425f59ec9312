#pragma once

#include <QString>
#include <functional>
#include <string>

#include "transfer/QueueItem.h"

class QClipboard;
class QMimeData;

namespace krl {

class MessagePresenter;

// The clipboard between the two copies. Send Clipboard writes each format that means something
// on the other side (text, pictures) into a package file of its own and queues it; a received
// package is put back onto the clipboard. Each send's packages go into a folder of their own
// under the temporary folder, so a second send never overwrites a package an earlier queue
// item still points at; the file names stay the ones the receiver recognises.
class ClipboardPackager {
public:
    struct Services {
        MessagePresenter& messages;
        // The folder the send folders are made in (the home folder's Temp).
        QString tempDir;
        // Appends one package to the send queue.
        std::function<void(const QueueItem&)> enqueue;
        // The send-queued routine, run before packaging (it may ask and dial).
        std::function<void()> sendQueued;
    };

    explicit ClipboardPackager(Services services) : services_(std::move(services)) {}

    // Packages what the clipboard holds; returns how many packages were queued. A package that
    // cannot be written ends the send with message 4110 or 4080 (for those causes); packages
    // already queued stay queued.
    int send(const QMimeData* data);

    // Puts a received package back onto the clipboard, beside what it already holds; false when
    // the package is of no format this side restores or cannot be read.
    static bool restore(QClipboard& clipboard, const std::string& path, int format);

    // A package whose outcome is known (sent, stopped or failed) is removed, and with the last
    // one its send's folder.
    static void discard(const std::string& path);

private:
    void fail(int error);

    Services services_;
};

}  // namespace krl
