// Two real copies of the program on an X server, joined by a linesim cable. A first start goes
// through the setup wizard and listens; the other copy dials with the serial cable script; the
// call is made, ended with Ctrl+D and Yes, and both listen again. A third start with file names
// hands them to the running copy and ends. Chat and the clipboard between two copies on displays
// of their own. Run under xvfb-run (see CMakeLists.txt); windows are saved as pictures in the
// build tree.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "ProgramSide.h"
#include "XServer.h"
#include "fakes/TempFolder.h"
#include "support/LineSim.h"

using krl::test::kProgramWaitMs;
using krl::test::LineSim;
using krl::test::portArgs;
using krl::test::ProgramSide;
using krl::test::screenshot;
using krl::test::waitUntil;
namespace fs = std::filesystem;

// A first start from a fresh home and settings file: the setup wizard appears, is driven
// through every page (the linesim cable as a serial cable, listening for calls, the Test Pattern
// camera), and the program then listens; a second copy dials it and the call connects.
TEST(ProgramCall, FirstStartWizardThenACallHungUpAndFilesHandedToTheRunningCopy) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    const krl::test::TempFolder home;
    const fs::path& root = home.path();
    LineSim cable;
    ASSERT_TRUE(cable.ok()) << cable.error();
    ProgramSide a(root, "a"), b(root, "b");

    auto listener = a.start({"--splash-ms", "300"});
    ASSERT_TRUE(a.modalIs("CSetupWizard Page132")) << a.ask("modal");
    EXPECT_EQ(a.ask("grab modal " + screenshot("e2e-wizard-1-welcome")), "ok");
    auto next = [&](const std::string& page) {
        EXPECT_EQ(a.ask("press next"), "ok");
        EXPECT_TRUE(a.modalIs("CSetupWizard " + page)) << a.ask("modal");
    };
    next("Page159");
    EXPECT_EQ(a.ask("set 349 Serial Cable"), "ok");
    EXPECT_EQ(a.ask("set 1077 " + cable.pathA()), "ok");
    EXPECT_EQ(a.ask("grab modal " + screenshot("e2e-wizard-2-modem")), "ok");
    next("Page292");
    EXPECT_EQ(a.ask("set 1270 1"), "ok");
    EXPECT_EQ(a.ask("grab modal " + screenshot("e2e-wizard-3-dialling")), "ok");
    next("Page245");
    EXPECT_EQ(a.ask("set 1104 Test Pattern"), "ok");
    EXPECT_EQ(a.ask("set 1162 0"), "ok");
    EXPECT_EQ(a.ask("set 1225 0"), "ok");
    EXPECT_EQ(a.ask("grab modal " + screenshot("e2e-wizard-4-video")), "ok");
    next("Page238");
    EXPECT_EQ(a.ask("set 353 Alice"), "ok");
    EXPECT_EQ(a.ask("grab modal " + screenshot("e2e-wizard-5-card")), "ok");
    EXPECT_EQ(a.ask("press finish"), "ok");
    ASSERT_TRUE(a.reaches("Listening......"));

    auto caller = b.start(portArgs(cable.pathB(), {"--always-listen", "--dial"}));
    ASSERT_TRUE(bothConnected(a, b));
    EXPECT_EQ(a.ask("grab frame " + screenshot("e2e-listener-connected")), "ok");
    EXPECT_EQ(b.ask("grab frame " + screenshot("e2e-caller-connected")), "ok");

    // Ctrl+D asks 5190 on the caller; Yes ends the call and the listener says 5080.
    EXPECT_EQ(b.ask("key Ctrl+D"), "ok");
    ASSERT_TRUE(b.comesToShow("5190"));
    EXPECT_EQ(b.ask("grab message " + screenshot("e2e-message-5190")), "ok");
    EXPECT_EQ(b.ask("answer yes"), "ok");
    ASSERT_TRUE(a.comesToShow("5080"));
    EXPECT_EQ(a.ask("grab message " + screenshot("e2e-message-5080")), "ok");
    // Both listen again by themselves, the listener with the message still open.
    EXPECT_TRUE(a.reaches("Listening......"));
    EXPECT_TRUE(b.reaches("Listening......"));
    EXPECT_EQ(a.ask("answer ok"), "ok");

    // A later copy with two files (one name with blanks) hands them over and ends.
    const fs::path one = root / "a file with blanks.txt";
    const fs::path two = root / "second.bin";
    const int status = a.start({one.string(), two.string()})->waitForExit(kProgramWaitMs);
    ASSERT_NE(status, -1) << "the second copy did not end";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(waitUntil([&] { return !a.ask("queued").empty(); }));
    EXPECT_EQ(a.ask("queued"), one.string() + "\t" + two.string());
    // Handed-over files wait for the user's call: the listening copy does not dial the other.
    EXPECT_FALSE(waitUntil([&] { return !b.statusIs("Listening......"); }, 3000)) << b.describe();

    // Exit while listening hangs up without asking; both programs end.
    EXPECT_EQ(a.ask("quit"), "ok");
    EXPECT_EQ(b.ask("quit"), "ok");
    const int endA = listener->waitForExit(kProgramWaitMs);
    EXPECT_TRUE(WIFEXITED(endA) && WEXITSTATUS(endA) == 0) << endA << " " << a.describe();
    const int endB = caller->waitForExit(kProgramWaitMs);
    EXPECT_TRUE(WIFEXITED(endB) && WEXITSTATUS(endB) == 0) << endB << " " << b.describe();
    // The settings were stored, each in its own home.
    EXPECT_TRUE(fs::exists(a.dir / "config/Brightmar/Kestrelcall.ini"));
    EXPECT_TRUE(fs::exists(b.dir / "config/Brightmar/Kestrelcall.ini"));
}

