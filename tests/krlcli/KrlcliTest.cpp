// Two krlcli processes joined by linesim, as a script would run them.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "connection/CallLog.h"
#include "fakes/TempFolder.h"
#include "link/FrameBytes.h"
#include "link/ResumeStore.h"
#include "support/LineSim.h"
#include "support/ModemSim.h"
#include "support/ProgramProcess.h"

namespace krl::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

std::string slurp(const fs::path& p) {
    return test::readText(p);
}

// Partial files kept for a later call between two copies (never under a file's own name).
std::vector<fs::path> partsIn(const fs::path& folder) {
    std::vector<fs::path> parts;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder / ResumeStore::kFolderName, ec))
        if (e.path().extension() == ".part")
            parts.push_back(e.path());
    return parts;
}

// Waits until the file, or the partial file it is received into, holds at least `size` bytes.
bool growsTo(const fs::path& p, std::uintmax_t size, int seconds = 60) {
    return waitUntil(
        [&] {
            std::vector<fs::path> candidates = partsIn(p.parent_path());
            candidates.push_back(p);
            return std::any_of(candidates.begin(), candidates.end(), [&](const fs::path& c) {
                std::error_code ec;
                const std::uintmax_t now = fs::file_size(c, ec);
                return !ec && now >= size;
            });
        },
        seconds * 1000);
}

// One krlcli process; standard output and error go to files beside `outputs`, standard input
// is a pipe the test holds (or /dev/null).
class Krlcli : public ProgramProcess {
public:
    Krlcli(const std::vector<std::string>& args, const fs::path& outputs, bool withInput = false,
           rlim_t fileSizeLimit = 0)
        : ProgramProcess(
              KRL_KRLCLI_PATH, args, {},
              {withInput, outputs.string() + ".out", outputs.string() + ".err", fileSizeLimit}),
          out_(outputs.string() + ".out"),
          err_(outputs.string() + ".err") {}
    // The exit code, or -1 when it has not ended within the time.
    int wait(int seconds = 300) { return exitCode(seconds * 1000); }
    // Waits until standard output (or standard error) holds `text`.
    bool waitFor(const std::string& text, bool inErrors = false, int seconds = 60) {
        return waitUntil(
            [&] { return (inErrors ? errors() : output()).find(text) != std::string::npos; },
            seconds * 1000);
    }
    std::string output() const { return slurp(out_); }
    std::string errors() const { return slurp(err_); }

private:
    fs::path out_, err_;
};

// The far end of a cable played by the test itself: raw bytes in and out.
class RawEnd {
public:
    explicit RawEnd(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        termios t{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~RawEnd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    void send(const std::vector<std::uint8_t>& bytes) {
        (void)!::write(fd_, bytes.data(), bytes.size());
    }
    // Collects what arrives until `bytes` is among it.
    bool waitFor(const std::vector<std::uint8_t>& bytes, int seconds = 30) {
        return waitUntil(
            [&] {
                std::uint8_t buffer[4096];
                for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;)
                    received.insert(received.end(), buffer, buffer + n);
                return std::search(received.begin(), received.end(), bytes.begin(), bytes.end()) !=
                       received.end();
            },
            seconds * 1000);
    }
    std::vector<std::uint8_t> received;

private:
    int fd_;
};

// The test's end greets krlcli once krlcli has its port open, and is greeted back.
bool greets(RawEnd& peer) {
    const std::vector<std::uint8_t> hello =
        commandBytes("<HELLO><Kestrelcall><Kestrelcall 1.00 , Beta 3.0><1.00><1.00>");
    if (!peer.ok() || !peer.waitFor(hello))
        return false;
    peer.send(hello);
    return peer.waitFor(commandBytes("<OKHello>"));
}

// A "krlcli-video" figure of a run's standard output, or -1 when it is missing.
long videoFigure(const std::string& output, const std::string& name) {
    const std::size_t line = output.find("krlcli-video ");
    const std::size_t at = output.find(" " + name + "=", line);
    if (line == std::string::npos || at == std::string::npos)
        return -1;
    return std::stol(output.substr(at + name.size() + 2));
}

class KrlcliTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.sub("in");
        folder.sub("out");
    }
    void startCable(const LineSimOptions& options) {
        cable = std::make_unique<LineSim>(options);
        ASSERT_TRUE(cable->ok()) << cable->error();
    }
    fs::path file(const std::string& name, std::size_t size, unsigned seed) {
        test::writeFile(root / "out" / name, test::randomBytes(size, seed));
        return root / "out" / name;
    }
    std::vector<std::string> listenArgs(std::vector<std::string> extra = {}) {
        extra.insert(extra.end(), {"--dir", (root / "in").string(), "listen", cable->pathB()});
        return extra;
    }
    // A call through the shipped modem file: "--dial 1002 send <port A> <file>" or
    // "--listen --rings N listen <port B>" after the options every modem run shares, the log
    // written to root/log when one is named.
    std::vector<std::string> modemArgs(std::vector<std::string> tail, const std::string& log = "") {
        std::vector<std::string> args = {"--modem", KRL_MODEM_FILE, "--baud",
                                         "57600",   "--dir",        (root / "in").string()};
        if (!log.empty())
            args.insert(args.end(), {"--log", (root / log).string()});
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    }
    // The answering end of a modem call, started and waiting for the call.
    std::unique_ptr<Krlcli> answering(const ModemSim& modems, const std::string& name,
                                      const std::string& rings, const std::string& log = "") {
        auto b = std::make_unique<Krlcli>(
            modemArgs({"--listen", "--rings", rings, "listen", modems.portB()}, log), root / name);
        EXPECT_TRUE(b->waitFor("waiting for a call", true)) << b->errors();
        return b;
    }
    std::unique_ptr<Krlcli> dialling(const ModemSim& modems, const std::string& name,
                                     const fs::path& sent, const std::string& log = "") {
        return std::make_unique<Krlcli>(
            modemArgs({"--dial", "1002", "send", modems.portA(), sent.string()}, log), root / name);
    }

    test::TempFolder folder;
    const fs::path& root = folder.path();
    std::unique_ptr<LineSim> cable;
};

