// krlcli placing and answering calls through modem files: two real processes over
// "linesim cable" and "linesim modems".
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

#include "platform/posix/PosixSerialDeviceFactory.h"
#include "platform/posix/SteadyTickSource.h"
#include "support/LineSim.h"
#include "support/ModemSim.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kExitNoPeer = 4;

std::string shipped(const std::string& name) {
    return std::string(KRL_MODEM_DIR) + "/" + name;
}

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

// True when every expected text starts one line of the log, in this order.
::testing::AssertionResult logInOrder(const fs::path& path,
                                      const std::vector<std::string>& expected) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    std::size_t at = 0;
    for (const std::string& want : expected) {
        while (at < lines.size() && lines[at].rfind(want, 0) != 0)
            ++at;
        if (at == lines.size())
            return ::testing::AssertionFailure() << "missing in order: " << want;
        ++at;
    }
    return ::testing::AssertionSuccess();
}

class KrlcliCall : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "krl-calls-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        fs::create_directories(root / "in");
        std::string data(40000, '\0');
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>(i * 131 + 7);
        std::ofstream(root / "card.bin", std::ios::binary) << data;
    }
    void TearDown() override {
        if (HasFailure()) {
            std::cerr << "a.log:\n" << slurp(root / "a.log") << "b.log:\n" << slurp(root / "b.log");
        }
        fs::remove_all(root);
    }

    std::vector<std::string> listener(const std::string& port, const std::string& modem,
                                      std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--modem",
                                         modem,
                                         "--listen",
                                         "--baud",
                                         "57600",
                                         "--dir",
                                         (root / "in").string(),
                                         "--log",
                                         (root / "b.log").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {"listen", port});
        return args;
    }
    std::vector<std::string> caller(const std::string& port, const std::string& modem,
                                    const std::string& number, std::vector<std::string> tail,
                                    std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--modem", modem,   "--dial", number,
                                         "--baud",  "57600", "--log",  (root / "a.log").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    }

    fs::path root;
};

class KrlcliModemCall : public KrlcliCall {
protected:
    void SetUp() override {
        KrlcliCall::SetUp();
        ASSERT_TRUE(modems.ok()) << modems.error();
    }
    // Both sides connected and idle (each waiting for files).
    void connectIdle(std::unique_ptr<Krlcli>& a, std::unique_ptr<Krlcli>& b,
                     std::vector<std::string> aExtra = {}) {
        b = std::make_unique<Krlcli>(
            listener(modems.portB(), shipped("HayesModem.mdm"), {"--rings", "1"}), root / "b.err");
        ASSERT_TRUE(b->said("waiting for a call"));
        a = std::make_unique<Krlcli>(
            caller(modems.portA(), shipped("HayesModem.mdm"), "1002",
                   {"--dir", (root / "in").string(), "listen", modems.portA()}, aExtra),
            root / "a.err");
        ASSERT_TRUE(a->said("krlcli: connected")) << a->errors();
        ASSERT_TRUE(b->said("krlcli: connected")) << b->errors();
    }
    krl::test::ModemSim modems{{.ringMs = 1500, .dialMs = 300, .handshakeMs = 300}};
};

}  // namespace

TEST_F(KrlcliCall, SerialCableListenAnswersTheFirstRingTextAndAFileCrosses) {
    krl::test::LineSim cable({.baud = 57600});
    ASSERT_TRUE(cable.ok()) << cable.error();
    Krlcli b(listener(cable.pathB(), shipped("SerialCable.mdm"), {"--rings", "4"}), root / "b.err");
    ASSERT_TRUE(b.said("waiting for a call"));
    Krlcli a(caller(cable.pathA(), shipped("SerialCable.mdm"), "0",
                    {"send", cable.pathA(), (root / "card.bin").string()}),
             root / "a.err");
    EXPECT_EQ(a.wait(), 0) << a.errors();
    EXPECT_EQ(b.wait(), 0) << b.errors();
    EXPECT_EQ(slurp(root / "in" / "card.bin"), slurp(root / "card.bin"));
    EXPECT_NE(b.errors().find("the peer disconnected"), std::string::npos) << b.errors();
    EXPECT_TRUE(logInOrder(
        root / "a.log", {">  Modem script= Serial Cable", ">  @Connect Command", ">  KRLCALL|",
                         ">  *** Connect    on: ", ">  <HELLO>", ">  <Send NF>", ">  <Disconnect>",
                         ">  *** Disconnect on: ", ">  @Disconnect Command"}));
    EXPECT_TRUE(logInOrder(
        root / "b.log",
        {">  Modem script= Serial Cable", ">  @Listening", "<  K", ">  @Answer Connect Command",
         ">  KRLANSWER|", ">  *** Connect    on: ", "<  <Disconnect>", ">  *** Disconnect on: "}));
}

