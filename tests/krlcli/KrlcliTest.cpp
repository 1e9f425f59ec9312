// Two krlcli processes joined by linesim, as a script would run them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "connection/CallLog.h"
#include "fakes/TempFolder.h"
#include "link/FrameBytes.h"
#include "link/ResumeStore.h"
#include "support/LineSim.h"
#include "support/ModemSim.h"

extern char** environ;

namespace krl::test {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    return test::readText(p);
}

void writeRandom(const fs::path& p, std::size_t n, unsigned seed) {
    test::writeFile(p, test::randomBytes(n, seed));
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
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
        std::vector<fs::path> candidates = partsIn(p.parent_path());
        candidates.push_back(p);
        for (const auto& c : candidates) {
            std::error_code ec;
            const std::uintmax_t now = fs::file_size(c, ec);
            if (!ec && now >= size)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// One krlcli process; standard output and error go to files, standard input is a pipe the
// test holds (or /dev/null).
class Krlcli {
public:
    // fileSizeLimit: the largest file the process may write (RLIMIT_FSIZE), 0 for no limit.
    Krlcli(const std::vector<std::string>& args, const fs::path& outputs, bool withInput = false,
           rlim_t fileSizeLimit = 0) {
        out_ = outputs.string() + ".out";
        err_ = outputs.string() + ".err";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        int pipeFds[2] = {-1, -1};
        if (withInput && ::pipe2(pipeFds, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
            posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
            input_ = pipeFds[1];
        } else {
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<std::string> all = {KRL_KRLCLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        // The limit is inherited: set it around the spawn only.
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        if (fileSizeLimit != 0) {
            rlimit limited = saved;
            limited.rlim_cur = fileSizeLimit;
            ::setrlimit(RLIMIT_FSIZE, &limited);
        }
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        if (fileSizeLimit != 0)
            ::setrlimit(RLIMIT_FSIZE, &saved);
        posix_spawn_file_actions_destroy(&actions);
        if (pipeFds[0] >= 0)
            ::close(pipeFds[0]);
    }
    ~Krlcli() {
        closeInput();
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    void type(const std::string& text) { (void)!::write(input_, text.data(), text.size()); }
    void signal(int number) { ::kill(pid_, number); }
    void closeInput() {
        if (input_ >= 0)
            ::close(input_);
        input_ = -1;
    }
    // The exit status, or -1 when it has not ended within the time.
    int wait(int seconds = 300) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (status_ < 0 && pid_ > 0) {
            int st = 0;
            pid_t r = ::waitpid(pid_, &st, WNOHANG);
            if (r == pid_) {
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                break;
            }
            if (std::chrono::steady_clock::now() > until)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return status_;
    }
    // Waits until standard output (or standard error) holds `text`.
    bool waitFor(const std::string& text, bool inErrors = false, int seconds = 60) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < until) {
            if ((inErrors ? errors() : output()).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    std::string output() const { return slurp(out_); }
    std::string errors() const { return slurp(err_); }

private:
    pid_t pid_ = -1;
    int status_ = -1;
    int input_ = -1;
    std::string out_, err_;
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
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < until) {
            if (std::search(received.begin(), received.end(), bytes.begin(), bytes.end()) !=
                received.end())
                return true;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                std::uint8_t buffer[4096];
                ssize_t n = ::read(fd_, buffer, sizeof buffer);
                if (n > 0)
                    received.insert(received.end(), buffer, buffer + n);
            }
        }
        return false;
    }
    std::vector<std::uint8_t> received;

private:
    int fd_;
};

std::vector<std::uint8_t> helloFrame() {
    return commandBytes("<HELLO><Kestrelcall><Kestrelcall 1.00 , Beta 3.0><1.00><1.00>");
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
        writeRandom(root / "out" / name, size, seed);
        return root / "out" / name;
    }
    std::vector<std::string> listenArgs(std::vector<std::string> extra = {}) {
        extra.insert(extra.end(), {"--dir", (root / "in").string(), "listen", cable->pathB()});
        return extra;
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
    EXPECT_NE(listener.errors().find("card: Ann | +44 1 | office"), std::string::npos);
    EXPECT_NE(listener.errors().find("the peer pages you"), std::string::npos);
    EXPECT_NE(sender.errors().find("card: Bob | +1 555 | desk"), std::string::npos);
    EXPECT_NE(sender.output().find("krlcli-stats files_ok=3 files_failed=0"), std::string::npos);
}

TEST_F(KrlcliTest, StopFromEitherSideLeavesNothingPartial) {
    startCable({.baud = 115200, .seed = 7, .durationSeconds = 600});
    fs::path big = file("big.bin", 120000, 5);
    {
        Krlcli listener(listenArgs({"--baud", "38400"}), root / "listen1");
        Krlcli sender({"--stop-send-after", "20000", "send", cable->pathA(), big.string()},
                      root / "send1");
        EXPECT_EQ(sender.wait(), 1);
        EXPECT_EQ(listener.wait(), 1);
        EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));
    }
    {
        Krlcli listener(listenArgs({"--stop-receive-after", "20000"}), root / "listen2");
        Krlcli sender({"--baud", "38400", "send", cable->pathA(), big.string()}, root / "send2");
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

// A call through the modem file: dialled, answered after the rings, a file sent, hung up.
TEST_F(KrlcliTest, ModemCallRingsAnswersSendsAFileAndHangsUp) {
    ModemSim modems({.ringMs = 1500, .dialMs = 300, .handshakeMs = 300});
    ASSERT_TRUE(modems.ok()) << modems.error();
    // Left by some other program with numeric results, or none at all: the modem file first
    // brings them back to words.
    ASSERT_EQ(modems.control("preset A V0Q1"), "OK");
    ASSERT_EQ(modems.control("preset B V0"), "OK");
    const fs::path sent = file("card.bin", 40000, 10);
    auto withModem = [&](const char* log, std::vector<std::string> tail) {
        std::vector<std::string> args = {
            "--modem", KRL_MODEM_FILE,         "--baud", "57600",
            "--dir",   (root / "in").string(), "--log",  (root / log).string()};
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    };
    Krlcli b(withModem("b.log", {"--listen", "--rings", "3", "listen", modems.portB()}),
             root / "b");
    ASSERT_TRUE(b.waitFor("waiting for a call", true)) << b.errors();
    Krlcli a(withModem("a.log", {"--dial", "1002", "send", modems.portA(), sent.string()}),
             root / "a");
    EXPECT_EQ(a.wait(), 0) << a.errors();
    EXPECT_EQ(b.wait(), 0) << b.errors();
    EXPECT_EQ(slurp(root / "in" / "card.bin"), slurp(sent));
    // Answered after the third ring: what the modem said while listening holds three.
    EXPECT_EQ(ringsBeforeAnswer(readLines((root / "b.log").string())), 3);
    EXPECT_NE(a.errors().find("call made at 28800 bps"), std::string::npos) << a.errors();
    EXPECT_NE(b.errors().find("the peer disconnected"), std::string::npos) << b.errors();
    const auto aLog = readLines((root / "a.log").string());
    EXPECT_TRUE(inOrder(aLog, {">  @Connect Command", ">  ATDT1002|", ">  *** Connect    on: ",
                               ">  <Send NF>", ">  <Disconnect>", ">  ATH0|"}));
    // The greeting may need a second try on a loaded machine; it is answered either way.
    EXPECT_TRUE(inOrder(aLog, {">  *** Connect    on: ", "<  <OKHello>"}));
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
    auto call = [&](const std::string& name, const fs::path& sent, bool dial) {
        std::vector<std::string> args = {"--modem", KRL_MODEM_FILE, "--baud",
                                         "57600",   "--dir",        (root / "in").string()};
        if (dial) {
            args.insert(args.end(), {"--dial", "1002", "send", modems.portA(), sent.string()});
        } else {
            args.insert(args.end(), {"--listen", "--rings", "1", "listen", modems.portB()});
        }
        return std::make_unique<Krlcli>(args, root / name);
    };
    auto b = call("b1", {}, false);
    ASSERT_TRUE(b->waitFor("waiting for a call", true)) << b->errors();
    auto a = call("a1", big, true);
    ASSERT_TRUE(a->waitFor("connected", true)) << a->errors();
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the file is on its way
    EXPECT_EQ(modems.control("close A"), "OK");
    EXPECT_EQ(a->wait(60), 4) << a->errors();  // the line or the peer is gone
    EXPECT_GT(b->wait(60), 0) << b->errors();
    EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));  // no part kept as if whole

    EXPECT_EQ(modems.control("refuse A"), "OK");
    auto refused = call("a2", small, true);
    EXPECT_EQ(refused->wait(60), 3) << refused->errors();  // the port cannot be opened

    EXPECT_EQ(modems.control("serve A"), "OK");
    b = call("b3", {}, false);
    ASSERT_TRUE(b->waitFor("waiting for a call", true)) << b->errors();
    a = call("a3", small, true);
    EXPECT_EQ(a->wait(), 0) << a->errors();
    EXPECT_EQ(b->wait(), 0) << b->errors();
    EXPECT_EQ(slurp(root / "in" / "small.bin"), slurp(small));
}

// A "krlcli-video" figure of a run's standard output, or -1 when it is missing.
long videoFigure(const std::string& output, const std::string& name) {
    const std::size_t line = output.find("krlcli-video ");
    const std::size_t at = output.find(" " + name + "=", line);
    if (line == std::string::npos || at == std::string::npos)
        return -1;
    return std::stol(output.substr(at + name.size() + 2));
}

// Two-way video through two modems at 28800 with no per-frame budget, so that only the line
// paces the pictures. Each side may send only what the line carries: what the far side
// receives keeps up with what was sent, apart from the few frames still on their way.
TEST_F(KrlcliTest, VideoThroughModemsKeepsPaceWithTheLine) {
    ModemSim modems({.baud = 28800});
    ASSERT_TRUE(modems.ok()) << modems.error();
    const std::vector<std::string> video = {
        "--stats", "--modem", KRL_MODEM_FILE,      "--baud",          "57600",
        "--video", "test",    "--video-seconds=8", "--video-bytes=0", "--video-quality=40"};
    std::vector<std::string> answer = video;
    answer.insert(answer.end(), {"--listen", "--rings", "1", "listen", modems.portB()});
    std::vector<std::string> dial = video;
    dial.insert(dial.end(), {"--dial", "1002", "listen", modems.portA()});
    Krlcli b(answer, root / "b");
    // The answering side has its modem ready before the call comes.
    ASSERT_TRUE(b.waitFor("waiting for a call", true)) << b.errors();
    Krlcli a(dial, root / "a");
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
        fs::create_directories(root / side / "outbox");
        fs::create_directories(root / side / "in");
        writeRandom(root / side / "outbox" / (std::string(side) + ".bin"), 20000, side[0]);
        sent.push_back(root / side / "outbox" / "sent" / (std::string(side) + ".bin"));
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
    EXPECT_NE(a.output().find("krlcli-running ms="), std::string::npos);
    EXPECT_NE(a.output().find(" recv_frames="), std::string::npos);
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
        EXPECT_NE(sender.output().find("files_ok=1 files_failed=0"), std::string::npos)
            << sender.errors();
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
    const std::vector<std::string> video = {"--video", "test", "--video-seconds=600"};
    std::vector<std::string> listenWithVideo = listenArgs();
    listenWithVideo.insert(listenWithVideo.begin(), video.begin(), video.end());
    Krlcli listener(listenWithVideo, root / "listen");
    Krlcli sender({"--stats", "--idle-minutes", "1", video[0], video[1], video[2], "send",
                   cable->pathA(), big.string()},
                  root / "send");
    ASSERT_TRUE(sender.waitFor("connected", true)) << sender.errors();
    ASSERT_TRUE(growsTo(root / "in" / "big.bin", 20000));
    cable->stop();
    EXPECT_EQ(sender.wait(10), 4) << sender.errors();
    EXPECT_EQ(listener.wait(10), 4) << listener.errors();
    for (Krlcli* end : {&sender, &listener}) {
        EXPECT_NE(end->errors().find("[Error 4170]"), std::string::npos) << end->errors();
        EXPECT_NE(end->errors().find("big.bin: cut off, the line was lost"), std::string::npos)
            << end->errors();
    }
    EXPECT_NE(sender.output().find("files_ok=0 files_failed=1"), std::string::npos);
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
        EXPECT_NE(closing.errors().find("big.bin: stopped, krlcli is closing"), std::string::npos);
        for (const std::string& said : c.peerHears)
            EXPECT_NE(peer.errors().find(said), std::string::npos) << peer.errors();
        EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));
        EXPECT_TRUE(partsIn(root / "in").empty());
    }
}