TEST_F(KrlcliTest, FilesCardsAndPageArriveWhole) {
    startCable({.baud = 115200, .seed = 5, .durationSeconds = 600});
    Krlcli listener(listenArgs({"--card", "Bob|+1 555|desk"}), root / "listen");
    std::vector<fs::path> files = {file("one.bin", 20000, 1), file("two.txt", 3070, 2),
                                   file("three", 1, 3)};
    std::vector<std::string> args = {"--stats", "--card", "Ann|+44 1|office",
                                     "--page",  "send",   cable->pathA()};
    for (auto& f : files)
        args.push_back(f.string());
    Krlcli sender(args, root / "send");
    EXPECT_EQ(sender.wait(), 0) << sender.errors();
    EXPECT_EQ(listener.wait(), 0) << listener.errors();
    for (auto& f : files)
        EXPECT_EQ(slurp(root / "in" / f.filename()), slurp(f)) << f;
    EXPECT_THAT(listener.errors(), HasSubstr("card: Ann | +44 1 | office"));
    EXPECT_THAT(listener.errors(), HasSubstr("the peer pages you"));
    EXPECT_THAT(sender.errors(), HasSubstr("card: Bob | +1 555 | desk"));
    EXPECT_THAT(sender.output(), HasSubstr("krlcli-stats files_ok=3 files_failed=0"));
}

TEST_F(KrlcliTest, StopFromEitherSideLeavesNothingPartial) {
    startCable({.baud = 115200, .seed = 7, .durationSeconds = 600});
    fs::path big = file("big.bin", 120000, 5);
    const std::vector<std::string> slow = {"--baud", "38400"};
    for (bool senderStops : {true, false}) {
        SCOPED_TRACE(senderStops ? "sender stops" : "listener stops");
        const std::vector<std::string> stop = {
            senderStops ? "--stop-send-after" : "--stop-receive-after", "20000"};
        const std::string n = senderStops ? "1" : "2";
        Krlcli listener(listenArgs(senderStops ? slow : stop), root / ("listen" + n));
        std::vector<std::string> send = senderStops ? stop : slow;
        send.insert(send.end(), {"send", cable->pathA(), big.string()});
        Krlcli sender(send, root / ("send" + n));
        EXPECT_EQ(sender.wait(), 1);
        EXPECT_EQ(listener.wait(), 1);
        EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));
    }
}

