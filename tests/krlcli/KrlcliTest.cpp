// Two krlcli processes joined by linesim, as a script would run them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "connection/CallLog.h"
#include "support/LineSim.h"
#include "support/ModemSim.h"

extern char** environ;

namespace krl::test {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeRandom(const fs::path& p, std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(gen());
    std::ofstream(p, std::ios::binary) << s;
}

// One krlcli process; standard output and error go to files, standard input is a pipe the
// test holds (or /dev/null).
class Krlcli {
public:
    Krlcli(const std::vector<std::string>& args, const fs::path& outputs, bool withInput = false) {
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
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
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

class KrlcliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "krl-cli-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        fs::create_directories(root / "in");
        fs::create_directories(root / "out");
    }
    void TearDown() override { fs::remove_all(root); }
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

    fs::path root;
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
        Krlcli listener(listenArgs(), root / "listen1");
        Krlcli sender({"--stop-send-after", "20000", "send", cable->pathA(), big.string()},
                      root / "send1");
        EXPECT_EQ(sender.wait(), 1);
        EXPECT_EQ(listener.wait(), 1);
        EXPECT_FALSE(fs::exists(root / "in" / "big.bin"));
    }
    {
        Krlcli listener(listenArgs({"--stop-receive-after", "20000"}), root / "listen2");
        Krlcli sender({"send", cable->pathA(), big.string()}, root / "send2");
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

TEST_F(KrlcliTest, UsageErrors) {
    Krlcli bad({"send"}, root / "bad");
    EXPECT_EQ(bad.wait(), 2);
    Krlcli noPort({"listen", (root / "no-such-port").string()}, root / "noport");
    EXPECT_EQ(noPort.wait(), 3);
}

}  // namespace
}  // namespace krl::test
