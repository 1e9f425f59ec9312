#include <gtest/gtest.h>

#include <filesystem>

#include "PictureCompare.h"
#include "fakes/TempFolder.h"
#include "video/BmpFile.h"
#include "video/FramePacer.h"
#include "video/PieceSplitter.h"
#include "video/SettingsChange.h"
#include "video/SnapshotFile.h"
#include "video/StatisticsFigures.h"
#include "video/TestPatternSource.h"
#include "video/VideoPane.h"
#include "video/VideoRates.h"

namespace {

using namespace krl;
namespace fs = std::filesystem;

std::vector<std::uint8_t> piece(std::size_t length, std::size_t claimed) {
    std::vector<std::uint8_t> p(length, 0x55);
    p[0] = 1;
    p[1] = static_cast<std::uint8_t>(claimed >> 8);
    p[2] = static_cast<std::uint8_t>(claimed);
    return p;
}

TEST(PieceSplitter, SplitsBackToBackPiecesAndStopsAtHostileLengths) {
    std::vector<std::uint8_t> frame = piece(20, 20);
    auto second = piece(11, 11);
    frame.insert(frame.end(), second.begin(), second.end());
    auto pieces = PieceSplitter::split(frame);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].size(), 20u);
    EXPECT_EQ(pieces[1].size(), 11u);

    // A zero length, a length below the header, one beyond the end, a cut header: the pieces
    // before them are kept and splitting ends.
    for (std::size_t claimed : {0u, 1u, 10u, 40u, 65535u}) {
        std::vector<std::uint8_t> f = piece(20, 20);
        auto bad = piece(15, claimed);
        f.insert(f.end(), bad.begin(), bad.end());
        EXPECT_EQ(PieceSplitter::split(f).size(), 1u) << claimed;
    }
    std::vector<std::uint8_t> cut = piece(20, 20);
    cut.resize(30);  // ten bytes of a second header
    EXPECT_EQ(PieceSplitter::split(cut).size(), 1u);
    EXPECT_TRUE(PieceSplitter::split({}).empty());
    // Two pieces whose lengths add up to more than the frame: only the first.
    std::vector<std::uint8_t> over = piece(20, 20);
    auto tail = piece(12, 13);
    over.insert(over.end(), tail.begin(), tail.end());
    EXPECT_EQ(PieceSplitter::split(over).size(), 1u);
}

TEST(VideoRates, FiguresKeepTheirDecimalsAndLimits) {
    EXPECT_EQ(VideoRates::formatFramesPerSecond(12, 5000), "2.40");
    EXPECT_EQ(VideoRates::formatFramesPerSecond(21, 10000), "2.10");
    EXPECT_EQ(VideoRates::formatFramesPerSecond(41, 20000), "2.05");
    EXPECT_EQ(VideoRates::formatFramesPerSecond(15, 1000), "15.00");
    EXPECT_EQ(VideoRates::formatFramesPerSecond(0, 1000), "0");
    EXPECT_EQ(VideoRates::formatFramesPerSecond(5, 0), "0");
    // Counts far past 32 bits.
    EXPECT_EQ(VideoRates::formatFramesPerSecond(6000000000ull, 1000000000000ull), "6.00");
    EXPECT_EQ(VideoRates::bytesPerFrame(5000000000ull, 1000), 5000000u);
    EXPECT_EQ(VideoRates::transferCps(3000000000ull, 3000000), 1000000u);
    EXPECT_EQ(VideoRates::transferCps(1000, 999), 0u);
    // Utilisation is capped, and a line of speed 0 is full once anything is sent.
    EXPECT_EQ(VideoRates::utilisationPercent(100, 1000, 0, 28800), 27u);  // 1000 B/s of 3600
    EXPECT_EQ(VideoRates::utilisationPercent(1000, 10000, 5000, 9600), 100u);
    EXPECT_EQ(VideoRates::utilisationPercent(10, 100, 0, 0), 100u);
    EXPECT_EQ(VideoRates::utilisationPercent(0, 0, 0, 0), 0u);
}

TEST(StatisticsTexts, FiguresWhileConnectedAndTheInitialTextsOtherwise) {
    StatisticsInput in;
    in.lineBitsPerSecond = 28800;
    in.name = "Ann";
    in.phone = "555";
    in.sending = {true, 5000, 500, true, 41, 41 * 300, 20000, 3};
    in.receiving = {true, 3000000000ull, 1000000000ull, false, 99, 99, 1000, 7};
    StatisticsTexts t = StatisticsTexts::from(in);
    EXPECT_EQ(t.speed, "0 bps");
    EXPECT_EQ(t.name, "");
    EXPECT_EQ(t.sending.framesPerSecond, "0");
    EXPECT_EQ(t.receiving.packetErrors, "0");

    in.connected = true;
    t = StatisticsTexts::from(in);
    EXPECT_EQ(t.speed, "28800 bps");
    EXPECT_EQ(t.sending.framesPerSecond, "2.05");
    EXPECT_EQ(t.sending.bytesPerFrame, "300");
    EXPECT_EQ(t.sending.transferCps, "0");   // under a second
    EXPECT_EQ(t.sending.utilisation, "17");  // 615 B/s of 3600
    EXPECT_EQ(t.sending.packetErrors, "3");
    EXPECT_EQ(t.receiving.framesPerSecond, "0");  // video not flowing
    EXPECT_EQ(t.receiving.transferCps, "3000");
    EXPECT_EQ(t.receiving.utilisation, "83");
    EXPECT_EQ(t.receiving.packetErrors, "7");
}

