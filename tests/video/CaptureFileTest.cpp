// Recording pictures into an AVI file and playing it back as the video source, through FFmpeg.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/ffmpeg/FfmpegCaptureFactory.h"
#include "video/TestPatternSource.h"
#include "video/VideoManager.h"

namespace {

using namespace krl;
namespace fs = std::filesystem;

class FixedTicks : public TickSource {
public:
    std::uint64_t now = 0;
    std::uint64_t nowMs() const override { return now; }
};

double lumaPsnr(const Picture& a, const Picture& b) {
    double se = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const std::uint8_t* p = a.pixelTopDown(x, y);
            const std::uint8_t* q = b.pixelTopDown(x, y);
            double d = (0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]) -
                       (0.114 * q[0] + 0.587 * q[1] + 0.299 * q[2]);
            se += d * d;
        }
    return se == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * a.width * a.height / se);
}

class CaptureFile : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("krl-capture-" + std::to_string(::getpid()));
    FfmpegCaptureFactory factory;
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
};

TEST_F(CaptureFile, RecordedAviPlaysBackAsTheVideoSource) {
    const std::string path = (dir / "recorded.avi").string();
    // Record the outgoing pictures of a capturing manager, as the Record menu entry does.
    FixedTicks ticks;
    VideoManager recorder(factory, ticks);
    recorder.setDriver(CaptureSourceFactory::kTestPattern);
    VideoSettingsRecord record;
    record.values = {2, 40, 40, 160, 120, 1, 1, 0, 0, 0, 0, 150};
    ASSERT_TRUE(recorder.startCapture(false, record));
    std::string error;
    ASSERT_TRUE(recorder.setRecording(true, path, error)) << error;
    std::vector<Picture> recorded;
    for (int i = 0; i < 30; ++i) {
        ticks.now = static_cast<std::uint64_t>(i) * 100;
        recorder.grab(false);
        recorded.push_back(recorder.localPicture());
    }
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

TEST_F(CaptureFile, TimedPlaybackFollowsTheClockAndBadFilesAreRefused) {
    const std::string path = (dir / "clip.avi").string();
    std::string error;
    auto rec = factory.openRecorder(path, 160, 120, 10, error);
    ASSERT_TRUE(rec) << error;
    std::vector<Picture> pictures(20);
    for (int i = 0; i < 20; ++i) {
        TestPatternSource::draw(160, 120, static_cast<std::uint64_t>(i) * 400, pictures[i]);
        ASSERT_TRUE(rec->write(pictures[i]));
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
