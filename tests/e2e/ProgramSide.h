#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/ProgramProcess.h"

namespace krl::test {

// Where a window picture named name is saved (the build tree's screenshots folder).
std::string screenshot(const std::string& name);

// The whole contents of a file (empty when it cannot be read).
std::string fileContents(const std::filesystem::path& path);

// A word for the shell, in single quotes.
std::string quoted(const std::string& word);

// The words a copy on a serial port starts with: the port, the modem file and a short splash
// screen, then `more` ("--dial", "--always-listen").
std::vector<std::string> portArgs(const std::string& port, const std::vector<std::string>& more,
                                  const std::string& modem = "SerialCable.mdm");

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

    // Starts a copy of the program with these arguments, in this side's environment.
    std::unique_ptr<ProgramProcess> start(const std::vector<std::string>& arguments) const;

    std::string ask(const std::string& command) const;
    bool statusIs(const std::string& text) const { return ask("status") == text; }
    // Waits for the status line to read text.
    ::testing::AssertionResult reaches(const std::string& status) const;
    // Whether the message with this id is among those the copy shows.
    bool showsMessage(const std::string& id) const;
    // Waits for the message with this id to be shown.
    ::testing::AssertionResult comesToShow(const std::string& id) const;
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

// Waits until both copies say they are connected.
::testing::AssertionResult bothConnected(const ProgramSide& a, const ProgramSide& b);

}  // namespace krl::test
