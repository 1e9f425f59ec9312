#pragma once

#include <QFont>
#include <QPixmap>

namespace krl {

class StringTable;

// The icon bitmap resources of the message kinds (114 question, 115 information, 116 error),
// drawn from the program's own SVG artwork at the given size; a null pixmap for other numbers.
QPixmap messageIcon(int resource, int size = 32);

// The font of the message dialog's controls: string-table entry 50 at 8 points.
QFont messageFont(const StringTable& table);

}  // namespace krl
