#include "serial/CCOverlapped.h"

namespace krl {

bool CCOverlapped::create(const std::string& name, bool manualReset, bool initiallySignalled) {
    bool created = CCEvent::create(name, manualReset, initiallySignalled);
    clearBlock();
    return created;
}

void CCOverlapped::clearBlock() {
    block_ = OverlappedBlock{};
    block_.event = handle_;
}

}  // namespace krl