TEST_F(KrlcliTest, ChatBothWays) {
    startCable({.baud = 115200, .seed = 9, .durationSeconds = 300});
    Krlcli a({"chat", cable->pathA()}, root / "a", true);
    Krlcli b({"chat", cable->pathB()}, root / "b", true);
    a.type("hello from A\n");
    EXPECT_TRUE(b.waitFor("hello from A\n")) << b.errors();
    b.type("hi from B\n");
    EXPECT_TRUE(a.waitFor("hi from B\n")) << a.errors();
    a.closeInput();
    EXPECT_EQ(a.wait(), 0);
    EXPECT_EQ(b.wait(), 0);
}

// Modem calls, each ended another way. First one dialled, answered after the rings, a file
// sent, hung up. Then one interrupted by SIGINT: krlcli also hangs the modem up, the peer hears
// why, the disconnect command goes out and the modem is back on the hook.
TEST_F(KrlcliTest, ModemCallsAnsweredAfterTheRingsAndHungUpWhenInterrupted) {
    ModemSim modems({.ringMs = 1500, .dialMs = 300, .handshakeMs = 300});
    ASSERT_TRUE(modems.ok()) << modems.error();
    // Left by some other program with numeric results, or none at all: the modem file first
    // brings them back to words.
    ASSERT_EQ(modems.control("preset A V0Q1"), "OK");
    ASSERT_EQ(modems.control("preset B V0"), "OK");
    const fs::path sent = file("card.bin", 40000, 10);
    {
        auto b = answering(modems, "b", "3", "b.log");
        auto a = dialling(modems, "a", sent, "a.log");
        EXPECT_EQ(a->wait(), 0) << a->errors();
        EXPECT_EQ(b->wait(), 0) << b->errors();
        EXPECT_EQ(slurp(root / "in" / "card.bin"), slurp(sent));
        // Answered after the third ring: what the modem said while listening holds three.
        EXPECT_EQ(ringsBeforeAnswer(readLines((root / "b.log").string())), 3);
        EXPECT_THAT(a->errors(), HasSubstr("call made at 28800 bps"));
        EXPECT_THAT(b->errors(), HasSubstr("the peer disconnected"));
        const auto aLog = readLines((root / "a.log").string());
        EXPECT_TRUE(inOrder(aLog, {">  @Connect Command", ">  ATDT1002|", ">  *** Connect    on: ",
                                   ">  <Send NF>", ">  <Disconnect>", ">  ATH0|"}));
        // The greeting may need a second try on a loaded machine; it is answered either way.
        EXPECT_TRUE(inOrder(aLog, {">  *** Connect    on: ", "<  <OKHello>"}));
    }
    const fs::path big = file("big.bin", 300000, 15);
    auto b = answering(modems, "b2", "1");
    auto a = dialling(modems, "a2", big, "a2.log");
    ASSERT_TRUE(growsTo(root / "in" / "big.bin", 20000));
    a->signal(SIGINT);
    EXPECT_EQ(a->wait(30), 128 + SIGINT) << a->errors();
    EXPECT_EQ(b->wait(30), 1) << b->errors();
    EXPECT_TRUE(
        inOrder(readLines((root / "a2.log").string()),
                {">  <Stop Sending>", ">  <Disconnect>", ">  @Disconnect Command", ">  ATH0|"}));
    EXPECT_NE(modems.control("status A").find("onhook"), std::string::npos);
    EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));
}

// A remote serial port whose server goes away mid-call (ser2net restarted, a network cut) and
// then turns the program away: the call ends with the line said to be gone, the file that was
// on its way is not kept as received, the next attempt is told the port cannot be opened, and
// once the server serves again a call goes through.
TEST_F(KrlcliTest, PortServerGoneMidCallThenRefusingLosesNothing) {
    ModemSim modems({.ringMs = 1500, .dialMs = 300, .handshakeMs = 300});
    ASSERT_TRUE(modems.ok()) << modems.error();
    const fs::path big = file("big.bin", 200000, 12);
    const fs::path small = file("small.bin", 3000, 13);
    auto b = answering(modems, "b1", "1");
    auto a = dialling(modems, "a1", big);
    ASSERT_TRUE(a->waitFor("connected", true)) << a->errors();
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the file is on its way
    EXPECT_EQ(modems.control("close A"), "OK");
    EXPECT_EQ(a->wait(60), 4) << a->errors();  // the line or the peer is gone
    EXPECT_GT(b->wait(60), 0) << b->errors();
    EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));  // no part kept as if whole

    EXPECT_EQ(modems.control("refuse A"), "OK");
    auto refused = dialling(modems, "a2", small);
    EXPECT_EQ(refused->wait(60), 3) << refused->errors();  // the port cannot be opened

    EXPECT_EQ(modems.control("serve A"), "OK");
    b = answering(modems, "b3", "1");
    a = dialling(modems, "a3", small);
    EXPECT_EQ(a->wait(), 0) << a->errors();
    EXPECT_EQ(b->wait(), 0) << b->errors();
    EXPECT_EQ(slurp(root / "in" / "small.bin"), slurp(small));
}

