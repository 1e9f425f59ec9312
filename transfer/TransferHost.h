#pragma once

#include <string>

#include "transfer/SideProgress.h"
#include "transfer/TransferSides.h"

namespace krl {

// What the file transfer asks of the program around it: the call commands of the main frame,
// the desktop's file services and the clock's date text.
class TransferHost {
public:
    virtual ~TransferHost() = default;
    virtual void dial() = 0;
    virtual void disconnect() = 0;
    virtual void sendOwnCard() = 0;
    // Opens the file with the desktop's application for it; failures are not reported.
    virtual void launch(const std::string& path) = 0;
    // A received clipboard package goes back onto the clipboard.
    virtual void restoreClipboard(const std::string& path, int format) = 0;
    // An ordinary file arrived whole, from the party named (UTF-8, empty when unknown); the
    // desktop may be told.
    virtual void fileArrived(const std::string& /*path*/, const std::string& /*party*/) {}
    virtual void removeFile(const std::string& path) = 0;
    // The desktop's name for the file's type ("PNG image").
    virtual std::string typeName(const std::string& path) = 0;
    // The date and time written in a history line, in the user's format.
    virtual std::string historyDate(bool longDate) = 0;
};

// What the transfer window shows; the transfer runs without one too.
class TransferView {
public:
    virtual ~TransferView() = default;
    // A file of that side moves (or was just set): its figures.
    virtual void progress(TransferSide side, const SideProgress& progress) = 0;
    // Nothing moves on that side any more.
    virtual void cleared(TransferSide side) = 0;
    virtual void queueChanged() = 0;
    // Whether a file moved in this step (the animation runs, the minimised window blinks).
    virtual void activity(bool active) = 0;
    // A line was added to the sent or received history.
    virtual void historyChanged() {}
};

}  // namespace krl
