#pragma once

#include <functional>

#include "settings/ui/CKestrelSettings.h"

class QWidget;

namespace krl {

class CommandRegistry;
class Settings;
class VideoWindowPair;

// The setup wizard and the settings sheet as commands of the program: each edits copies of the
// blocks it is given and, only on Finish or OK, stores them through the settings model, whose
// subscribers (the connection among them) follow at once. The video windows are handed the new
// Video block.
class SettingsCommands {
public:
    // onVideoChanged: hands the stored Video block to the video windows.
    SettingsCommands(Settings& settings, VideoWindowPair& video,
                     std::function<void()> onVideoChanged);

    // True when the wizard ended with Finish.
    bool runSetupWizard(QWidget* owner);
    // True when the sheet ended with OK.
    bool openSettingsSheet(SheetPage page, QWidget* owner);

private:
    Settings& settings_;
    VideoWindowPair& video_;
    std::function<void()> onVideoChanged_;
};

// Adds the settings windows' commands: Options and its page commands (the sheet on its first,
// camera, remote image and file transfer page), Ctrl+F10 (the wizard) and Help Topics (the user
// guide). owner: the window the dialogs belong to.
void addSettingsCommands(CommandRegistry& commands, QWidget& owner, Settings& settings,
                         VideoWindowPair& video, std::function<void()> onVideoChanged);

}  // namespace krl
