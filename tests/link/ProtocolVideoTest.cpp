#include <gtest/gtest.h>

#include "ProtocolFakes.h"
#include "link/VideoFrameQueue.h"

namespace krl::test {
namespace {

class RecordingVideo : public VideoListener {
public:
    void frameQueued() override { ++queued; }
    void incomingSettings(IncomingVideoState, const VideoSettingsRecord& r) override {
        incoming.push_back(r);
    }
    void outgoingSettings(OutgoingVideoState, const VideoSettingsRecord& r) override {
        outgoing.push_back(r);
    }
    void keyFrameRequested() override { ++keyRequests; }
    int queued = 0, keyRequests = 0;
    std::vector<VideoSettingsRecord> incoming, outgoing;
};

VideoSettingsRecord sampleRecord() {
    VideoSettingsRecord r;
    for (std::size_t i = 0; i < r.values.size(); ++i)
        r.values[i] = 0x01020300u + i;
    r.set(VideoSetting::Width, 176);
    r.set(VideoSetting::Height, 144);
    return r;
}

class VideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (ProtocolSide* s : {&pair.a, &pair.b})
            s->protocol.resetCall();
        pair.b.protocol.setRemoteVideoListener(&videoB);
        pair.a.protocol.setLocalVideoListener(&videoA);
        pair.b.protocol.setFrameQueue(&queueB);
    }
    // A opens its video, B accepts.
    void openAtoB() {
        pair.a.protocol.openVideo(true);
        pair.exchange();
        ASSERT_EQ(pair.b.protocol.video().incoming(), IncomingVideoState::Offered);
        pair.b.protocol.sendCommand(LinkCommand::OkVideoOpen);
        pair.b.protocol.video().setIncomingState(IncomingVideoState::Receiving);
        pair.exchange();
        ASSERT_EQ(pair.a.protocol.video().outgoing(), OutgoingVideoState::Sending);
    }
    ProtocolPair pair;
    RecordingVideo videoA, videoB;
    VideoFrameQueue queueB;
};

TEST_F(VideoTest, FramesArriveOnlyOnceTheOpeningIsAcceptedAndADeclineClosesTheSender) {
    pair.a.protocol.openVideo(true);
    pair.exchange();
    std::vector<std::uint8_t> early(100, 7);
    pair.a.protocol.sendVideo(early.data(), early.size(), false);
    pair.exchange();
    EXPECT_TRUE(queueB.empty());
    EXPECT_EQ(pair.b.port.damaged, 0);
    // Declined, the sending side is closed.
    pair.b.protocol.sendCommand(LinkCommand::NoVideoOpen);
    pair.exchange();
    EXPECT_EQ(pair.a.protocol.video().outgoing(), OutgoingVideoState::ClosedByPeer);
    pair.a.protocol.openVideo(false);
    EXPECT_EQ(pair.a.protocol.video().outgoing(), OutgoingVideoState::Idle);

    openAtoB();
    std::vector<std::uint8_t> frame(1000, 0x5A);
    EXPECT_EQ(pair.a.protocol.sendVideo(frame.data(), frame.size(), true), 1);
    pair.exchange();
    ASSERT_EQ(queueB.size(), 1u);
    EXPECT_EQ(queueB.take(), frame);
    EXPECT_EQ(videoB.queued, 1);
}

TEST_F(VideoTest, PauseResumeAndClose) {
    openAtoB();
    auto& vb = pair.b.protocol.video();
    auto& va = pair.a.protocol.video();
    vb.setIncomingState(IncomingVideoState::Paused);
    pair.exchange();
    EXPECT_EQ(va.outgoing(), OutgoingVideoState::PausedByPeer);
    vb.setIncomingState(IncomingVideoState::Resume);
    EXPECT_EQ(vb.incoming(), IncomingVideoState::Receiving);
    pair.exchange();
    EXPECT_EQ(va.outgoing(), OutgoingVideoState::ResumedByPeer);
    va.setOutgoingState(OutgoingVideoState::Sending);
    // A resume while sending changes nothing.
    pair.a.protocol.onCommandFrame("<VIDEORRESUME>");
    EXPECT_EQ(va.outgoing(), OutgoingVideoState::Sending);
    vb.setIncomingState(IncomingVideoState::ClosedByPeer);
    pair.exchange();
    EXPECT_EQ(va.outgoing(), OutgoingVideoState::ClosedByPeer);
    pair.a.protocol.openVideo(true);
    pair.a.protocol.openVideo(false);
    pair.exchange();
    EXPECT_EQ(vb.incoming(), IncomingVideoState::ClosedByPeer);
}

