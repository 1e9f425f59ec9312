// The logic behind the local window's Video Format and Video Source dialogs and its menu:
// which picture sizes a camera can be asked for, how the camera is taken again after the
// dialog, and which menu entries a user sees in each state.
#include <gtest/gtest.h>

#include "FakeVideoPort.h"
#include "video/CaptureFormats.h"
#include "video/LocalMenuRules.h"
#include "video/LocalVideoStep.h"

namespace {

using namespace videotest;

std::vector<PictureSize> sizes(std::initializer_list<PictureSize> list) {
    return list;
}

TEST(CaptureFormats, OfferedSizesFitTheBoxKeepTheirShapeAndSkipNonsense) {
    const auto offered = CaptureFormats::offered(sizes({{640, 480}, {1280, 720}}));
    // 4:3 frames fill 176 wide only at 132 lines, cut to a multiple of 8; 16:9 ones stay flat.
    const auto expected = sizes(
        {{176, 128}, {160, 120}, {176, 96}, {160, 88}, {128, 96}, {128, 72}, {96, 72}, {96, 48}});
    EXPECT_EQ(offered, expected);
    for (PictureSize s : offered) {
        EXPECT_LE(s.width, 176);
        EXPECT_LE(s.height, 144);
        EXPECT_EQ(s.width % 8, 0);
        EXPECT_EQ(s.height % 8, 0);
    }
    // Small frames as they are; nonsense sizes ignored.
    EXPECT_EQ(CaptureFormats::offered(sizes({{160, 120}, {0, 480}, {-5, 10}, {160, 120}})),
              sizes({{160, 120}}));
    EXPECT_EQ(CaptureFormats::offered(CaptureFormats::standardSizes()),
              CaptureFormats::standardSizes());
    EXPECT_TRUE(CaptureFormats::offered({}).empty());
    // A device that claims an absurd frame still yields a picture that can be sent.
    for (PictureSize s : CaptureFormats::offered(sizes({{32768, 1}})))
        EXPECT_TRUE(s.width <= 176 && s.height >= 8) << s.width << "x" << s.height;
}

TEST(CaptureFormats, TheCameraFrameAndTheDialogsPreselectionForAPictureSize) {
    const auto device = sizes({{1280, 960}, {640, 480}, {1280, 720}, {320, 240}});
    EXPECT_EQ(CaptureFormats::deviceSizeFor(device, {160, 120}), (PictureSize{320, 240}));
    EXPECT_EQ(CaptureFormats::deviceSizeFor(device, {160, 88}), (PictureSize{1280, 720}));
    EXPECT_FALSE(CaptureFormats::deviceSizeFor(device, {176, 144}).has_value());
    EXPECT_FALSE(CaptureFormats::deviceSizeFor({}, {160, 120}).has_value());
    // The dialog preselects the size in use, or the largest smaller one.
    const auto offered = CaptureFormats::standardSizes();  // 176x144, 160x120, 128x96, 96x72
    EXPECT_EQ(CaptureFormats::indexFor(offered, {160, 120}), 1);
    EXPECT_EQ(CaptureFormats::indexFor(offered, {150, 100}), 2);
    EXPECT_EQ(CaptureFormats::indexFor(offered, {40, 40}), 0);
    EXPECT_EQ(CaptureFormats::indexFor({}, {160, 120}), 0);
}

class SourceChosen : public LocalStepTest {
protected:
    void SetUp() override {
        useDriver("Camera A");
        ASSERT_TRUE(step.open());
        ASSERT_TRUE(step.startCapture(0));
    }
    void startSending() {
        LocalStepTest::startSending();
        step.step(20);
        ASSERT_EQ(port.frames.size(), 1u);
    }
};

TEST_F(SourceChosen, ANewSizeReopensThePaneAndTellsThePeerWhatTheCameraDelivers) {
    startSending();
    EXPECT_TRUE(step.sourceChosen("Camera A", {176, 144}));
    // The camera's 4:3 frames give 176x128, not the 176x144 asked for.
    EXPECT_EQ(sizeOf(step.record()), std::make_pair(176u, 128u));
    EXPECT_TRUE(device.sendingOpen);
    ASSERT_EQ(port.count("<MyVideoSettings>"), 1);
    EXPECT_EQ(sizeOf(port.settingsSent.back()), std::make_pair(176u, 128u));
    // The next frame is a whole picture at the new size.
    step.step(30);
    ASSERT_EQ(port.keys.size(), 2u);
    EXPECT_TRUE(port.keys.back());
    EXPECT_TRUE(step.isSending());
}

TEST_F(SourceChosen, NothingGoesToThePeerWhileHeldOrWithoutACall) {
    step.setHoldMark(1, true);
    EXPECT_TRUE(step.sourceChosen("Camera A", {128, 96}));
    EXPECT_EQ(sizeOf(step.record()), std::make_pair(128u, 96u));
    port.isConnected = false;
    step.setHoldMark(1, false);
    EXPECT_TRUE(step.sourceChosen("Camera A", {96, 72}));
    EXPECT_EQ(port.count("<MyVideoSettings>"), 0);
}

TEST_F(SourceChosen, ADriverThatFailsGivesTheOldOneBackOrEndsCapturingWhenThatFailsToo) {
    startSending();
    device.brokenDrivers = {"Camera B"};
    EXPECT_FALSE(step.sourceChosen("Camera B", {160, 120}));
    EXPECT_EQ(step.options().driver, "Camera A");
    EXPECT_EQ(device.restarts, (std::vector<std::string>{"Camera B", "Camera A"}));
    EXPECT_EQ(step.state(), CaptureState::Camera);
    EXPECT_TRUE(step.isSending());
    EXPECT_TRUE(device.sendingOpen);

    // When the old one fails too, capturing and sending end.
    device.brokenDrivers = {"Camera A", "Camera B"};
    const int settingsSent = port.count("<MyVideoSettings>");
    EXPECT_FALSE(step.sourceChosen("Camera B", {160, 120}));
    EXPECT_EQ(step.state(), CaptureState::Open);
    EXPECT_FALSE(step.isSending());
    EXPECT_EQ(port.count("<CloseMyVideo>"), 1);
    EXPECT_EQ(port.count("<MyVideoSettings>"), settingsSent);
}

// "None" itself is chosen through the dialog in the window test.
TEST_F(SourceChosen, AChoiceOutsideCameraCaptureWaitsForTheNextStart) {
    EXPECT_TRUE(step.sourceChosen("None", {160, 120}));
    EXPECT_FALSE(device.capturing);
    EXPECT_TRUE(step.sourceChosen("Camera B", {128, 96}));
    EXPECT_TRUE(device.restarts.empty());
    EXPECT_EQ(step.options().driver, "Camera B");
    EXPECT_EQ(sizeOf(step.record()), std::make_pair(128u, 96u));
}

TEST_F(SourceChosen, APausedCameraIsTakenAgainAndStaysPaused) {
    step.togglePause();
    EXPECT_TRUE(step.sourceChosen("Camera A", {128, 96}));
    EXPECT_EQ(device.restarts.size(), 1u);
    EXPECT_EQ(step.state(), CaptureState::Paused);
}

LocalMenuRules rules(CaptureState state, bool connected, bool sending = false,
                     bool noDriver = false, bool recording = false) {
    return LocalMenuRules::from({state, connected, sending, noDriver, recording});
}

TEST(LocalMenu, EntriesRemovedOrGreyedByCaptureCallAndDriver) {
    // No call: capturing greys Send rather than removing it; no driver greys Capture.
    auto alone = rules(CaptureState::Camera, false);
    EXPECT_FALSE(alone.capture.shown || alone.stopSending.shown);
    EXPECT_TRUE(alone.send.shown && !alone.send.enabled);
    EXPECT_FALSE(rules(CaptureState::Open, false, false, true).capture.enabled);
    // In a call: sending leaves only Stop Sending of the four; idle without a driver greys both.
    auto sending = rules(CaptureState::Camera, true, true);
    EXPECT_FALSE(sending.send.shown || sending.capture.shown || sending.stopCapture.shown);
    EXPECT_TRUE(sending.stopSending.shown);
    auto idle = rules(CaptureState::Open, true, false, true);
    EXPECT_FALSE(idle.capture.enabled || idle.send.enabled || idle.pause.enabled);
    // The driver's dialogs, recording and snapshots: greyed up to file playback.
    auto file = rules(CaptureState::File, true);
    EXPECT_FALSE(file.videoFormat.enabled || file.videoSource.enabled || file.record.enabled ||
                 file.snapshot.enabled);
    auto camera = rules(CaptureState::Camera, true);
    EXPECT_TRUE(camera.videoFormat.enabled && camera.videoSource.enabled);
    // Check marks: Pause while paused, Record while recording and capturing.
    EXPECT_TRUE(rules(CaptureState::Paused, false).pause.checked);
    EXPECT_TRUE(rules(CaptureState::Camera, false, false, false, true).record.checked);
    EXPECT_FALSE(rules(CaptureState::Open, false, false, false, true).record.checked);
}

}  // namespace
