#pragma once

#include <optional>

#include "link/TransferStates.h"

namespace krl {

// The Transferring Business Card dialog's reading of the two sides on each tick of its timer.
// Only card pictures (a negative kind) count; a side that ends, or moves anything else, is
// finished for the dialog, which closes when both are.
class CardTransferProgress {
public:
    struct Step {
        std::optional<int> sendingPercent;
        std::optional<int> receivingPercent;
        std::optional<bool> stopEnabled;
        // The sender's final state is taken (its window would acknowledge it).
        bool acknowledgeSend = false;
        // The peer went away during the transfer: the call is ended.
        bool disconnect = false;
        bool done = false;
    };

    Step step(const TransferStatus& sending, const TransferStatus& receiving);

    static int percent(const TransferStatus& status);

private:
    bool sendingFinished_ = false;
    bool receivingFinished_ = false;
};

}  // namespace krl
