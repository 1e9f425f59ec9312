// A hostile peer speaks raw bytes to a whole link session: names that climb out of the
// receive folder, huge sizes, oversize frames, overlong and truncated cards, noise.
#include <gtest/gtest.h>

#include <filesystem>

#include "FrameBytes.h"
#include "ProtocolFakes.h"
#include "fakes/FakeSerialDevice.h"
#include "fakes/TempFolder.h"
#include "link/BlockCheckValue.h"
#include "link/CheckFieldText.h"
#include "link/LinkSession.h"
#include "link/VideoFrameQueue.h"

namespace krl::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class HostilePeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.openPort("victim", LineSettings{}, 0));
        session.protocol().setCardPictureFolder(cards.string());
        session.protocol().setRemoteVideoListener(&video);
        session.protocol().setFrameQueue(&queue);
        session.callReset();
        session.protocol().receiver().control(ReceiveControl::Arm, in.string());
    }
    // The peer's bytes arrive; the session reads and polls as the pump would. Returns the first
    // poll result other than 1, else 1.
    int arrive(const std::vector<std::uint8_t>& bytes) {
        line->a.inbox.insert(line->a.inbox.end(), bytes.begin(), bytes.end());
        int result = 1;
        for (int i = 0; i < 4; ++i) {
            session.readReceived();
            int r = session.poll();
            if (result == 1)
                result = r;
            clock.advance(10);
        }
        return result;
    }
    std::string lastCommandSent() {
        // Commands the session wrote, newest last, as text.
        std::string all;
        for (auto& w : line->a.writes)
            all.append(w.begin(), w.end());
        auto start = all.rfind("\x01\x02\x00"s);
        if (start == std::string::npos || start + 5 > all.size())
            return {};
        std::size_t length = static_cast<unsigned char>(all[start + 3]) |
                             (static_cast<unsigned char>(all[start + 4]) << 8);
        return all.substr(start + 5, length);
    }
    void expectNothingOutside() {
        for (const auto& p : filesBelow(tmp.path()))
            EXPECT_TRUE(p.rfind("in/", 0) == 0 || p.rfind("cards/", 0) == 0) << p;
    }

    TempFolder tmp;
    fs::path in = tmp.sub("in"), cards = tmp.sub("cards");
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    FakeSerialDeviceFactory factory{line};
    ManualClock clock;
    RecordingPresenter messages;
    LinkSession session{factory, clock, StringTable::builtIn(), messages};
    VideoListener video;
    VideoFrameQueue queue;
};

TEST_F(HostilePeerTest, TraversalNamesLandInsideTheReceiveFolder) {
    for (const std::string& name :
         {"../../../tmp/owned"s, "/etc/cron.d/x"s, "..\\..\\win.ini"s, "a/./../b"s, ".."s}) {
        arrive(commandBytes("<Send NF><Name><" + name + "><Size><       1><Date><0,0>"));
        EXPECT_EQ(lastCommandSent(), "<OK for Send>") << name;
        std::vector<std::uint8_t> one = {'x'};
        CheckField check = fileBlockCheckField(BlockCheckValue::of(one));
        arrive(frameBytes(3, one, &check));
        EXPECT_EQ(lastCommandSent(), "<CRCOK>") << name;
        session.protocol().receiver().control(ReceiveControl::Arm, in.string());
    }
    // Names no file system takes as they stand: whatever is made of them stays inside.
    for (const std::string& name : {"ctl\x01\x1fx"s, std::string(400, 'n'), ""s}) {
        arrive(commandBytes("<Send NF><Name><" + name + "><Size><       1><Date><0,0>"));
        session.protocol().receiver().control(ReceiveControl::Stop);
        session.protocol().receiver().control(ReceiveControl::Arm, in.string());
    }
    arrive(commandBytes("<Send CF><Name><../../pic.bmp><Size><       1><Date><0,0>"));
    expectNothingOutside();
    EXPECT_TRUE(fs::exists(in / "owned"));
    EXPECT_TRUE(fs::exists(in / "x"));
    EXPECT_TRUE(fs::exists(cards / "pic.bmp"));
}

TEST_F(HostilePeerTest, HugeSizesAndOversizeBlocks) {
    arrive(commandBytes("<Send NF><Name><big><Size><18446744073709551616><Date><0,0>"));
    EXPECT_EQ(lastCommandSent(), "<Do Not Send>");
    EXPECT_FALSE(fs::exists(in / "big"));

    // A size of nine digits is read whole.
    session.protocol().receiver().control(ReceiveControl::Arm, in.string());
    arrive(commandBytes("<Send NF><Name><large><Size><100000000><Date><0,0>"));
    EXPECT_EQ(session.protocol().receiver().status().size, 100000000u);

    // An oversize block frame: its length bound keeps it from being taken as a frame; a block
    // of exactly 3071 bytes that unstuffs to more than 3070 is damaged.
    std::vector<std::uint8_t> big(5000, 0x41);
    CheckField check = fileBlockCheckField(BlockCheckValue::of(big));
    arrive(frameBytes(3, big, &check));
    std::vector<std::uint8_t> justOver(3071, 0x42);
    check = fileBlockCheckField(BlockCheckValue::of(justOver));
    arrive(frameBytes(3, justOver, &check));
    EXPECT_EQ(lastCommandSent(), "<CRCnotOK>");
    EXPECT_EQ(session.protocol().receiver().status().bytesDone, 0u);
    session.protocol().receiver().control(ReceiveControl::Stop);
    EXPECT_FALSE(fs::exists(in / "large"));
}

TEST_F(HostilePeerTest, OverlongAndTruncatedCardsAreCutToTheirFields) {
    arrive(commandBytes("<My Card><" + std::string(3000, 'N')));
    BusinessCard card;
    session.protocol().readReceivedCard(card);
    EXPECT_EQ(card.name.size(), BusinessCard::kNameSize - 1);
    arrive(commandBytes("<My Card>"));
    arrive(commandBytes("<My Card><a\0><"s));
    session.protocol().readReceivedCard(card);
    EXPECT_EQ(card.name, "a"_cp1252);
    EXPECT_TRUE(card.phone.empty());
}

TEST_F(HostilePeerTest, GarbageAndTagsInFieldsChangeNothing) {
    std::vector<std::uint8_t> noise;
    for (int i = 0; i < 20000; ++i)
        noise.push_back(static_cast<std::uint8_t>(i * 37 + (i >> 3)));
    arrive(noise);
    // Whatever partial frame the noise left waiting is given up once the line stays quiet.
    clock.advance(FrameParser::kStaleGiveUpMs + 1000);
    arrive({});
    arrive(commandBytes("x<Disconnect>"));
    arrive(commandBytes("<My Card><Mallory\0><<Disconnect>\0><<Stop Sending>\0><\0>"s));
    EXPECT_FALSE(session.protocol().disconnectReceived());
    EXPECT_EQ(arrive(commandBytes("<Disconnect>")), LinkEngine::kPollPeerDisconnected);
    expectNothingOutside();
}

}  // namespace
}  // namespace krl::test
