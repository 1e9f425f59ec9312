// krlcli placing and answering calls through modem files: two real processes over
// "linesim modems", the modems' line signals (carrier, power) as they really change.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "connection/CallLog.h"
#include "support/ModemSim.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using krl::test::inOrder;
using krl::test::readLines;
using krl::test::shipped;

constexpr int kExitNoPeer = 4;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename Predicate>
bool waitUntil(Predicate done, int seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// One krlcli process with its standard error in a file.
class Krlcli {
public:
    Krlcli(std::vector<std::string> args, const fs::path& errors) : err_(errors.string()) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        args.insert(args.begin(), KRL_KRLCLI_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Krlcli() {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool running() { return poll() < 0; }
    // The exit status, or -1 while it runs.
    int poll() {
        if (status_ < 0 && pid_ > 0) {
            int st = 0;
            if (::waitpid(pid_, &st, WNOHANG) == pid_) {
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            }
        }
        return status_;
    }
    int wait(int seconds = 120) {
        waitUntil([&] { return poll() >= 0; }, seconds);
        return status_;
    }
    bool said(const std::string& text, int seconds = 60) {
        return waitUntil([&] { return errors().find(text) != std::string::npos; }, seconds);
    }
    std::string errors() const { return slurp(err_); }

private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::string err_;
};

class KrlcliModemCall : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(modems.ok()) << modems.error();
        std::string pattern = (fs::temp_directory_path() / "krl-calls-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        fs::create_directories(root / "in");
        std::string data(40000, '\0');
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>(i * 131 + 7);
        std::ofstream(root / "card.bin", std::ios::binary) << data;
    }
    void TearDown() override {
        if (HasFailure())
            std::cerr << "a.log:\n" << slurp(root / "a.log") << "b.log:\n" << slurp(root / "b.log");
        fs::remove_all(root);
    }

    // krlcli on side A (dialling 1002) or B (listening) of the modems, with its log and errors
    // under the side's letter; `tail` is the command and its arguments.
    std::unique_ptr<Krlcli> start(char side, std::vector<std::string> tail) {
        const std::string letter(1, static_cast<char>(side + 'a' - 'A'));
        std::vector<std::string> args = {
            "--modem", shipped("HayesModem.mdm"), "--baud", "57600",
            "--dir",   (root / "in").string(),    "--log",  (root / (letter + ".log")).string()};
        if (side == 'A')
            args.insert(args.end(), {"--dial", "1002"});
        else
            args.insert(args.end(), {"--listen", "--rings", "3"});
        args.insert(args.end(), tail.begin(), tail.end());
        return std::make_unique<Krlcli>(args, root / (letter + ".err"));
    }
    std::string port(char side) { return side == 'A' ? modems.portA() : modems.portB(); }
    // Both sides connected and idle (each waiting for files).
    void connectIdle(std::unique_ptr<Krlcli>& a, std::unique_ptr<Krlcli>& b) {
        b = start('B', {"listen", port('B')});
        ASSERT_TRUE(b->said("waiting for a call"));
        a = start('A', {"listen", port('A')});
        ASSERT_TRUE(a->said("krlcli: connected")) << a->errors();
        ASSERT_TRUE(b->said("krlcli: connected")) << b->errors();
    }

    krl::test::ModemSim modems{{.ringMs = 1500, .dialMs = 300, .handshakeMs = 300}};
    fs::path root;
};

}  // namespace

TEST_F(KrlcliModemCall, DialRingsAnswersGreetsSendsAFileAndHangsUp) {
    auto b = start('B', {"listen", port('B')});
    ASSERT_TRUE(b->said("waiting for a call"));
    auto a = start('A', {"send", port('A'), (root / "card.bin").string()});
    EXPECT_EQ(a->wait(), 0) << a->errors();
    EXPECT_EQ(b->wait(), 0) << b->errors();
    EXPECT_EQ(slurp(root / "in" / "card.bin"), slurp(root / "card.bin"));
    // Answered after the third ring: what the modem said while listening holds three.
    EXPECT_EQ(krl::test::ringsBeforeAnswer(readLines((root / "b.log").string())), 3);
    EXPECT_NE(a->errors().find("call made at 28800 bps"), std::string::npos) << a->errors();
    EXPECT_NE(b->errors().find("the peer disconnected"), std::string::npos) << b->errors();
    const auto aLog = readLines((root / "a.log").string());
    EXPECT_TRUE(inOrder(aLog, {">  @Connect Command", ">  ATDT1002|", ">  *** Connect    on: ",
                               ">  <Send NF>", ">  <Disconnect>", ">  ATH0|"}));
    // The greeting may need a second try on a loaded machine; it is answered either way.
    EXPECT_TRUE(inOrder(aLog, {">  *** Connect    on: ", "<  <OKHello>"}));
}

TEST_F(KrlcliModemCall, ShortCarrierDropSurvivesALongOneEndsWith4170) {
    std::unique_ptr<Krlcli> a, b;
    connectIdle(a, b);
    ASSERT_EQ(modems.control("drop A 1000"), "OK");
    std::this_thread::sleep_for(std::chrono::seconds(3));  // the call must survive this long
    EXPECT_TRUE(a->running()) << a->errors();
    EXPECT_TRUE(b->running()) << b->errors();
    ASSERT_EQ(modems.control("drop A 6000"), "OK");
    EXPECT_EQ(a->wait(), kExitNoPeer);
    EXPECT_NE(a->errors().find(" 4170] The connection with the other computer has been lost"),
              std::string::npos)
        << a->errors();
    EXPECT_TRUE(
        inOrder(readLines((root / "a.log").string()),
                {">  *** Connect    on: ", ">  *** Disconnect on: ", ">  @Disconnect Command"}));
}

TEST_F(KrlcliModemCall, ModemSwitchedOffEndsWith4160) {
    std::unique_ptr<Krlcli> a, b;
    connectIdle(a, b);
    ASSERT_EQ(modems.control("off A"), "OK");
    EXPECT_EQ(a->wait(), kExitNoPeer);
    EXPECT_NE(a->errors().find(" 4160] Your Modem is not switched on"), std::string::npos)
        << a->errors();
}