TEST_F(KrlcliModemCall, DialRingsAnswersGreetsSendsAFileAndHangsUp) {
    Krlcli b(listener(modems.portB(), shipped("HayesModem.mdm"), {"--rings", "2"}), root / "b.err");
    ASSERT_TRUE(b.said("waiting for a call"));
    Krlcli a(caller(modems.portA(), shipped("HayesModem.mdm"), "1002",
                    {"send", modems.portA(), (root / "card.bin").string()}),
             root / "a.err");
    EXPECT_EQ(a.wait(), 0) << a.errors();
    EXPECT_EQ(b.wait(), 0) << b.errors();
    EXPECT_EQ(slurp(root / "in" / "card.bin"), slurp(root / "card.bin"));
    // Answered after the second ring: what the modem said while listening holds two.
    std::string log = slurp(root / "b.log");
    std::size_t from = log.find("@Listening"), to = log.find("@Answer Connect Command");
    ASSERT_LT(from, to);
    std::string heard;
    for (std::size_t at = log.find("\n<  ", from); at < to; at = log.find("\n<  ", at + 1)) {
        heard += log.substr(at + 4, log.find('\r', at + 1) - at - 4);
    }
    int rings = 0;
    for (std::size_t at = heard.find("RING"); at != std::string::npos;
         at = heard.find("RING", at + 1)) {
        ++rings;
    }
    EXPECT_EQ(rings, 2) << log;
    EXPECT_NE(a.errors().find("call made at 28800 bps"), std::string::npos) << a.errors();
    EXPECT_NE(b.errors().find("the peer disconnected"), std::string::npos) << b.errors();
    EXPECT_TRUE(logInOrder(
        root / "a.log",
        {">  Modem script= Generic Hayes Modem", ">  @General Commands", ">  AT|", ">  ATZ|",
         ">  @Initialization Commands ", ">  @Connect Command", ">  ATDT1002|",
         ">  *** Connect    on: ", ">  <HELLO>", ">  <Send NF>", ">  <Disconnect>",
         ">  *** Disconnect on: ", ">  @Disconnect Command", ">  ATH0|"}));
    // The greeting may need a second try on a loaded machine; it is answered either way.
    EXPECT_TRUE(logInOrder(root / "a.log", {">  *** Connect    on: ", "<  <OKHello>"}));
    EXPECT_TRUE(
        logInOrder(root / "b.log", {">  @Listening", ">  @Answer Connect Command", ">  ATA|",
                                    ">  *** Connect    on: ", "<  <Send NF>", "<  <Disconnect>",
                                    ">  *** Disconnect on: ", ">  @Disconnect Command"}));
}

TEST_F(KrlcliModemCall, BusyLineEndsTheDialWith4200) {
    ASSERT_EQ(modems.control("busy B"), "OK");
    Krlcli a(caller(modems.portA(), shipped("HayesModem.mdm"), "1002", {"listen", modems.portA()}),
             root / "a.err");
    EXPECT_EQ(a.wait(), kExitNoPeer);
    EXPECT_NE(a.errors().find(" 4200] The remote user/modem is busy"), std::string::npos)
        << a.errors();
}

TEST_F(KrlcliModemCall, UnansweredCallEndsWith4200) {
    std::string text = slurp(shipped("HayesModem.mdm"));
    const std::string init = "Command1=ATE0V1Q0X4&C1&D2S0=0|";
    text.replace(text.find(init), init.size(), "Command1=ATE0V1Q0X4&C1&D2S0=0S7=3|");
    std::ofstream(root / "short.mdm", std::ios::binary) << text;
    Krlcli a(
        caller(modems.portA(), (root / "short.mdm").string(), "1002", {"listen", modems.portA()}),
        root / "a.err");
    EXPECT_EQ(a.wait(), kExitNoPeer);
    EXPECT_NE(a.errors().find(" 4200]"), std::string::npos) << a.errors();
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
    EXPECT_TRUE(logInOrder(root / "a.log", {">  *** Connect    on: ", ">  *** Disconnect on: ",
                                            ">  @Disconnect Command"}));
}

TEST_F(KrlcliModemCall, ModemSwitchedOffEndsWith4160) {
    std::unique_ptr<Krlcli> a, b;
    connectIdle(a, b);
    ASSERT_EQ(modems.control("off A"), "OK");
    EXPECT_EQ(a->wait(), kExitNoPeer);
    EXPECT_NE(a->errors().find(" 4160] Your Modem is not switched on"), std::string::npos)
        << a->errors();
}

TEST_F(KrlcliModemCall, IdleCallIsDroppedWith5160) {
    std::unique_ptr<Krlcli> a, b;
    connectIdle(a, b, {"--idle-minutes", "1"});
    EXPECT_EQ(a->wait(150), kExitNoPeer);
    EXPECT_NE(a->errors().find(" 5160] No data has been transfered for a while."),
              std::string::npos)
        << a->errors();
}

TEST_F(KrlcliModemCall, GreetingNeverAnsweredEndsWith5210) {
    // The far end is a modem whose computer answers the call but never speaks the protocol.
    krl::SteadyTickSource clock;
    krl::PosixSerialDeviceFactory factory(clock);
    auto far = factory.create(modems.portB());
    ASSERT_TRUE(far && far->open(modems.portB()));
    far->configure(krl::LineSettings{});
    Krlcli a(caller(modems.portA(), shipped("HayesModem.mdm"), "1002", {"listen", modems.portA()}),
             root / "a.err");
    std::string heard;
    ASSERT_TRUE(waitUntil(
        [&] {
            std::uint8_t buffer[256];
            long n = far->read(buffer, sizeof buffer);
            if (n > 0)
                heard.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
            return heard.find("RING") != std::string::npos;
        },
        60));
    far->write(reinterpret_cast<const std::uint8_t*>("ATA\r"), 4);
    EXPECT_EQ(a.wait(), kExitNoPeer);
    EXPECT_NE(a.errors().find(" 5210] The remote Kestrelcall is not responding."),
              std::string::npos)
        << a.errors();
}
