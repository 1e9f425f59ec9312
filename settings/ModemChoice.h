#pragma once

#include <string>
#include <vector>

#include "connection/ModemList.h"

namespace krl {

// Which entry of a modem list a stored modem name selects: the entry named exactly so, else
// the first whose name begins with it (names that were cut short when stored), else the first
// entry; -1 for an empty list. An exact match comes first so that "Hayes" never picks
// "Hayes Accura" over "Hayes".
int selectModem(const std::vector<ModemEntry>& modems, const std::string& storedName);

// The same for a list of ports: the entry equal to the stored name without regard to case
// ("COM1" stored by an older program is "Com1"), else -1 (the name is shown as typed).
int selectPort(const std::vector<std::string>& ports, const std::string& storedName);

}  // namespace krl
