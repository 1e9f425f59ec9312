#include "shell/ui/NoVideoWindowPair.h"

#include "shell/ui/Placeholder.h"

namespace krl {

void NoVideoWindowPair::start() {
    Placeholder::open(QStringLiteral("Video"), owner_);
}

}  // namespace krl
