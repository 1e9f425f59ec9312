#include <gtest/gtest.h>

#include "FakeVideoPort.h"
#include "video/LocalVideoStep.h"
#include "video/RemoteVideoStep.h"

namespace {

using namespace videotest;

class LocalStep : public LocalStepTest {
protected:
    void SetUp() override { useDriver("Test Pattern"); }
};

TEST_F(LocalStep, OffersWithAutoSendSendsOneKeyFrameFirstAndWaitsForAFullQueue) {
    startSending();
    EXPECT_EQ(port.count("<VideoOpen>"), 1);
    step.step(20);
    step.step(30);
    ASSERT_EQ(port.frames.size(), 2u);
    EXPECT_TRUE(port.keys[0]);
    EXPECT_FALSE(port.keys[1]);
    EXPECT_EQ(step.counters().frames, 2u);
    EXPECT_EQ(step.counters().bytes, 80u);
    EXPECT_EQ(step.statusText(), "Sending");

    // A full output queue skips the whole step, the grab included.
    port.queueBytes = 201;
    for (int i = 0; i < 50; ++i)
        step.step(40 + i);
    EXPECT_EQ(port.frames.size(), 2u);
    EXPECT_EQ(device.grabsForSending, 2);
    port.queueBytes = 200;
    step.step(100);
    EXPECT_EQ(port.frames.size(), 3u);
}

TEST_F(LocalStep, AutoSendOffOrCaptureFailureLeavesTheOutgoingStateIdle) {
    step.setOptions({"Test Pattern", false, "", false});
    ASSERT_TRUE(step.open());
    ASSERT_TRUE(step.startCapture(0));
    EXPECT_EQ(port.out, OutgoingVideoState::Idle);
    port.out = OutgoingVideoState::IdleAfterReset;  // a new call
    step.step(5);
    EXPECT_EQ(port.out, OutgoingVideoState::Idle);
    EXPECT_EQ(port.count("<VideoOpen>"), 0);

    FakeVideoPort port2;
    FakeLocalDevice broken;
    broken.startWorks = false;
    LocalVideoStep other(port2, broken);
    other.setOptions({"Camera", false, "", true});
    ASSERT_TRUE(other.open());
    port2.out = OutgoingVideoState::IdleAfterReset;
    EXPECT_FALSE(other.startCapture(0));
    EXPECT_EQ(other.state(), CaptureState::Open);
    EXPECT_EQ(port2.out, OutgoingVideoState::Idle);
}

// The step runs every 5 ms during a call. A picture shown and not sent is taken 25 times a
// second, not at every step; the pictures sent are not held back by that.
TEST_F(LocalStep, APreviewDuringACallIsPacedAndSendingIsNot) {
    step.setOptions({"Test Pattern", false, "", false});
    ASSERT_TRUE(step.open());
    ASSERT_TRUE(step.startCapture(0));
    for (std::uint64_t t = 5; t <= 1000; t += 5)
        step.step(t);
    EXPECT_GE(device.grabs, 25);
    EXPECT_LE(device.grabs, 26);
    EXPECT_EQ(device.grabsForSending, 0);

    ASSERT_TRUE(step.send(1000));
    port.out = OutgoingVideoState::Sending;
    for (std::uint64_t t = 1005; t <= 1100; t += 5)
        step.step(t);
    EXPECT_EQ(device.grabsForSending, 20);
}

TEST_F(LocalStep, NothingOpensWithoutADriverOrFile) {
    step.setOptions({"None", false, "", true});
    EXPECT_FALSE(step.open());
    step.setOptions({"", true, "/tmp/clip.avi", true});
    EXPECT_TRUE(step.open());
    EXPECT_TRUE(step.startCapture(0));
    EXPECT_EQ(step.state(), CaptureState::File);
}

// The peer's picture was left behind while paused: the first frame after is a whole one.
TEST_F(LocalStep, PauseHereOrByThePeerStopsFramesAndResumeSendsAKeyFrame) {
    startSending();
    step.step(20);
    step.togglePause();
    EXPECT_EQ(step.statusText(), "Pausing");
    step.step(30);
    EXPECT_EQ(port.frames.size(), 1u);
    step.togglePause();
    step.step(40);
    ASSERT_EQ(port.frames.size(), 2u);
    EXPECT_TRUE(port.keys[1]);

    port.out = OutgoingVideoState::PausedByPeer;
    step.step(50);
    EXPECT_EQ(port.frames.size(), 2u);
    port.out = OutgoingVideoState::ResumedByPeer;
    step.step(60);
    EXPECT_EQ(port.out, OutgoingVideoState::Sending);
    ASSERT_EQ(port.frames.size(), 3u);
    EXPECT_TRUE(port.keys[2]);
}

TEST_F(LocalStep, HoldGrabsPreviewOnlyAndReleaseAsksForAKeyFrame) {
    startSending();
    step.step(20);
    step.setHoldMark(1, true);
    EXPECT_EQ(step.statusText(), "Put on Hold");
    step.setHoldMark(0, true);
    EXPECT_EQ(step.statusText(), "Hold Call");
    int grabs = device.grabs;
    step.step(30);
    EXPECT_EQ(device.grabs, grabs + 1);
    EXPECT_EQ(port.frames.size(), 1u);
    step.setHoldMark(0, false);
    step.step(40);
    EXPECT_EQ(port.frames.size(), 1u);  // the peer's mark still holds
    step.setHoldMark(1, false);
    step.step(50);
    ASSERT_EQ(port.frames.size(), 2u);
    EXPECT_TRUE(port.keys[1]);
}

TEST_F(LocalStep, DeclineOrCloseByThePeerStopsSending) {
    startSending();
    port.out = OutgoingVideoState::ClosedByPeer;
    step.step(20);
    EXPECT_FALSE(step.isSending());
    EXPECT_FALSE(device.sendingOpen);
    EXPECT_EQ(port.out, OutgoingVideoState::Idle);
    EXPECT_EQ(port.count("<CloseMyVideo>"), 0);
    EXPECT_EQ(step.state(), CaptureState::Camera);  // the preview goes on
}

TEST_F(LocalStep, PeerSettingsAreAppliedAndAnswered) {
    startSending();
    VideoSettingsRecord asked;
    asked.values = {3, 50, 60, 320, 240, 0, 0, 0, 1, 1, 1, 999};
    step.peerAskedFor(asked);
    step.step(20);
    ASSERT_EQ(device.applied.size(), 1u);
    const VideoSettingsRecord& r = step.record();
    EXPECT_EQ(r.get(VideoSetting::RefreshPercentage), 3u);
    EXPECT_EQ(r.get(VideoSetting::ChangeSensitivity), 50u);
    EXPECT_EQ(r.get(VideoSetting::PictureQuality), 60u);
    EXPECT_EQ(r.get(VideoSetting::MeanRemovedChange), 1u);
    EXPECT_EQ(r.get(VideoSetting::Width), 160u);  // the size is ours unless we take the peer's
    EXPECT_EQ(r.get(VideoSetting::BytesPerFrame), 150u);
    ASSERT_EQ(port.count("<MyVideoSettings>"), 1);

    VideoSettingsRecord mine = step.record();
    mine.set(VideoSetting::AcceptPeerSize, 1);
    step.setRecord(mine);
    step.peerAskedFor(asked);
    step.step(30);
    EXPECT_EQ(step.record().get(VideoSetting::Width), 176u);
    EXPECT_EQ(step.record().get(VideoSetting::Height), 144u);
}

TEST_F(LocalStep, CloseTellsThePeerAndStopsEverything) {
    startSending();
    step.step(20);
    step.close(30);
    EXPECT_EQ(step.state(), CaptureState::Closed);
    EXPECT_FALSE(device.capturing);
    EXPECT_GE(port.count("<CloseMyVideo>"), 1);
    EXPECT_EQ(port.out, OutgoingVideoState::Idle);
    // Not connected: a preview only, nothing sent.
    FakeVideoPort offline;
    offline.isConnected = false;
    FakeLocalDevice d;
    LocalVideoStep s(offline, d);
    s.setOptions({"Test Pattern", false, "", true});
    ASSERT_TRUE(s.open());
    ASSERT_TRUE(s.startCapture(0));
    s.step(1);
    EXPECT_EQ(d.grabs, 1);
    EXPECT_TRUE(offline.said.empty());
}

class RemoteStep : public ::testing::Test {
protected:
    FakeVideoPort port;
    FakeRemoteDevice device;
    FakeQuestion question;
    RemoteVideoStep step{port, device, question};

