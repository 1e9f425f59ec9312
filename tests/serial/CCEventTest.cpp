#include <gtest/gtest.h>

#include "serial/CCEvent.h"
#include "serial/CCOverlapped.h"

namespace krl {
namespace {

TEST(CCEventTest, ManualResetStaysSignalledAutoResetReleasesOneWait) {
    CCEvent manual;
    EXPECT_FALSE(manual.set());  // not created yet
    ASSERT_TRUE(manual.create("", true, false));
    EXPECT_FALSE(manual.wait(0));
    manual.set();
    EXPECT_TRUE(manual.wait(0));
    EXPECT_TRUE(manual.wait(0));
    manual.reset();
    EXPECT_FALSE(manual.wait(0));

    CCEvent automatic;
    ASSERT_TRUE(automatic.create("", false, true));
    EXPECT_TRUE(automatic.wait(0));
    EXPECT_FALSE(automatic.wait(0));
    automatic.pulse();
    EXPECT_FALSE(automatic.wait(0));  // nobody waited: the pulse is gone
}

TEST(CCEventTest, OverlappedBlockCarriesItsOwnEvent) {
    CCOverlapped record;
    ASSERT_TRUE(record.create());
    record.block().offset = 42;
    record.clearBlock();
    EXPECT_EQ(record.block().offset, 0u);
    EXPECT_EQ(record.block().event, record.handle());
    record.close();
    EXPECT_FALSE(record.isValid());
    EXPECT_NE(record.block().event, nullptr);  // the block keeps what it refers to alive
}

}  // namespace
}  // namespace krl
