#pragma once

#include <string>
#include <vector>

#include "connection/IniFile.h"

namespace krl {

// What a call asks of a modem description.
enum class ModemUse {
    Dial,    // place calls: the dial commands (Connect Commands, Command1)
    Answer,  // listen and answer: the ring text (WaitCommand) and the answer commands (Command10)
};

// What a modem description lacks for a use, one short phrase each ("no [Modem] section",
// "no Type in [Modem]", ...); empty when it has everything. Every use needs the Modem section
// and its Type: without them a file of any text at all would be taken for a modem.
std::vector<std::string> modemFileLacks(const IniFile& file, ModemUse use);

// Whether a description serves at least one kind of call: the files worth offering in a list.
bool modemFileUsable(const IniFile& file);

// The reason a modem description cannot serve the use, naming its file and what it lacks
// ("/x/a.mdm has no [Modem] section, no Type in [Modem]"); empty when it can.
std::string modemFileProblem(const IniFile& file, const std::string& path, ModemUse use);
// The same for a file read from path ("... cannot be read" when it cannot).
std::string modemFileProblem(const std::string& path, ModemUse use);
// Why the description at path could not be read ("no modem is chosen" when path is empty).
std::string modemFileUnreadable(const std::string& path);

}  // namespace krl