// Two-way video through two modems at 28800 with no per-frame budget, so that only the line
// paces the pictures. Each side may send only what the line carries: what the far side
// receives keeps up with what was sent, apart from the few frames still on their way.
TEST_F(KrlcliTest, VideoThroughModemsKeepsPaceWithTheLine) {
    ModemSim modems({.baud = 28800});
    ASSERT_TRUE(modems.ok()) << modems.error();
    const std::vector<std::string> video = {
        "--stats", "--video", "test", "--video-seconds=8", "--video-bytes=0", "--video-quality=40"};
    std::vector<std::string> answer = video;
    answer.insert(answer.end(), {"--listen", "--rings", "1", "listen", modems.portB()});
    std::vector<std::string> dial = video;
    dial.insert(dial.end(), {"--dial", "1002", "listen", modems.portA()});
    Krlcli b(modemArgs(answer), root / "b");
    // The answering side has its modem ready before the call comes.
    ASSERT_TRUE(b.waitFor("waiting for a call", true)) << b.errors();
    Krlcli a(modemArgs(dial), root / "a");
    EXPECT_EQ(a.wait(), 0) << a.errors();
    EXPECT_EQ(b.wait(), 0) << b.errors();
    for (auto [from, to] : {std::pair{&a, &b}, std::pair{&b, &a}}) {
        const long sent = videoFigure(from->output(), "sent_frames");
        const long received = videoFigure(to->output(), "recv_frames");
        ASSERT_GT(sent, 5) << from->output() << from->errors();
        // A backlog of a third of the frames sent means seconds of delay by the end; a
        // line-paced sender has at most a frame or two in flight.
        EXPECT_GE(received * 10, sent * 8) << "sent " << sent << ", received " << received;
    }
}

// A long call as the soak bench runs it: video both ways while files put into each side's
// outbox go across, and running figures as it goes.
TEST_F(KrlcliTest, OutboxFilesCrossBothWaysDuringVideo) {
    startCable({.baud = 115200, .seed = 11, .durationSeconds = 300});
    std::vector<fs::path> sent;
    for (const char* side : {"a", "b"}) {
        fs::create_directories(root / side / "in");
        const fs::path outbox = folder.sub(std::string(side) + "/outbox");
        test::writeFile(outbox / (std::string(side) + ".bin"), test::randomBytes(20000, side[0]));
        sent.push_back(outbox / "sent" / (std::string(side) + ".bin"));
    }
    auto args = [&](const char* side, const std::string& port) {
        return std::vector<std::string>{"--stats-every",
                                        "1",
                                        "--dir",
                                        (root / side / "in").string(),
                                        "--outbox",
                                        (root / side / "outbox").string(),
                                        "--video",
                                        "test",
                                        "--video-seconds=8",
                                        "listen",
                                        port};
    };
    Krlcli a(args("a", cable->pathA()), root / "a");
    Krlcli b(args("b", cable->pathB()), root / "b");
    EXPECT_EQ(a.wait(), 0) << a.errors();
    EXPECT_EQ(b.wait(), 0) << b.errors();
    EXPECT_TRUE(slurp(root / "b" / "in" / "a.bin") == slurp(sent[0])) << b.errors();
    EXPECT_TRUE(slurp(root / "a" / "in" / "b.bin") == slurp(sent[1])) << a.errors();
    EXPECT_THAT(a.output(), HasSubstr("krlcli-running ms="));
    EXPECT_THAT(a.output(), HasSubstr(" recv_frames="));
}

