// Files between two real copies of the program on an X server, joined by a linesim cable: a
// 300 KB file and a drop of three files arrive byte for byte and both histories list them; a
// history line is forwarded and arrives under a new name through the Received File Exists
// dialog; a line is cleared; the queue of a sender that quits in the middle of a file survives
// its restart and is sent whole. Windows are saved as pictures in the build tree.
#include <gtest/gtest.h>
#include <sys/wait.h>

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
using krl::test::ProgramProcess;
using krl::test::ProgramSide;
using krl::test::screenshot;
using krl::test::waitUntil;
namespace fs = std::filesystem;

namespace {

void writeRandom(const fs::path& path, std::size_t size, unsigned seed) {
    krl::test::writeFile(path, krl::test::randomBytes(size, seed));
}

// A copy that also answers about its transfers. No video on connect (it would share the line
// with the files); received files are recorded, not opened.
struct Side : ProgramSide {
    Side(const fs::path& root, const std::string& name)
        : ProgramSide(root, name,
                      {"Video\\AutoSend=@ByteArray(\\0\\0)",
                       "Tonebay\\Flags=@ByteArray(\\x1\\x1\\0\\x1\\0\\0\\x1\\x1)"}) {}
    std::string xfer(const std::string& command) const {
        return ask(command == "queued" ? command : "transfer " + command);
    }
    fs::path received(const std::string& name) const { return dir / "home/Receive" / name; }
    std::vector<std::string> history(const std::string& which) const {
        std::vector<std::string> lines;
        std::stringstream all(xfer("history " + which));
        for (std::string line; std::getline(all, line, '\t');)
            lines.push_back(line);
        return lines;
    }
};

// A copy on the cable: the caller dials at start, the other always listens.
std::unique_ptr<ProgramProcess> startOn(const Side& side, const std::string& port, bool dial) {
    return side.start(portArgs(port, {dial ? "--dial" : "--always-listen"}));
}

}  // namespace

