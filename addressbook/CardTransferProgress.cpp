#include "addressbook/CardTransferProgress.h"

namespace krl {

int CardTransferProgress::percent(const TransferStatus& status) {
    if (status.size == 0)
        return 0;
    const double share = double(status.bytesDone) / double(status.size) * 100.0;
    return share >= 100.0 ? 100 : share <= 0.0 ? 0 : int(share);
}

CardTransferProgress::Step CardTransferProgress::step(const TransferStatus& sending,
                                                      const TransferStatus& receiving) {
    Step out;
    if (!sendingFinished_) {
        const auto state = static_cast<SendState>(sending.state);
        if (sending.kind >= 0) {
            sendingFinished_ = true;
        } else if (state == SendState::FileSet) {
            out.sendingPercent = 0;
        } else if (state == SendState::ReadyForBlock) {
            out.sendingPercent = percent(sending);
            out.stopEnabled = true;
        } else if (state == SendState::StoppedByReceiver || state == SendState::Done ||
                   state == SendState::Failed || state == SendState::StoppedByUser) {
            out.acknowledgeSend = true;
            out.sendingPercent = 0;
            out.stopEnabled = false;
            sendingFinished_ = true;
        } else if (state == SendState::PeerDisconnected) {
            out.disconnect = true;
            out.acknowledgeSend = true;
            out.stopEnabled = false;
            sendingFinished_ = true;
        } else {
            sendingFinished_ = true;
        }
    }
    if (!receivingFinished_) {
        const auto state = static_cast<ReceiveState>(receiving.state);
        if (receiving.kind >= 0) {
            receivingFinished_ = true;
        } else if (state == ReceiveState::Receiving) {
            out.receivingPercent = percent(receiving);
        } else if (state == ReceiveState::Complete || state == ReceiveState::StoppedBySender ||
                   state == ReceiveState::StoppedByUser || state == ReceiveState::Failed) {
            out.receivingPercent = 0;
            receivingFinished_ = true;
        } else if (state == ReceiveState::PeerDisconnected) {
            out.disconnect = true;
            receivingFinished_ = true;
        } else {
            receivingFinished_ = true;
        }
    }
    out.done = sendingFinished_ && receivingFinished_;
    return out;
}

}  // namespace krl