// The record travels as forty-eight bytes, its twelve values little-endian.
TEST_F(VideoTest, SettingsBothWaysAndShortRecordsRejected) {
    auto r = sampleRecord();
    const auto bytes = r.toBytes();
    EXPECT_EQ(bytes.size(), 48u);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(bytes[12], 176);
    pair.b.protocol.sendVideoSettings(VideoDirection::Incoming, r);
    pair.exchange();
    ASSERT_EQ(videoA.outgoing.size(), 1u);
    auto expected = r;
    expected.set(VideoSetting::Fresh, 0);
    EXPECT_EQ(videoA.outgoing[0], expected);
    EXPECT_EQ(pair.b.port.sentLog.back(), "Your Video Settings");

    pair.a.protocol.sendVideoSettings(VideoDirection::Outgoing, r);
    pair.exchange();
    ASSERT_EQ(videoB.incoming.size(), 1u);
    VideoSettingsRecord read;
    pair.b.protocol.video().readSettings(VideoDirection::Incoming, read);
    EXPECT_EQ(read, expected);

    std::string shortRecord = "<MyVideoSettings>" + std::string(47, '\x7f');
    pair.b.protocol.onCommandFrame(shortRecord);
    EXPECT_EQ(videoB.incoming.size(), 1u);
}

TEST_F(VideoTest, DamagedKeyFrameAsksOnceDeltaFrameSilently) {
    openAtoB();
    std::vector<std::uint8_t> frame(500, 0x33);
    int frames = 0;
    pair.filter = [&](bool fromA, SentFrame& f) {
        if (fromA && (f.type == FrameType::Video || f.type == FrameType::VideoKey)) {
            ++frames;
            f.payload[10] ^= 1;
        }
        return true;
    };
    pair.a.protocol.sendVideo(frame.data(), frame.size(), false);
    pair.exchange();
    pair.exchange();
    EXPECT_EQ(videoA.keyRequests, 0);
    pair.a.protocol.sendVideo(frame.data(), frame.size(), true);
    pair.exchange();
    pair.exchange();
    EXPECT_EQ(videoA.keyRequests, 1);
    EXPECT_EQ(pair.b.port.damaged, 2);
    EXPECT_TRUE(queueB.empty());
}

TEST_F(VideoTest, NothingSentWithAFullOutputQueueOrOnHold) {
    openAtoB();
    std::vector<std::uint8_t> frame(100, 1);
    pair.a.port.outputQueue = 201;
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(pair.a.protocol.sendVideo(frame.data(), frame.size(), false), 0);
    pair.a.port.outputQueue = 200;
    EXPECT_EQ(pair.a.protocol.sendVideo(frame.data(), frame.size(), false), 1);
    pair.b.protocol.setHold(HoldSide::Local, true);
    pair.exchange();
    EXPECT_EQ(pair.a.protocol.sendVideo(frame.data(), frame.size(), false), 0);
    auto before = pair.a.port.history.size();
    pair.a.protocol.sendVideoSettings(VideoDirection::Outgoing, sampleRecord());
    EXPECT_EQ(pair.a.port.history.size(), before);
    // The hold's end reaches the peer too; a frame too large for a video frame is refused.
    pair.b.protocol.setHold(HoldSide::Local, false);
    pair.exchange();
    EXPECT_EQ(pair.a.protocol.sendVideo(frame.data(), frame.size(), false), 1);
    std::vector<std::uint8_t> huge(16383 - 22, 0);
    EXPECT_EQ(pair.a.protocol.sendVideo(huge.data(), huge.size(), false), 0);
}

}  // namespace
}  // namespace krl::test