TEST(ProgramTransfer, FilesCrossBetweenTwoCopiesAndAreRecorded) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    const krl::test::TempFolder home;
    const fs::path root = home.path();
    home.sub("out");
    LineSim cable;
    ASSERT_TRUE(cable.ok()) << cable.error();
    Side a(root, "a"), b(root, "b");

    auto listener = startOn(a, cable.pathA(), false);
    ASSERT_TRUE(a.reaches("Listening......"));
    auto caller = startOn(b, cable.pathB(), true);
    ASSERT_TRUE(bothConnected(a, b));

    // A 300 KB file dropped on the caller goes at once; the transfer window shows it moving.
    const fs::path big = root / "out/big file.bin";
    writeRandom(big, 300 * 1024, 1);
    ASSERT_EQ(b.xfer("drop\t" + big.string()), "ok");
    ASSERT_TRUE(waitUntil([&] { return b.xfer("window") == "1"; }));
    EXPECT_EQ(b.xfer("details 1"), "ok");
    ASSERT_TRUE(waitUntil([&] {
        const std::string s = b.xfer("sending");
        return s.find("big file.bin") != std::string::npos && s.find("\t0%") == std::string::npos;
    })) << b.xfer("sending");
    // a's window opened by itself when the file was offered.
    ASSERT_TRUE(waitUntil([&] { return a.xfer("window") == "1"; }));
    EXPECT_EQ(a.xfer("details 1"), "ok");
    std::this_thread::sleep_for(std::chrono::milliseconds(6000));  // a rate sample completes
    EXPECT_EQ(b.xfer("grab window " + screenshot("e2e-transfer-sending")), "ok");
    EXPECT_EQ(a.xfer("grab window " + screenshot("e2e-transfer-receiving")), "ok");
    ASSERT_TRUE(waitUntil([&] { return b.history("sent").size() == 1; })) << b.xfer("sending");
    ASSERT_TRUE(waitUntil([&] { return a.history("received").size() == 1; }));
    EXPECT_EQ(krl::test::fileContents(a.received("big file.bin")), krl::test::fileContents(big));

    // A drop of three files: they go in the order given.
    std::vector<fs::path> three = {root / "out/one;two.txt", root / "out/zeta.dat",
                                   root / "out/alpha.dat"};
    std::string drop = "drop";
    for (std::size_t i = 0; i < three.size(); ++i) {
        writeRandom(three[i], 1000 + 7000 * i, static_cast<unsigned>(10 + i));
        drop += "\t" + three[i].string();
    }
    ASSERT_EQ(b.xfer(drop), "ok");
    ASSERT_TRUE(waitUntil([&] { return a.history("received").size() == 4; }))
        << a.xfer("history received");
    const std::vector<std::string> sent = b.history("sent");
    ASSERT_EQ(sent.size(), 4u);
    for (std::size_t i = 0; i < three.size(); ++i) {
        EXPECT_EQ(krl::test::fileContents(a.received(three[i].filename().string())),
                  krl::test::fileContents(three[i]));
        EXPECT_EQ(sent[i + 1].substr(0, three[i].string().size()), three[i].string());
    }
    const std::vector<std::string> received = a.history("received");
    EXPECT_EQ(received[1].substr(0, a.received("one;two.txt").string().size()),
              a.received("one;two.txt").string());

    // The receiver stops overwriting; the big file is forwarded from the sent history again and
    // arrives under the name given in the Received File Exists dialog (a name another file has
    // is refused there).
    EXPECT_EQ(a.ask("command 32808"), "ok");
    ASSERT_TRUE(a.modalIs("CKestrelSettings")) << a.ask("modal");
    EXPECT_EQ(a.ask("set 1247 0"), "ok");
    EXPECT_EQ(a.ask("press ok"), "ok");
    ASSERT_TRUE(a.modalIs(""));
    EXPECT_EQ(b.xfer("show sent"), "ok");
    ASSERT_TRUE(waitUntil([&] { return b.xfer("modal") == "TransferHistoryDialog"; }));
    EXPECT_EQ(b.xfer("rows"), "4");
    EXPECT_EQ(b.xfer("grab modal " + screenshot("e2e-transfer-history")), "ok");
    EXPECT_EQ(b.xfer("select 0"), "ok");
    EXPECT_EQ(b.xfer("press 1058"), "ok");
    ASSERT_TRUE(b.comesToShow("5200"));
    EXPECT_EQ(b.ask("answer ok"), "ok");
    ASSERT_TRUE(waitUntil([&] { return a.xfer("modal") == "CFileExistsDialog"; }))
        << a.xfer("modal");
    EXPECT_EQ(a.xfer("grab modal " + screenshot("e2e-transfer-exists")), "ok");
    EXPECT_EQ(a.xfer("set 1078 " + a.received("zeta.dat").string()), "ok");
    EXPECT_EQ(a.xfer("press ok"), "ok");
    EXPECT_TRUE(waitUntil([&] { return !a.xfer("note").empty(); }));
    EXPECT_EQ(a.xfer("modal"), "CFileExistsDialog");
    const fs::path renamed = a.received("big copy.bin");
    EXPECT_EQ(a.xfer("set 1078 " + renamed.string()), "ok");
    EXPECT_EQ(a.xfer("press ok"), "ok");
    ASSERT_TRUE(waitUntil([&] { return a.history("received").size() == 5; }));
    EXPECT_EQ(krl::test::fileContents(renamed), krl::test::fileContents(big));
    EXPECT_EQ(krl::test::fileContents(a.received("zeta.dat")), krl::test::fileContents(three[1]));
    // Clear removes the selected line from the sent history.
    EXPECT_EQ(b.xfer("select 1"), "ok");
    EXPECT_EQ(b.xfer("press 1057"), "ok");
    ASSERT_TRUE(waitUntil([&] { return b.xfer("rows") == "3"; })) << b.xfer("rows");
    EXPECT_EQ(b.xfer("press 1060"), "ok");
    ASSERT_TRUE(waitUntil([&] { return b.xfer("modal").empty(); }));
    // Five sent, one cleared: the line the forward added while the dialog was open stays.
    EXPECT_EQ(b.history("sent").size(), 4u);

    // The sender quits in the middle of a file: what it had queued is still there after its
    // restart, and goes whole.
    const fs::path later = root / "out/later.bin";
    const fs::path after = root / "out/after.txt";
    writeRandom(later, 200 * 1024, 7);
    writeRandom(after, 5000, 8);
    ASSERT_EQ(b.xfer("drop\t" + later.string() + "\t" + after.string()), "ok");
    ASSERT_TRUE(waitUntil([&] {
        const std::string s = b.xfer("sending");
        return s.find("later.bin") != std::string::npos && s.find("\t0%") == std::string::npos;
    })) << b.xfer("sending");
    EXPECT_EQ(b.ask("quit"), "ok");
    ASSERT_TRUE(b.comesToShow("5180"));
    EXPECT_EQ(b.ask("answer yes"), "ok");
    EXPECT_NE(caller->waitForExit(kProgramWaitMs), -1);
    ASSERT_TRUE(a.reaches("Listening......"));
    // The closing sender stopped its file first (5000), then hung up (5080).
    EXPECT_TRUE(a.comesToShow("5000"));
    for (int i = 0; i < 5 && !a.ask("messages").empty(); ++i) {
        a.ask("answer ok");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    caller = startOn(b, cable.pathB(), true);
    ASSERT_TRUE(b.reaches("Connected"));
    EXPECT_EQ(b.xfer("queued"), later.string() + "\t" + after.string());
    EXPECT_EQ(b.xfer("open"), "ok");
    ASSERT_TRUE(waitUntil([&] { return b.xfer("queued").empty(); })) << b.xfer("queued");
    ASSERT_TRUE(waitUntil([&] { return a.history("received").size() == 7; }));
    EXPECT_EQ(krl::test::fileContents(a.received("later.bin")), krl::test::fileContents(later));
    EXPECT_EQ(krl::test::fileContents(a.received("after.txt")), krl::test::fileContents(after));

    EXPECT_EQ(b.ask("quit"), "ok");
    if (waitUntil([&] { return b.showsMessage("5180"); }, 10000))
        b.ask("answer yes");
    EXPECT_NE(caller->waitForExit(kProgramWaitMs), -1);
    a.ask("answer ok");
    EXPECT_EQ(a.ask("quit"), "ok");
    EXPECT_NE(listener->waitForExit(kProgramWaitMs), -1);
}

