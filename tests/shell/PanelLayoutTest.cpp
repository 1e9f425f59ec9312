#include <gtest/gtest.h>

#include "shell/PanelLayout.h"

namespace krl {
namespace {

// Controls that take turns in one place: only one of each pair is ever shown.
bool shareAPlace(CommandId a, CommandId b) {
    auto pair = [&](CommandId x, CommandId y) { return (a == x && b == y) || (a == y && b == x); };
    return pair(CommandId::Dial, CommandId::Disconnect) ||
           pair(CommandId::ShowCard, CommandId::HideCard);
}

TEST(PanelLayout, ControlsStayInsideThePanelAndApartForStoredAndUnusualMargins) {
    const FrameMetrics metrics;
    for (auto [left, top, row] : {std::tuple{5, 5, 62}, {0, 0, 62}, {12, 9, 62}}) {
        for (bool card : {false, true}) {
            PlacementRecord p = PlacementRecord::defaults(metrics);
            p.leftMargin = left;
            p.topMargin = top;
            p.secondRow = row;
            p.showCardPanel(card);
            const PanelLayout l = PanelLayout::of(p, metrics);
            SCOPED_TRACE(testing::Message()
                         << left << "," << top << "," << row << " card " << card);
            EXPECT_EQ(l.cardShown, card);
            for (const auto& b : l.buttons) {
                EXPECT_GE(b.rect.x, 0) << static_cast<int>(b.id);
                EXPECT_LE(b.rect.right(), l.width) << static_cast<int>(b.id);
                for (const auto& o : l.buttons) {
                    if (&o != &b && !shareAPlace(b.id, o.id)) {
                        EXPECT_FALSE(b.rect.overlaps(o.rect))
                            << static_cast<int>(b.id) << " / " << static_cast<int>(o.id);
                    }
                }
                if (b.id != CommandId::AddToAddressBook) {
                    EXPECT_FALSE(b.rect.overlaps(l.status)) << static_cast<int>(b.id);
                }
            }
            // The card panel lies below the separator and, when open, inside the frame.
            EXPECT_GT(l.cardText.y, l.separator.bottom());
            EXPECT_FALSE(l.cardText.overlaps(l.cardPicture));
            const PanelRect& lowest = card ? l.button(CommandId::AddToAddressBook) : l.separator;
            EXPECT_LE(lowest.bottom(), l.height);
        }
    }
}

TEST(PlacementRecord, CardPanelGrowsTheFrameOnceAndClosingGivesTheHeightBack) {
    PlacementRecord p = PlacementRecord::defaults(FrameMetrics{});
    const int closed = p.height;
    p.showCardPanel(true);
    p.showCardPanel(true);
    EXPECT_EQ(p.height, closed + PlacementRecord::kCardPanelHeight);
    p.showCardPanel(false);
    p.showCardPanel(false);
    EXPECT_EQ(p.height, closed);
}

TEST(PlacementRecord, UnplacedFrameStartsAtTheCornerAndAMinimisedOneKeepsItsPlace) {
    PlacementRecord p;
    p.left = PlacementRecord::kNoPosition;
    p.placeIfUnplaced();
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.width, PlacementRecord::kUnplacedWidth);
    p.left = 40;
    p.placeIfUnplaced();
    EXPECT_EQ(p.left, 40);

    p.remember(100, 200, false);
    EXPECT_EQ(std::tuple(p.left, p.top, p.restored), std::tuple(100, 200, 1));
    p.remember(-32000, -32000, true);
    EXPECT_EQ(std::tuple(p.left, p.top, p.restored), std::tuple(100, 200, 0));
}

}  // namespace
}  // namespace krl