TEST(SettingsChange, CompressorValuesOrRebuild) {
    VideoSettingsRecord a;
    a.values = {2, 40, 40, 160, 120, 1, 1, 1, 0, 0, 0, 150};
    VideoSettingsRecord b = a;
    EXPECT_EQ(SettingsChange::between(a, b, true).kind, SettingsChange::Kind::Nothing);
    b.set(VideoSetting::ChangeSensitivity, 50);
    b.set(VideoSetting::PictureQuality, 60);
    auto c = SettingsChange::between(a, b, true);
    ASSERT_EQ(c.kind, SettingsChange::Kind::CompressorValues);
    ASSERT_EQ(c.values.size(), 2u);
    EXPECT_EQ(c.values[0].attribute, static_cast<std::uint32_t>(VC_C_QUALITY));
    EXPECT_EQ(c.values[0].value, 60u);
    EXPECT_EQ(c.values[1].attribute, static_cast<std::uint32_t>(VC_C_CHANGE));
    EXPECT_EQ(SettingsChange::between(a, b, false).kind, SettingsChange::Kind::Nothing);
    b.set(VideoSetting::Width, 176);
    EXPECT_EQ(SettingsChange::between(a, b, true).kind, SettingsChange::Kind::Rebuild);
    EXPECT_EQ(SettingsChange::between(a, b, false).kind, SettingsChange::Kind::Rebuild);
}

TEST(VideoPane, CompressedFramesExpandToTheSourcePicture) {
    VideoSettingsRecord r;
    r.values = {2, 40, 80, 160, 120, 1, 1, 0, 0, 0, 0, 0};
    VideoPane sender, receiver;
    sender.open(VideoPane::kSendCapture, r, 0);
    receiver.open(VideoPane::kReceive, r, 0);
    Picture source;
    for (int f = 0; f < 6; ++f) {
        TestPatternSource::draw(160, 120, static_cast<std::uint64_t>(f) * 100, source);
        sender.enqueuePicture(source);
        auto frame = sender.takeCompressed(f == 0);
        ASSERT_FALSE(frame.empty());
        EXPECT_LT(frame.size(), source.imageBytes());
        receiver.enqueueFrame(frame);
        ASSERT_TRUE(receiver.expandNext());
    }
    EXPECT_EQ(receiver.framesExpanded(), 6u);
    EXPECT_EQ(receiver.display().width, 160);
    EXPECT_GT(videotest::lumaPsnr(receiver.display(), source), 28.0);
}

TEST(VideoPane, HostileFramesDoNotHurtTheDisplay) {
    VideoSettingsRecord r;
    r.values = {2, 40, 40, 160, 120, 1, 1, 0, 0, 0, 0, 0};
    VideoPane receiver;
    receiver.open(VideoPane::kReceive, r, 0);
    std::uint32_t seed = 7;
    for (int i = 0; i < 300; ++i) {
        std::vector<std::uint8_t> f(static_cast<std::size_t>(i % 97) + 1);
        for (auto& b : f) {
            seed = seed * 1103515245 + 12345;
            b = static_cast<std::uint8_t>(seed >> 16);
        }
        // Every third frame is bare noise for the splitter; the others are one piece claiming
        // the whole frame, so the noise reaches the own-format reader (with a header it accepts:
        // a valid quantiser and any grid up to 22 x 18 blocks) or the H.263 reader.
        if (f.size() > 11 && i % 3 != 0) {
            f[0] = i % 3 == 1 ? 1 : 0;
            f[1] = 0;
            f[2] = static_cast<std::uint8_t>(f.size());
            if (f[0] == 1) {
                f[4] = static_cast<std::uint8_t>(1 + f[4] % 32);
                f[5] = static_cast<std::uint8_t>(1 + f[5] % 22);
                f[6] = static_cast<std::uint8_t>(1 + f[6] % 18);
                f[7] = 0;
            }
        }
        receiver.enqueueFrame(f);
        receiver.expandNext();
    }
    EXPECT_EQ(receiver.display().bits.size(), receiver.display().imageBytes());
    EXPECT_LE(receiver.display().width, 176);
    EXPECT_LE(receiver.display().height, 144);
}

