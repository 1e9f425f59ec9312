#include "settings/Settings.h"

namespace krl {

bool Settings::storeAll() {
    bool ok = true;
    for (const std::type_index& type : order_) {
        const Entry& e = entries_.at(type);
        if (e.store && !e.store())
            ok = false;
    }
    return ok;
}

}  // namespace krl
