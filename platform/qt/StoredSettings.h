#pragma once

#include <string>

namespace krl {

class Settings;
class SettingsStore;

// Adds the stored blocks to the settings model, each loaded at once and stored through the
// store: the frame's placement record, then General, Comms, Tonebay and Video (the order in
// which they are loaded and stored). home is the home folder in use; it is the General block's
// home folder and the default of the others.
void addStoredBlocks(Settings& settings, SettingsStore& store, const std::string& home);

}  // namespace krl