// Interrupted on a modem call, krlcli also hangs the modem up: the peer hears why, the
// disconnect command goes out and the modem is back on the hook.
TEST_F(KrlcliTest, InterruptedModemCallHangsTheLineUp) {
    ModemSim modems({.ringMs = 1000, .dialMs = 300, .handshakeMs = 300});
    ASSERT_TRUE(modems.ok()) << modems.error();
    const fs::path big = file("big.bin", 300000, 15);
    auto args = [&](const char* log, std::vector<std::string> tail) {
        std::vector<std::string> a = {
            "--modem", KRL_MODEM_FILE,         "--baud", "57600",
            "--dir",   (root / "in").string(), "--log",  (root / log).string()};
        a.insert(a.end(), tail.begin(), tail.end());
        return a;
    };
    Krlcli b(args("b.log", {"--listen", "--rings", "1", "listen", modems.portB()}), root / "b");
    ASSERT_TRUE(b.waitFor("waiting for a call", true)) << b.errors();
    Krlcli a(args("a.log", {"--dial", "1002", "send", modems.portA(), big.string()}), root / "a");
    ASSERT_TRUE(growsTo(root / "in" / "big.bin", 20000));
    a.signal(SIGINT);
    EXPECT_EQ(a.wait(30), 128 + SIGINT) << a.errors();
    EXPECT_EQ(b.wait(30), 1) << b.errors();
    EXPECT_TRUE(
        inOrder(readLines((root / "a.log").string()),
                {">  <Stop Sending>", ">  <Disconnect>", ">  @Disconnect Command", ">  ATH0|"}));
    EXPECT_NE(modems.control("status A").find("onhook"), std::string::npos);
    EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));
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
    EXPECT_NE(listener.errors().find("[Error 4080]"), std::string::npos) << listener.errors();
    EXPECT_NE(sender.errors().find("[Acknowledgment 5010]"), std::string::npos);
    EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));
}

