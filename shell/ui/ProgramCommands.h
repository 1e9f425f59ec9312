#pragma once

namespace krl {

class CallController;
class CMainFrame;
class CommandRegistry;
class Settings;
class VideoWindowPair;

// Fills the command registry as main() wires the program: the call's commands, the video
// windows' entry, the frame's own panel commands, the settings windows, and a "not there yet"
// window for each feature this version does not have. A modem's Dial opens the connect dialog
// that AddressBookCommands adds.
void addProgramCommands(CommandRegistry& commands, CMainFrame& frame, CallController& call,
                        Settings& settings, VideoWindowPair& video);

}  // namespace krl
