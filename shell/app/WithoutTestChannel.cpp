#include "shell/app/TestChannel.h"

namespace krl {

std::unique_ptr<QObject> openTestChannel(const TestChannelParts&) {
    return nullptr;
}

}  // namespace krl
