// Two real copies of the program on an X server, joined by a linesim cable at 115200 baud,
// with two-way video from the built-in test pattern: A offers, B is asked (message 5120) and
// accepts, then B sends too, and a file A sends meanwhile shares the line with the pictures; A
// picks a smaller picture in the Video Format dialog; pause, resume and hold on both sides (the
// held window plays the hold clip); the statistics dialog shows sane rates. Windows are saved
// as pictures in the build tree for a person to look at.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "ProgramSide.h"
#include "fakes/TempFolder.h"
#include "support/LineSim.h"

using krl::test::kProgramWaitMs;
using krl::test::LineSim;
using krl::test::portArgs;
using krl::test::ProgramSide;
using krl::test::screenshot;
using krl::test::waitUntil;
namespace fs = std::filesystem;

namespace {

// A copy that also answers about its video; one that prompts asks before it takes video.
struct Side : ProgramSide {
    Side(const fs::path& root, const std::string& name, bool promptForVideo)
        : ProgramSide(root, name,
                      promptForVideo ? std::vector<std::string>{"Video\\PromptWhenReceive="
                                                                "@ByteArray(\\x1\\0)"}
                                     : std::vector<std::string>{}) {}
    std::string video(const std::string& command) const { return ask("video " + command); }
    // One value of the video state line.
    std::string value(const std::string& key) const {
        std::istringstream in(video("state"));
        std::string word;
        while (in >> word) {
            if (word.rfind(key + "=", 0) == 0)
                return word.substr(key.size() + 1);
        }
        return {};
    }
    long number(const std::string& key) const {
        std::string v = value(key);
        return v.empty() ? -1 : std::stol(v);
    }
    // More frames arrive within the wait.
    bool receivesMore() const {
        long before = number("received");
        return waitUntil([&] { return number("received") > before + 3; }, 20000);
    }
    bool receivesNothingFor(int ms) const {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // frames in flight
        long before = number("received");
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return number("received") == before;
    }
};

std::string field(const std::string& texts, const std::string& id) {
    std::string key = id + "=";
    std::size_t at = texts.find(key);
    if (at == std::string::npos)
        return {};
    std::size_t end = texts.find('\t', at);
    return texts.substr(at + key.size(), end == std::string::npos ? end : end - at - key.size());
}

}  // namespace