// Two copies in a call, each on a display of its own as on two computers. They chat both ways:
// the first line opens the other side's window, each side shows its own lines in grey and the
// other's in red, markup stays characters, and the capture file holds the header and every
// line. Text copied on one side is on the other's clipboard after Send Clipboard Contents, and
// a picture copied there comes back the other way and joins that text.
TEST(ProgramCall, ChatAndClipboardBetweenTwoComputers) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    const krl::test::TempFolder home;
    const fs::path& root = home.path();
    LineSim cable;
    ASSERT_TRUE(cable.ok()) << cable.error();
    const krl::test::XServer secondDisplay;
    ASSERT_TRUE(secondDisplay.ok()) << secondDisplay.error();
    // No video on connect: the packages would crawl behind it.
    const std::vector<std::string> noVideo{"Video\\AutoSend=@ByteArray(\\0\\0)"};
    ProgramSide a(root, "a", noVideo), b(root, "b", noVideo);
    a.env["DISPLAY"] = secondDisplay.display();
    auto listener = a.start(portArgs(cable.pathA(), {}));
    ASSERT_TRUE(a.reaches("Listening......"));
    auto caller = b.start(portArgs(cable.pathB(), {"--dial"}));
    ASSERT_TRUE(bothConnected(a, b));

    EXPECT_EQ(b.ask("chat open"), "ok");
    ASSERT_TRUE(waitUntil([&] { return b.ask("chat title") == "Chat - Connected"; }))
        << b.ask("chat title");
    const fs::path capture = root / "captured chat.txt";
    EXPECT_EQ(b.ask("chat capture " + capture.string()), "ok");
    EXPECT_EQ(b.ask("chat say Hello <b>there</b>"), "ok");
    ASSERT_TRUE(
        waitUntil([&] { return a.ask("chat window") == "1" && !a.ask("chat log").empty(); }));
    EXPECT_EQ(a.ask("chat log"), "FF0000 << Hello <b>there</b>");
    EXPECT_EQ(a.ask("chat say Caf\xc3\xa9 ok"), "ok");
    ASSERT_TRUE(waitUntil([&] { return b.ask("chat log").find("<< ") != std::string::npos; }));
    EXPECT_EQ(b.ask("chat log"), "808080 >> Hello <b>there</b>\tFF0000 << Caf\xc3\xa9 ok");
    EXPECT_EQ(a.ask("chat log"), "FF0000 << Hello <b>there</b>\t808080 >> Caf\xc3\xa9 ok");
    EXPECT_EQ(a.ask("chat grab " + screenshot("e2e-chat-listener")), "ok");
    EXPECT_EQ(b.ask("chat grab " + screenshot("e2e-chat-caller")), "ok");

    EXPECT_EQ(b.ask("chat capture off"), "ok");
    const std::string text = krl::test::fileContents(capture);
    EXPECT_EQ(text.rfind("Chatting with : ??? on ", 0), 0u) << text;
    EXPECT_NE(text.find("\r\n>> Hello <b>there</b>\r\n<< Caf\xc3\xa9 ok\r\n"), std::string::npos)
        << text;

    // Text copied on b by another program arrives on a's clipboard.
    const std::string copied = "Copied on b: Caf\xc3\xa9";
    std::ofstream(root / "copied.txt") << copied;
    ASSERT_TRUE(b.setClipboard("UTF8_STRING", root / "copied.txt"));
    EXPECT_EQ(b.ask("transfer clipboard"), "ok");
    EXPECT_TRUE(waitUntil([&] { return a.clipboard("UTF8_STRING") == copied; }))
        << a.clipboard("UTF8_STRING") << "\n"
        << a.describe();

    // A picture copied on a arrives on b's clipboard pixel for pixel, beside b's text.
    QImage picture(64, 48, QImage::Format_RGB888);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 4, y * 5, (x / 8 + y / 8) % 2 ? 255 : 0));
    ASSERT_TRUE(picture.save(QString::fromStdString((root / "copied.png").string())));
    ASSERT_TRUE(a.setClipboard("image/png", root / "copied.png"));
    EXPECT_EQ(a.ask("transfer clipboard"), "ok");
    QImage arrived;
    EXPECT_TRUE(waitUntil([&] {
        const std::string png = b.clipboard("image/png");
        return arrived.loadFromData(reinterpret_cast<const uchar*>(png.data()),
                                    static_cast<int>(png.size()));
    })) << b.describe();
    EXPECT_EQ(arrived.convertToFormat(QImage::Format_RGB888), picture);
    arrived.save(QString::fromStdString(screenshot("e2e-clipboard-picture")));
    EXPECT_EQ(b.clipboard("UTF8_STRING"), copied);
    EXPECT_EQ(b.ask("transfer grab window " + screenshot("e2e-clipboard-transfer")), "ok");

    EXPECT_EQ(b.ask("chat close"), "ok");
    EXPECT_TRUE(waitUntil([&] { return b.ask("chat window") == "0"; }));
    // Exit during the call asks first (5180); the other side hears of the disconnect.
    EXPECT_EQ(a.ask("quit"), "ok");
    ASSERT_TRUE(a.comesToShow("5180"));
    EXPECT_EQ(a.ask("answer yes"), "ok");
    ASSERT_TRUE(b.comesToShow("5080"));
    EXPECT_EQ(b.ask("answer ok"), "ok");
    EXPECT_EQ(b.ask("quit"), "ok");
    EXPECT_NE(listener->waitForExit(kProgramWaitMs), -1) << a.describe();
    EXPECT_NE(caller->waitForExit(kProgramWaitMs), -1) << b.describe();
}