TEST(VideoPane, PaletteDisplaySwitchesToEightBitsAfterTenFrames) {
    VideoSettingsRecord r;
    r.values = {2, 40, 60, 160, 120, 1, 0, 1, 0, 0, 0, 0};
    VideoPane sender, receiver;
    sender.open(VideoPane::kSendCapture, r, 0);
    receiver.open(VideoPane::kReceive, r, 0);
    Picture source;
    for (int f = 0; f < 11; ++f) {
        TestPatternSource::draw(160, 120, static_cast<std::uint64_t>(f) * 40, source);
        sender.enqueuePicture(source);
        receiver.enqueueFrame(sender.takeCompressed(f == 0));
        receiver.expandNext();
        EXPECT_EQ(receiver.display().bitCount, f + 1 >= 10 ? 8 : 24) << f;
    }
    EXPECT_EQ(receiver.display().colours.size(), 256u);
}

class TempDir : public ::testing::Test {
protected:
    test::TempFolder folder;
    const fs::path& dir = folder.path();
    void touch(const fs::path& p, const std::string& text = "mine") { test::writeText(p, text); }
    std::string read(const fs::path& p) { return test::readText(p); }
};

TEST_F(TempDir, SnapshotNamesAndBitmapFiles) {
    touch(dir / "snapshot0.bmp");
    touch(dir / "snapshot1.bmp");
    std::string name = SnapshotFile::nextFreeName(dir.string());
    EXPECT_EQ(fs::path(name).filename(), "snapshot2.bmp");
    EXPECT_EQ(SnapshotFile::temporaryName("/a/b.bmp"), "/a/b.tmp");
    EXPECT_EQ(SnapshotFile::temporaryName(".bm"), ".bm");

    Picture p;
    TestPatternSource::draw(40, 24, 500, p);
    ASSERT_TRUE(BmpFile::write(name, p));
    EXPECT_EQ(fs::file_size(name), 14u + 40u + 40u * 24u * 3u);
    Picture back;
    ASSERT_TRUE(BmpFile::read(name, back));
    EXPECT_EQ(back.bits, p.bits);
    Picture odd;  // rows of 3 x 3 bytes are padded to 12 in the file
    TestPatternSource::draw(8, 8, 0, odd);
    odd.width = 3;
    odd.height = 3;
    odd.bits.resize(27);
    ASSERT_TRUE(BmpFile::write((dir / "odd.bmp").string(), odd));
    EXPECT_EQ(fs::file_size(dir / "odd.bmp"), 54u + 36u);
    ASSERT_TRUE(BmpFile::read((dir / "odd.bmp").string(), back));
    EXPECT_EQ(back.bits, odd.bits);
    EXPECT_FALSE(BmpFile::read((dir / "snapshot0.bmp").string(), back));
}

TEST_F(TempDir, SnapshotCancelLeavesNothingAndNeverTouchesTheUsersFiles) {
    const fs::path shot = dir / "snapshot0.bmp";
    touch(shot, "picture");
    touch(dir / "snapshot0.tmp", "user's own tmp");
    SnapshotFile s;
    ASSERT_TRUE(s.take(shot.string()));
    EXPECT_FALSE(fs::exists(shot));
    EXPECT_EQ(read(dir / "snapshot0.tmp"), "user's own tmp");
    s.chooseTarget((dir / "chosen.bmp").string());
    s.chooseTarget("*.*");  // changes nothing
    EXPECT_EQ(s.target(), (dir / "chosen.bmp").string());
    s.discard();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    // OK with a typed name of an existing file is refused; the user's file stays.
    touch(shot, "picture");
    touch(dir / "keep.bmp", "precious");
    SnapshotFile t;
    ASSERT_TRUE(t.take(shot.string()));
    EXPECT_FALSE(t.keep((dir / "keep.bmp").string()));
    EXPECT_EQ(read(dir / "keep.bmp"), "precious");
    EXPECT_TRUE(t.keep(shot.string()));
    EXPECT_EQ(read(shot), "picture");

    // Save As onto a file the user confirmed replaces it only at OK; Cancel leaves it.
    touch(dir / "s1.bmp", "new");
    SnapshotFile u;
    ASSERT_TRUE(u.take((dir / "s1.bmp").string()));
    u.chooseTarget((dir / "keep.bmp").string());
    u.discard();
    EXPECT_EQ(read(dir / "keep.bmp"), "precious");
    touch(dir / "s2.bmp", "new");
    SnapshotFile v;
    ASSERT_TRUE(v.take((dir / "s2.bmp").string()));
    v.chooseTarget((dir / "keep.bmp").string());
    EXPECT_TRUE(v.keep((dir / "keep.bmp").string()));
    EXPECT_EQ(read(dir / "keep.bmp"), "new");
}

TEST(FramePacer, FileFramesFollowTheClock) {
    const std::uint64_t at15 = 1000000 / 15;  // 66666 us
    EXPECT_EQ(FramePacer::framesToAdvance(5, at15, 190000), 3u);
    EXPECT_EQ(FramePacer::framesToAdvance(5, at15, 60000), 0u);
    EXPECT_EQ(FramePacer::framesToAdvance(5, at15, at15), 1u);
    EXPECT_EQ(FramePacer::framesToAdvance(0, at15, 0), 1u);
    EXPECT_EQ(FramePacer::framesToAdvance(9, 0, 0), 1u);
}

}  // namespace