// The receiver ends the call as soon as the file is in: its last "<CRCOK>" and its
// "<Disconnect>" reach the sender together (a line that delivers in large reads). The file is
// whole and is counted so.
TEST_F(KrlcliTest, LastConfirmationArrivingWithTheDisconnectStillCountsWhole) {
    startCable({.baud = 100000000, .latencyMs = 100, .seed = 3, .durationSeconds = 300});
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const fs::path sent = file("f" + std::to_string(round), 5000, 30 + round);
        Krlcli listener(listenArgs({"--expect", "1"}), root / "listen");
        Krlcli sender({"--stats", "send", cable->pathA(), sent.string()}, root / "send");
        EXPECT_EQ(sender.wait(60), 0) << sender.errors();
        EXPECT_EQ(listener.wait(60), 0) << listener.errors();
        EXPECT_THAT(sender.output(), HasSubstr("files_ok=1 files_failed=0")) << sender.errors();
        EXPECT_EQ(slurp(root / "in" / sent.filename()), slurp(sent));
    }
}

// The cable is pulled mid-transfer with video going (the line process ends, closing both
// pseudo-terminals' far ends, as an unplugged adapter does): both ends end the call at once with
// the reason, the file counts as not whole, its part stays for a later call, and a device that
// is there again takes the next call.
TEST_F(KrlcliTest, PulledCableEndsBothEndsWithTheReasonAndTheNextDeviceTakesACall) {
    startCable({.baud = 38400, .seed = 11, .durationSeconds = 600});
    const fs::path big = file("big.bin", 200000, 12);
    Krlcli listener(listenArgs({"--video", "test", "--video-seconds=600"}), root / "listen");
    Krlcli sender({"--stats", "--idle-minutes", "1", "--video", "test", "--video-seconds=600",
                   "send", cable->pathA(), big.string()},
                  root / "send");
    ASSERT_TRUE(sender.waitFor("connected", true)) << sender.errors();
    ASSERT_TRUE(growsTo(root / "in" / "big.bin", 20000));
    cable->stop();
    EXPECT_EQ(sender.wait(10), 4) << sender.errors();
    EXPECT_EQ(listener.wait(10), 4) << listener.errors();
    for (Krlcli* end : {&sender, &listener}) {
        EXPECT_THAT(end->errors(), HasSubstr("[Error 4170]"));
        EXPECT_THAT(end->errors(), HasSubstr("big.bin: cut off, the line was lost"));
    }
    EXPECT_THAT(sender.output(), HasSubstr("files_ok=0 files_failed=1"));
    EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));
    EXPECT_EQ(partsIn(root / "in").size(), 1u) << "the line was lost: the part stays for later";

    startCable({.baud = 115200, .seed = 12, .durationSeconds = 300});
    const fs::path small = file("small.bin", 3000, 13);
    Krlcli again(listenArgs({"--expect", "1"}), root / "listen2");
    Krlcli second({"send", cable->pathA(), small.string()}, root / "send2");
    EXPECT_EQ(second.wait(60), 0) << second.errors();
    EXPECT_EQ(again.wait(60), 0) << again.errors();
    EXPECT_EQ(slurp(root / "in" / "small.bin"), slurp(small));
}

// SIGTERM or SIGINT in the middle of a transfer closes krlcli as a closing program: the peer
// is told, the partial file removed. The ports run at the cable's rate, as on a real cable: a
// pseudo-terminal cannot say what it still holds, so the last words are timed by the port rate.
TEST_F(KrlcliTest, InterruptedEitherEndStopsTheTransferAndTellsThePeer) {
    const fs::path big = file("big.bin", 200000, 14);
    struct Case {
        bool listenerInterrupted;
        int signal;
        std::vector<std::string> peerHears;
    };
    const Case cases[] = {
        {true, SIGTERM, {"[Acknowledgment 5010]"}},
        {false, SIGINT, {"[Acknowledgment 5000]", "the peer disconnected"}},
    };
    unsigned seed = 13;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.listenerInterrupted ? "listener interrupted" : "sender interrupted");
        // A fresh cable each time: the last call's last words may still be on the old one.
        startCable({.baud = 38400, .seed = seed++, .durationSeconds = 600});
        const std::string n = std::to_string(seed);
        Krlcli listener(listenArgs({"--baud", "38400"}), root / ("listen" + n));
        Krlcli sender({"--baud", "38400", "send", cable->pathA(), big.string()},
                      root / ("send" + n));
        ASSERT_TRUE(growsTo(root / "in" / "big.bin", 20000))
            << sender.errors() << listener.errors();
        Krlcli& closing = c.listenerInterrupted ? listener : sender;
        Krlcli& peer = c.listenerInterrupted ? sender : listener;
        closing.signal(c.signal);
        EXPECT_EQ(closing.wait(20), 128 + c.signal) << closing.errors();
        EXPECT_EQ(peer.wait(20), 1) << peer.errors();
        EXPECT_THAT(closing.errors(), HasSubstr("big.bin: stopped, krlcli is closing"));
        for (const std::string& said : c.peerHears)
            EXPECT_THAT(peer.errors(), HasSubstr(said));
        EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));
        EXPECT_TRUE(partsIn(root / "in").empty());
    }
}