    void SetUp() override {
        VideoSettingsRecord r;
        r.values = {2, 40, 40, 160, 120, 1, 1, 0, 0, 1, 0, 0};
        step.setRecord(r);
        step.open();
    }
    void receive(std::size_t size, std::uint64_t now) {
        ASSERT_NE(port.queue, nullptr);
        port.queue->push(std::vector<std::uint8_t>(size, 1));
        step.step(now);
    }
};

TEST_F(RemoteStep, AcceptsWithoutPromptShowsFramesAndLimitsThePeersSize) {
    port.in = IncomingVideoState::Offered;
    step.step(100);
    EXPECT_EQ(question.asked, 0);
    EXPECT_EQ(port.said, (std::vector<std::string>{"<OkVideoOpen>", "<YourVideoSettings>"}));
    EXPECT_EQ(port.in, IncomingVideoState::Receiving);
    EXPECT_TRUE(device.open);
    EXPECT_EQ(step.statusText(), "Receiving");
    receive(30, 200);
    receive(50, 300);
    EXPECT_EQ(device.shown.size(), 2u);
    EXPECT_EQ(step.framesPerSecondText(), "0");
    receive(40, 1100);
    EXPECT_EQ(step.framesPerSecondText(), "3.00");
    EXPECT_EQ(step.bytesPerFrameText(), "40");

    // The size the peer reports is limited; the sliders' values are sent.
    VideoSettingsRecord reported;
    reported.values = {2, 40, 40, 320, 240, 0, 0, 0, 0, 0, 0, 0};
    step.peerReported(reported);
    step.step(1200);
    ASSERT_EQ(device.applied.size(), 1u);
    EXPECT_EQ(sizeOf(step.record()), std::make_pair(176u, 144u));
    step.setSliders(90, 1);
    EXPECT_EQ(step.record().get(VideoSetting::PictureQuality), 80u);
    EXPECT_EQ(step.record().get(VideoSetting::ChangeSensitivity), 2u);
    EXPECT_EQ(port.settingsSent.back(), step.record());
}

TEST_F(RemoteStep, AnAnswerAfterTheCallMovedOnDoesNothing) {
    step.setPromptWhenReceive(true);
    port.in = IncomingVideoState::Offered;
    step.step(1);
    port.in = IncomingVideoState::ClosedByPeer;  // the peer gave up meanwhile
    question.pending(true);
    EXPECT_TRUE(port.said.empty());
    EXPECT_FALSE(device.open);
    // And after the window is gone.
    port.in = IncomingVideoState::Offered;
    std::function<void(bool)> late;
    {
        FakeRemoteDevice d;
        RemoteVideoStep s(port, d, question);
        s.setPromptWhenReceive(true);
        s.step(1);
        late = question.pending;
    }
    late(true);  // must not touch the destroyed step
}

TEST_F(RemoteStep, PauseCountsButDropsAndResumeShowsAgain) {
    port.in = IncomingVideoState::Offered;
    step.step(0);
    step.togglePause();
    EXPECT_EQ(port.in, IncomingVideoState::Paused);
    EXPECT_EQ(port.count("<VIDEORPAUSE>"), 1);
    EXPECT_EQ(step.statusText(), "Pausing");
    // A frame that was already queued when the pause began is counted and dropped.
    port.queue->push({1, 2, 3});
    port.in = IncomingVideoState::Receiving;  // as the link would hold it for one more step
    step.step(10);
    EXPECT_TRUE(device.shown.empty());
    EXPECT_EQ(step.totals().frames, 1u);
    step.togglePause();
    EXPECT_EQ(port.count("<VIDEORRESUME>"), 1);
    EXPECT_EQ(port.in, IncomingVideoState::Receiving);
    receive(20, 20);
    EXPECT_EQ(device.shown.size(), 1u);
}

TEST_F(RemoteStep, HoldAndCloseByThePeerOrByTheWindow) {
    port.in = IncomingVideoState::Offered;
    step.setHoldMark(1, true);
    step.step(0);
    EXPECT_TRUE(port.said.empty());
    EXPECT_EQ(step.statusText(), "Put on Hold");
    step.setHoldMark(1, false);
    step.step(1);
    EXPECT_EQ(port.in, IncomingVideoState::Receiving);
    port.in = IncomingVideoState::ClosedByPeer;
    step.step(2);
    EXPECT_EQ(port.in, IncomingVideoState::Idle);
    EXPECT_EQ(step.state(), RemoteWindowState::Open);
    EXPECT_FALSE(device.open);
    EXPECT_EQ(port.queue, nullptr);
    EXPECT_EQ(port.count("<CloseYourVideo>"), 0);
    port.in = IncomingVideoState::Offered;
    step.step(3);
    step.close();
    EXPECT_EQ(port.count("<CloseYourVideo>"), 1);
    EXPECT_EQ(step.state(), RemoteWindowState::Closed);
}

}  // namespace
