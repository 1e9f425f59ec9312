#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/LinkListener.h"
#include "resources/CommandId.h"

namespace krl {

class Connection;
struct VideoSettings;

// The local and remote video windows as the main frame sees them. The frame creates one pair
// for its whole life and calls it at the points below; the video windows implement it.
class VideoWindowPair {
public:
    virtual ~VideoWindowPair() = default;
    // Local capture and send, remote display: once before and once after each pump step.
    virtual void idle() = 0;
    // Hands over what the windows need (again after the Video settings changed).
    virtual void setup(Connection& connection, const VideoSettings& video,
                       const std::string& homeDir) = 0;
    // The Video command: start the local window and show the remote one.
    virtual void start() = 0;
    // ShowVideoWhenRun at start-up; by default the same as start().
    virtual void startAtLaunch() { start(); }
    // The call is ending: tell the peer that both video directions close.
    virtual void closeVideo() = 0;
    // Hold marks: the local one is set by this side's Hold command, the remote one by the
    // peer's hold.
    virtual void setHoldMark(HoldSide side, bool on) = 0;
    virtual void closeWindows() = 0;
    // Writes what the user changed on the windows into the block before it is stored: where
    // they are, and the remote window's always-on-top choice from its menu.
    virtual void keepWindowState(VideoSettings& video) const {}
    // The commands the video windows run, their one entry in the command registry: reconnect
    // the camera, choose a file to play, take a snapshot of the local picture, the settings
    // sheet's Video Source and Video Format.
    virtual std::vector<CommandId> commands() const { return {}; }
    virtual void videoCommand(CommandId command) {}
    // The Connection Statistics dialog: the frame gives the line speed in bits a second and the
    // remote card's name and phone number (UTF-8).
    // The capture drivers the settings dialogs offer, and whether local capture runs now (the
    // camera's Source and Format dialogs need it).
    virtual std::vector<std::string> cameraNames() { return {}; }
    // A card picture: the local (own card) or remote (address book entry) picture written as a
    // bitmap to path and shown in the Snapshot dialog, where the user keeps it (under path or a
    // name chosen there) or throws it away. The kept file; empty when thrown away or when there
    // is no picture (the reason shown).
    virtual std::string takeCardPicture(bool remote, const std::string& path) { return {}; }
    virtual bool capturing() const { return false; }
    virtual void showStatistics(std::uint32_t lineBitsPerSecond, const std::string& name,
                                const std::string& phone) {}
};

}  // namespace krl
