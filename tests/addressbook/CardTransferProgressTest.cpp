// The Transferring Business Card dialog's reading of the two sides: bars, the stop button, the
// acknowledgement, the hang-up when the peer went away, and when the dialog ends.
#include <gtest/gtest.h>

#include "addressbook/CardTransferProgress.h"

namespace krl {
namespace {

TransferStatus side(int state, int kind, std::uint64_t done = 0, std::uint64_t size = 1) {
    TransferStatus s;
    s.state = state;
    s.kind = kind;
    s.bytesDone = done;
    s.size = size;
    return s;
}

TEST(CardTransferProgress, BarsFollowPicturesAndTheDialogEndsWhenBothAreDone) {
    CardTransferProgress p;
    const TransferStatus idleIn = side(int(ReceiveState::Ready), 0);
    // Our picture a third of the way: bar 33, stop enabled; nothing comes in.
    auto s = p.step(side(int(SendState::ReadyForBlock), kCardPicture, 1, 3), idleIn);
    EXPECT_EQ(s.sendingPercent, 33);
    EXPECT_EQ(s.stopEnabled, true);
    EXPECT_FALSE(s.done);
    // Done: acknowledged, bar back to 0, stop greyed, and with nothing coming in the dialog ends.
    s = p.step(side(int(SendState::Done), kCardPicture, 3, 3), idleIn);
    EXPECT_TRUE(s.acknowledgeSend);
    EXPECT_EQ(s.sendingPercent, 0);
    EXPECT_EQ(s.stopEnabled, false);
    EXPECT_TRUE(s.done);
}

TEST(CardTransferProgress, AnOrdinaryFileIsNoConcernAndALostPeerHangsUp) {
    struct Case {
        const char* what;
        TransferStatus sending, receiving;
        bool disconnect, acknowledge, done;
        std::optional<int> receivingPercent;
    } cases[] = {
        {"a file being sent beside a picture coming in",
         side(int(SendState::ReadyForBlock), 0, 5, 10),
         side(int(ReceiveState::Receiving), kCardPicture, 1, 4), false, false, false, 25},
        {"the peer left while our picture went", side(int(SendState::PeerDisconnected), -1),
         side(int(ReceiveState::Ready), 0), true, true, true, std::nullopt},
        {"the peer left while its picture came", side(int(SendState::Idle), 0),
         side(int(ReceiveState::PeerDisconnected), -1), true, false, true, std::nullopt},
        {"the peer's picture arrived", side(int(SendState::Idle), 0),
         side(int(ReceiveState::Complete), -1), false, false, true, 0},
    };
    for (const Case& c : cases) {
        CardTransferProgress p;
        const auto s = p.step(c.sending, c.receiving);
        EXPECT_EQ(s.disconnect, c.disconnect) << c.what;
        EXPECT_EQ(s.acknowledgeSend, c.acknowledge) << c.what;
        EXPECT_EQ(s.done, c.done) << c.what;
        EXPECT_EQ(s.receivingPercent, c.receivingPercent) << c.what;
        EXPECT_FALSE(s.sendingPercent && c.sending.kind >= 0) << c.what;
    }
}

TEST(CardTransferProgress, PercentNeverExceedsTheBar) {
    EXPECT_EQ(CardTransferProgress::percent(side(3, -1, 10, 0)), 0);
    EXPECT_EQ(CardTransferProgress::percent(side(3, -1, 12, 10)), 100);
    EXPECT_EQ(CardTransferProgress::percent(side(3, -1, 999, 1000)), 99);
}

}  // namespace
}  // namespace krl
