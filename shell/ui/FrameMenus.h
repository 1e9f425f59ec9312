#pragma once

#include <QMap>
#include <functional>

#include "resources/CommandId.h"

class QAction;
class QMainWindow;

namespace krl {

class StringTable;

// Menu 128 and accelerator table 128 on the main window: one action per command, named
// "cmd<id>", with the string table's prompt and tool tip; triggering it runs the command
// through `run`. Keys of menu commands go on their entries; the other keys get actions of their
// own on the window. Returns the actions by command number.
QMap<int, QAction*> buildFrameMenus(QMainWindow& window, const StringTable& strings,
                                    const std::function<void(CommandId)>& run);

}  // namespace krl