// A full disk (here the file size limit) while receiving: the disk-full message, the sender
// told, the partial file removed.
TEST_F(KrlcliTest, FullDiskWhileReceivingStopsTheSenderAndRemovesThePartialFile) {
    startCable({.baud = 115200, .seed = 16, .durationSeconds = 300});
    const fs::path big = file("big.bin", 100000, 17);
    Krlcli listener(listenArgs(), root / "listen", false, 30000);
    Krlcli sender({"send", cable->pathA(), big.string()}, root / "send");
    EXPECT_EQ(sender.wait(60), 1) << sender.errors();
    EXPECT_EQ(listener.wait(60), 1) << listener.errors();
    EXPECT_THAT(listener.errors(), HasSubstr("[Error 4080]"));
    EXPECT_THAT(sender.errors(), HasSubstr("[Acknowledgment 5010]"));
    EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));
}

// A peer that greets and goes away: the listener's greeting gets its three tries, then the
// listener gives up with the reason instead of greeting for ever.
TEST_F(KrlcliTest, ListenerGivesUpOnAPeerThatGreetedAndLeft) {
    startCable({.baud = 115200, .seed = 18, .durationSeconds = 300});
    Krlcli listener(listenArgs(), root / "listen");
    RawEnd peer(cable->pathA());
    ASSERT_TRUE(greets(peer));
    EXPECT_EQ(listener.wait(40), 4) << listener.errors();
    EXPECT_THAT(listener.errors(), HasSubstr("[Acknowledgment 5210]"));
}

// Chat text keeps its CR LF on the wire, and a received line is printed once.
TEST_F(KrlcliTest, ChatKeepsCrLfOnTheWireAndPrintsEachLineOnce) {
    startCable({.baud = 115200, .seed = 19, .durationSeconds = 300});
    Krlcli chat({"chat", cable->pathB()}, root / "chat", true);
    RawEnd peer(cable->pathA());
    ASSERT_TRUE(greets(peer));
    chat.type("hello there\n");
    const std::string line = "hello there\r\n";
    EXPECT_TRUE(peer.waitFor(frameBytes(5, {line.begin(), line.end()})));
    const std::string reply = "hi\r\n";
    peer.send(frameBytes(5, {reply.begin(), reply.end()}));
    EXPECT_TRUE(chat.waitFor("hi\n")) << chat.errors();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(chat.output(), "hi\n");
}

// Bad command lines, modem files that cannot serve the call and numbers too long to dial are
// refused with the reason and their exit code, before anything is sent.
TEST_F(KrlcliTest, UnusableArgumentsModemFilesAndOverlongNumbersAreRefused) {
    const fs::path garbage = root / "garbage.mdm";
    std::ofstream(garbage, std::ios::binary) << "\x01\x02 not a modem\n";
    const fs::path dialOnly = root / "dialonly.mdm";
    std::ofstream(dialOnly) << "[Modem]\nName=D\nType=Modem\n[Connect Commands]\nCommand1=ATD|\n";
    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string said;
    };
    const std::string port = (root / "no-such-port").string();
    const Case cases[] = {
        {{"send"}, 2, ""},
        {{"listen", port}, 3, ""},
        {{"--modem", garbage.string(), "--dial", "1", "listen", port},
         2,
         garbage.string() + " has no [Modem] section"},
        {{"--modem", dialOnly.string(), "--listen", "listen", port},
         2,
         "no ring text (WaitCommand in [Listen Commands])"},
        {{"--modem", KRL_MODEM_FILE, "--dial", std::string(40, '7'), "listen", port},
         2,
         "at most 31 dialling characters"},
    };
    int n = 0;
    for (const Case& c : cases) {
        Krlcli cli(c.args, root / ("refused" + std::to_string(n++)));
        EXPECT_EQ(cli.wait(30), c.exit) << cli.errors();
        EXPECT_THAT(cli.errors(), HasSubstr(c.said));
        EXPECT_THAT(cli.errors(), Not(HasSubstr("call made")));
    }
}

}  // namespace
}  // namespace krl::test