// A peer that greets and goes away: the listener's greeting gets its three tries, then the
// listener gives up with the reason instead of greeting for ever.
TEST_F(KrlcliTest, ListenerGivesUpOnAPeerThatGreetedAndLeft) {
    startCable({.baud = 115200, .seed = 18, .durationSeconds = 300});
    Krlcli listener(listenArgs(), root / "listen");
    RawEnd peer(cable->pathA());
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(peer.waitFor(helloFrame()));  // krlcli has its port open
    peer.send(helloFrame());
    ASSERT_TRUE(peer.waitFor(commandBytes("<OKHello>")));
    EXPECT_EQ(listener.wait(40), 4) << listener.errors();
    EXPECT_NE(listener.errors().find("[Acknowledgment 5210]"), std::string::npos);
}

// Chat text keeps its CR LF on the wire, and a received line is printed once.
TEST_F(KrlcliTest, ChatKeepsCrLfOnTheWireAndPrintsEachLineOnce) {
    startCable({.baud = 115200, .seed = 19, .durationSeconds = 300});
    Krlcli chat({"chat", cable->pathB()}, root / "chat", true);
    RawEnd peer(cable->pathA());
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(peer.waitFor(helloFrame()));  // krlcli has its port open
    peer.send(helloFrame());
    ASSERT_TRUE(peer.waitFor(commandBytes("<OKHello>")));
    chat.type("hello there\n");
    const std::string line = "hello there\r\n";
    EXPECT_TRUE(peer.waitFor(frameBytes(5, {line.begin(), line.end()})));
    const std::string reply = "hi\r\n";
    peer.send(frameBytes(5, {reply.begin(), reply.end()}));
    EXPECT_TRUE(chat.waitFor("hi\n")) << chat.errors();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(chat.output(), "hi\n");
}