TEST(VideoCall, TwoWayTestPatternWithPauseHoldAndStatistics) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    const krl::test::TempFolder home;
    const fs::path& root = home.path();
    LineSim cable;
    ASSERT_TRUE(cable.ok()) << cable.error();
    Side a(root, "a", false), b(root, "b", true);

    auto listener = a.start(portArgs(cable.pathA(), {"--always-listen"}));
    ASSERT_TRUE(a.reaches("Listening......"));
    auto caller = b.start(portArgs(cable.pathB(), {"--always-listen", "--dial"}));
    ASSERT_TRUE(bothConnected(a, b));

    // A starts video with the test pattern; B is asked and accepts.
    EXPECT_EQ(a.ask("command 4600"), "ok");
    ASSERT_TRUE(b.comesToShow("5120"));
    EXPECT_EQ(b.ask("grab message " + screenshot("video-5120-question")), "ok");
    EXPECT_EQ(b.ask("answer yes"), "ok");
    ASSERT_TRUE(b.receivesMore()) << b.video("state");
    const std::string first = b.video("picture remote");
    ASSERT_TRUE(waitUntil([&] { return b.video("picture remote") != first; }, 20000))
        << "B's picture of A does not move";
    EXPECT_EQ(a.value("localstatus"), "Sending");
    EXPECT_EQ(b.value("remotestatus"), "Receiving");

    // Both directions at once: B sends too, A takes it without asking.
    EXPECT_EQ(b.ask("command 4600"), "ok");
    ASSERT_TRUE(a.receivesMore()) << a.video("state");
    ASSERT_TRUE(b.receivesMore()) << b.video("state");
    ASSERT_TRUE(waitUntil([&] { return a.value("fps") != "0" && b.value("fps") != "0"; }))
        << a.video("state") << " / " << b.video("state");
    EXPECT_EQ(a.video("grab local " + screenshot("video-a-local")), "ok");
    EXPECT_EQ(a.video("grab remote " + screenshot("video-a-remote")), "ok");
    EXPECT_EQ(b.video("grab local " + screenshot("video-b-local")), "ok");
    EXPECT_EQ(b.video("grab remote " + screenshot("video-b-remote")), "ok");

    // A file dropped while the pictures fill the line both ways shares it with them and
    // arrives whole, with the pictures still moving.
    const fs::path sent = root / "during-video.bin";
    krl::test::writeFile(sent, krl::test::randomBytes(20000, 7));
    ASSERT_EQ(a.ask("transfer drop\t" + sent.string()), "ok");
    const fs::path arrived = b.dir / "home/Receive/during-video.bin";
    EXPECT_TRUE(waitUntil(
        [&] { return krl::test::fileContents(arrived) == krl::test::fileContents(sent); }, 60000))
        << a.ask("transfer sending") << " / " << a.video("state");
    ASSERT_TRUE(b.receivesMore()) << b.video("state");

    // A asks its camera for a smaller picture through the settings sheet's Format... button:
    // B's picture of A follows the record A sends.
    EXPECT_EQ(a.ask("command 1116"), "ok");
    std::string dialog;
    ASSERT_TRUE(waitUntil([&] {
        dialog = a.video("dialog");
        return dialog.rfind("error", 0) != 0;
    })) << dialog;
    EXPECT_EQ(dialog.rfind("Video Format\t", 0), 0u) << dialog;
    EXPECT_NE(dialog.find("\t128 x 96"), std::string::npos) << dialog;
    EXPECT_EQ(a.video("grab dialog " + screenshot("video-a-format")), "ok");
    EXPECT_EQ(a.video("choose 128 x 96"), "ok");
    ASSERT_TRUE(waitUntil([&] { return b.video("picture remote").rfind("128 96 ", 0) == 0; }))
        << b.video("picture remote");
    EXPECT_TRUE(b.receivesMore()) << b.video("state");
    EXPECT_EQ(a.video("grab local " + screenshot("video-a-local-128x96")), "ok");
    EXPECT_EQ(b.video("grab remote " + screenshot("video-b-remote-128x96")), "ok");

    // B pauses what it receives: A stops sending to B, B's other direction goes on.
    EXPECT_EQ(b.video("pause remote"), "ok");
    EXPECT_TRUE(waitUntil([&] { return b.value("remotestatus") == "Pausing"; }));
    EXPECT_TRUE(b.receivesNothingFor(3000)) << b.video("state");
    EXPECT_TRUE(a.receivesMore()) << a.video("state");
    EXPECT_EQ(b.video("pause remote"), "ok");
    EXPECT_TRUE(b.receivesMore()) << b.video("state");
    // A pauses its own capture: B gets nothing until A resumes.
    EXPECT_EQ(a.video("pause local"), "ok");
    EXPECT_EQ(a.value("localstatus"), "Pausing");
    EXPECT_TRUE(b.receivesNothingFor(3000)) << b.video("state");
    EXPECT_EQ(a.video("pause local"), "ok");
    EXPECT_TRUE(b.receivesMore()) << b.video("state");

    // Hold from A: both directions stop and both windows say so; released, video returns.
    EXPECT_EQ(a.ask("command 32802"), "ok");
    ASSERT_TRUE(waitUntil([&] {
        return a.value("localstatus") == "Hold_Call" && b.value("remotestatus") == "Put_on_Hold";
    })) << a.video("state")
        << " / " << b.video("state");
    EXPECT_EQ(b.video("grab remote " + screenshot("video-b-remote-held")), "ok");
    EXPECT_TRUE(a.receivesNothingFor(3000)) << a.video("state");
    EXPECT_TRUE(b.receivesNothingFor(1000)) << b.video("state");
    EXPECT_EQ(a.ask("command 32802"), "ok");
    EXPECT_TRUE(a.receivesMore()) << a.video("state");
    EXPECT_TRUE(b.receivesMore()) << b.video("state");

    // The statistics dialog shows both directions' rates.
    EXPECT_EQ(a.ask("command 32856"), "ok");
    std::string texts;
    ASSERT_TRUE(waitUntil([&] {
        texts = a.video("statistics");
        return texts.rfind("error", 0) != 0;
    })) << texts;
    EXPECT_NE(field(texts, "1276"), "0 bps") << texts;
    const double sendFps = std::stod(field(texts, "1277"));
    const double recvFps = std::stod(field(texts, "1281"));
    EXPECT_GT(sendFps, 0.5) << texts;
    EXPECT_LT(sendFps, 200.0) << texts;
    EXPECT_GT(recvFps, 0.5) << texts;
    EXPECT_GT(std::stol(field(texts, "1278")), 0) << texts;
    EXPECT_GT(std::stol(field(texts, "1282")), 0) << texts;
    const long utilisation = std::stol(field(texts, "1279"));
    EXPECT_GT(utilisation, 0) << texts;
    EXPECT_LE(utilisation, 100) << texts;
    EXPECT_EQ(a.video("grab statistics " + screenshot("video-a-statistics")), "ok");
    EXPECT_EQ(a.video("close statistics"), "ok");

    // Hang up as a user would; both copies end.
    EXPECT_EQ(a.ask("key Ctrl+D"), "ok");
    ASSERT_TRUE(a.comesToShow("5190"));
    EXPECT_EQ(a.ask("answer yes"), "ok");
    ASSERT_TRUE(b.comesToShow("5080"));
    EXPECT_EQ(b.ask("answer ok"), "ok");
    EXPECT_EQ(a.ask("quit"), "ok");
    EXPECT_EQ(b.ask("quit"), "ok");
    listener->waitForExit(kProgramWaitMs);
    caller->waitForExit(kProgramWaitMs);
}