// The program and krlcli, a peer without windows, in both directions over the serial cable
// script: krlcli dials and sends to the listening program, then the program dials the
// listening krlcli for a dropped file.
TEST(ProgramTransfer, FilesCrossBetweenTheProgramAndKrlcli) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    const krl::test::TempFolder home;
    const fs::path root = home.path();
    home.sub("out");
    home.sub("in");
    LineSim cable;
    ASSERT_TRUE(cable.ok()) << cable.error();
    Side a(root, "a");
    auto program = startOn(a, cable.pathA(), false);
    ASSERT_TRUE(a.reaches("Listening......"));

    const fs::path toProgram = root / "out/from krlcli.bin";
    writeRandom(toProgram, 120 * 1024, 21);
    ProgramProcess sender(KRL_KRLCLI,
                          {"--modem", KRL_CABLE_MODEM, "--dial", "1", "--quiet", "send",
                           cable.pathB(), toProgram.string()},
                          {});
    const int sent = sender.waitForExit(kProgramWaitMs);
    EXPECT_TRUE(WIFEXITED(sent) && WEXITSTATUS(sent) == 0) << sent;
    ASSERT_TRUE(waitUntil([&] { return a.history("received").size() == 1; }));
    EXPECT_EQ(krl::test::fileContents(a.received("from krlcli.bin")),
              krl::test::fileContents(toProgram));
    ASSERT_TRUE(a.reaches("Listening......"));
    a.ask("answer ok");  // the peer's disconnect

    const fs::path toKrlcli = root / "out/from the program.bin";
    writeRandom(toKrlcli, 90 * 1024, 22);
    ProgramProcess listener(KRL_KRLCLI,
                            {"--modem", KRL_CABLE_MODEM, "--listen", "--expect", "1", "--dir",
                             (root / "in").string(), "--quiet", "listen", cable.pathB()},
                            {});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // krlcli waits for the call
    // Not connected: dropping the file dials.
    ASSERT_EQ(a.xfer("drop\t" + toKrlcli.string()), "ok");
    const int received = listener.waitForExit(kProgramWaitMs);
    EXPECT_TRUE(WIFEXITED(received) && WEXITSTATUS(received) == 0) << received;
    EXPECT_EQ(krl::test::fileContents(root / "in/from the program.bin"),
              krl::test::fileContents(toKrlcli));
    EXPECT_TRUE(waitUntil([&] { return a.history("sent").size() == 1; }));

    EXPECT_EQ(a.ask("quit"), "ok");
    if (waitUntil([&] { return a.showsMessage("5180"); }, 5000))
        a.ask("answer yes");
    EXPECT_NE(program->waitForExit(kProgramWaitMs), -1);
}
