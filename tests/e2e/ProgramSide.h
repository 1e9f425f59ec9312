#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/ProgramProcess.h"

namespace krl::test {

// Where a window picture named name is saved (the build tree's screenshots folder).
std::string screenshot(const std::string& name);

// The whole contents of a file (empty when it cannot be read).
std::string fileContents(const std::filesystem::path& path);

// One copy's own folders (dir/home, dir/config), test channel and environment, and the questions
// every end-to-end test asks it over that channel.
struct ProgramSide {
    std::filesystem::path dir;
    std::string channel;
    std::map<std::string, std::string> env;

    // settings: lines under the program's settings key ("Video\\AutoSend=...") written to its
    // settings file before it starts; platform: the Qt platform the copy runs on.
    ProgramSide(const std::filesystem::path& root, const std::string& name,
                const std::vector<std::string>& settings = {}, const std::string& platform = "xcb");

    std::string ask(const std::string& command) const;
    bool statusIs(const std::string& text) const { return ask("status") == text; }
    // Whether the message with this id is among those the copy shows.
    bool showsMessage(const std::string& id) const;
    // Waits for the modal window with this name (empty: for none).
    bool modalIs(const std::string& name, int ms = kProgramWaitMs) const;
    // The clipboard of the copy's display as another program sees it, through xclip. Sets it
    // to the file's bytes under the type (xclip serves them until another program takes the
    // clipboard or the display ends); false when xclip failed.
    bool setClipboard(const std::string& type, const std::filesystem::path& file) const;
    // What the clipboard gives under the type (empty when nothing or no owner answers).
    std::string clipboard(const std::string& type) const;
    // The copy's state for a failure message: its status, open messages, modal window
    // and visible windows.
    std::string describe() const;

private:
    // The shell command that runs xclip on the copy's display.
    std::string xclip(const std::string& arguments) const;
};

}  // namespace krl::test