// Modem files that cannot serve the call and numbers too long to dial are refused with the
// reason, before anything is sent.
TEST_F(KrlcliTest, UnusableModemFilesAndOverlongNumbersAreRefused) {
    const fs::path garbage = root / "garbage.mdm";
    std::ofstream(garbage, std::ios::binary) << "\x01\x02 not a modem\n";
    const fs::path dialOnly = root / "dialonly.mdm";
    std::ofstream(dialOnly) << "[Modem]\nName=D\nType=Modem\n[Connect Commands]\nCommand1=ATD|\n";
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    const std::string port = (root / "no-such-port").string();
    const Case cases[] = {
        {{"--modem", garbage.string(), "--dial", "1", "listen", port},
         garbage.string() + " has no [Modem] section"},
        {{"--modem", dialOnly.string(), "--listen", "listen", port},
         "no ring text (WaitCommand in [Listen Commands])"},
        {{"--modem", KRL_MODEM_FILE, "--dial", std::string(40, '7'), "listen", port},
         "at most 31 dialling characters"},
    };
    int n = 0;
    for (const Case& c : cases) {
        Krlcli cli(c.args, root / ("refused" + std::to_string(n++)));
        EXPECT_EQ(cli.wait(30), 2) << cli.errors();
        EXPECT_NE(cli.errors().find(c.said), std::string::npos) << cli.errors();
        EXPECT_EQ(cli.errors().find("call made"), std::string::npos);
    }
}

TEST_F(KrlcliTest, UsageErrors) {
    Krlcli bad({"send"}, root / "bad");
    EXPECT_EQ(bad.wait(), 2);
    Krlcli noPort({"listen", (root / "no-such-port").string()}, root / "noport");
    EXPECT_EQ(noPort.wait(), 3);
}

}  // namespace
}  // namespace krl::test
