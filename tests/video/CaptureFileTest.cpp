// Recording pictures into an AVI file and playing it back as the video source, through FFmpeg.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "PictureCompare.h"
#include "fakes/ManualClock.h"
#include "fakes/TempFolder.h"
#include "platform/ffmpeg/FfmpegCaptureFactory.h"
#include "platform/ffmpeg/VideoStreamReader.h"
#include "video/TestPatternSource.h"
#include "video/VideoManager.h"

namespace {

using namespace krl;
using videotest::lumaPsnr;
namespace fs = std::filesystem;

class CaptureFile : public ::testing::Test {
protected:
    test::TempFolder folder;
    const fs::path& dir = folder.path();
    FfmpegCaptureFactory factory;
    test::ManualClock ticks{0};
    VideoSettingsRecord record = [] {
        VideoSettingsRecord r;
        r.values = {2, 40, 40, 160, 120, 1, 1, 0, 0, 0, 0, 150};
        return r;
    }();

    // The manager captures the test pattern and records its pictures into the file, as the
    // Record menu entry does.
    void startRecording(VideoManager& manager, const std::string& path) {
        manager.setDriver(CaptureSourceFactory::kTestPattern);
        VideoSettingsRecord r = record;
        ASSERT_TRUE(manager.startCapture(false, r));
        std::string error;
        ASSERT_TRUE(manager.setRecording(true, path, error)) << error;
    }
};

TEST_F(CaptureFile, RecordedAviPlaysBackAsTheVideoSource) {
    const std::string path = (dir / "recorded.avi").string();
    VideoManager recorder(factory, ticks);
    startRecording(recorder, path);
    std::vector<Picture> recorded;
    for (int i = 0; i < 30; ++i) {
        // One picture a frame time of the file (15 a second).
        ticks.set((static_cast<std::uint64_t>(i) * 1000 + 14) / 15);
        recorder.grab(false);
        recorded.push_back(recorder.localPicture());
    }
    std::string error;
    ASSERT_TRUE(recorder.setRecording(false, {}, error)) << error;
    ASSERT_GT(fs::file_size(path), 1000u);

    // Played back one picture a grab, the file gives the recorded pictures in order.
    VideoManager player(factory, ticks);
    player.setPlayFile(path, false);
    VideoSettingsRecord r = record;
    ASSERT_TRUE(player.startCapture(true, r)) << player.lastError();
    EXPECT_EQ(r.get(VideoSetting::Width), 160u);
    EXPECT_EQ(r.get(VideoSetting::Height), 120u);
    for (int i = 0; i < 30; ++i) {
        player.grab(false);
        ASSERT_EQ(player.localPicture().width, 160);
        EXPECT_GT(lumaPsnr(player.localPicture(), recorded[static_cast<std::size_t>(i)]), 28.0)
            << "picture " << i;
    }
    // At the end the file starts again at its first picture.
    player.grab(false);
    EXPECT_GT(lumaPsnr(player.localPicture(), recorded[0]), 28.0);
}

// The program grabs pictures from its idle work, as often as it gets round to it: the recorded
// file must still play for as long as the recording ran, at the file's own frame rate.
TEST_F(CaptureFile, RecordingFollowsThePicturesRealTiming) {
    const std::string path = (dir / "timed.avi").string();
    VideoManager manager(factory, ticks);
    startRecording(manager, path);
    std::uint64_t last = 0;
    for (int i = 0; last < 5000; ++i) {
        last = ticks.nowMs();
        manager.grab(false);
        // Uneven gaps, mostly shorter than the file's frame time, now and then longer.
        ticks.advance(i % 7 == 6 ? 150 : 15 + i % 4 * 10);
    }
    std::string error;
    ASSERT_TRUE(manager.setRecording(false, {}, error)) << error;

    VideoStreamReader file;
    ASSERT_TRUE(file.open(path, error)) << error;
    EXPECT_EQ(file.frameTimeUs(), 1000000u / 15);
    int frames = 0;
    for (Picture p; file.readNext(p, 160, 120);)
        ++frames;
    // One frame per started frame time from the first picture to the last, which shows one more.
    EXPECT_EQ(frames, static_cast<int>(last * 15 / 1000) + 1);
}

TEST_F(CaptureFile, TimedPlaybackFollowsTheClockAndBadFilesAreRefused) {
    const std::string path = (dir / "clip.avi").string();
    std::string error;
    auto rec = factory.openRecorder(path, 160, 120, 10, error);
    ASSERT_TRUE(rec) << error;
    std::vector<Picture> pictures(20);
    for (int i = 0; i < 20; ++i) {
        TestPatternSource::draw(160, 120, static_cast<std::uint64_t>(i) * 400, pictures[i]);
        ASSERT_TRUE(rec->write(pictures[i], static_cast<std::uint64_t>(i) * 100));
    }
    ASSERT_TRUE(rec->finish());
    auto source = factory.openFile(path, 176, 144, true, error);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(source->width(), 160);  // smaller pictures are not blown up
    EXPECT_EQ(source->height(), 120);
    Picture p;
    ASSERT_TRUE(source->grab(1000, p));   // frame 0
    ASSERT_TRUE(source->grab(1001, p));   // frame 1: the first step always moves one
    EXPECT_FALSE(source->grab(1050, p));  // less than a frame time (100 ms) later
    ASSERT_TRUE(source->grab(1290, p));   // 289 ms: three started frame times, frame 4
    Picture expected;
    TestPatternSource::draw(160, 120, 4 * 400, expected);
    auto small = factory.openFile(path, 160, 120, false, error);
    ASSERT_TRUE(small);
    Picture q;
    for (int i = 0; i <= 4; ++i)
        ASSERT_TRUE(small->grab(static_cast<std::uint64_t>(i), q));
    EXPECT_GT(lumaPsnr(q, expected), 28.0);

    std::ofstream(dir / "not-a-video.avi") << "RIFF nonsense";
    EXPECT_FALSE(factory.openFile((dir / "not-a-video.avi").string(), 160, 120, true, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(factory.openFile((dir / "missing.avi").string(), 160, 120, true, error));
    EXPECT_EQ(factory.openDriver("None", 160, 120), nullptr);
    EXPECT_NE(factory.openDriver("test pattern", 160, 120), nullptr);
    auto names = factory.driverNames();
    EXPECT_EQ(names.back(), CaptureSourceFactory::kTestPattern);
}

}  // namespace
