// Calls end to end: two connections in this process, each on a real port (a pseudo-terminal of
// "linesim cable", or an RFC 2217 port of a modem of "linesim modems"), pumped by a poll loop
// on the real clock as the program's event loop pumps them. The failure cases (busy, no answer,
// carrier loss, power off, silent peer, idle call) run on a scripted modem in ConnectionTest;
// a Hayes modem call with a file runs as two krlcli processes in tests/krlcli.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "connection/CallLog.h"
#include "connection/Connection.h"
#include "connection/TestPresenter.h"
#include "link/LinkListener.h"
#include "platform/posix/PosixSerialDeviceFactory.h"
#include "platform/posix/SteadyTickSource.h"
#include "resources/StringTable.h"
#include "support/LineSim.h"
#include "support/ModemSim.h"

using namespace krl;
using krl::test::inOrder;
using krl::test::readLines;
using krl::test::shipped;
using krl::test::TestPresenter;
namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 30000;  // generous: the machine may be loaded

// One copy of the program: a connection, its settings, its log and what its pumps reported,
// reacting to the pump as the main frame does.
class Peer : public LinkListener {
public:
    Peer(const std::string& name, const std::string& port, const std::string& modemFile)
        : factory(clock) {
        dir = fs::temp_directory_path() /
              ("krl-e2e-" + std::to_string(::getpid()) + "-" + name + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "Receive");
        settings.portName = port;
        settings.modemFile = modemFile;
        if (auto file = IniFile::load(modemFile)) {
            settings.modemName = file->value("Modem", "Name").value_or("");
        }
        settings.timeSlice = 200;
        settings.ringsCount = 2;
        settings.baudRate = 57600;
        presenter.autoAnswer = MessageAnswer::Ok;
        conn.applySettings(settings);
        conn.protocol().setListener(this);
        conn.protocol().setCommandTimeoutMs(settings.commandTimeOut);
        conn.openLog((dir / "krl.log").string());
    }
    ~Peer() override {
        conn.closeLog();
        fs::remove_all(dir);
    }

    void step() {
        PumpResult r = conn.pump();
        if (r != PumpResult::Ok)
            results.push_back(r);
        if (r == PumpResult::CallMade) {
            conn.protocol().receiver().control(ReceiveControl::Arm, (dir / "Receive/").string());
        }
        if (r == PumpResult::CarrierLost || r == PumpResult::PeerDisconnected ||
            r == PumpResult::PeerSilent) {
            conn.hangUp();
        }
        conn.checkIdle();
    }
    void sendEnded(SendState state, const std::string&, int) override { sent.push_back(state); }
    void receiveEnded(ReceiveState state, const std::string&, int) override {
        received.push_back(state);
    }
    std::vector<std::string> log() {
        conn.closeLog();
        auto lines = readLines((dir / "krl.log").string());
        conn.openLog((dir / "krl.log").string());
        return lines;
    }
    int count(PumpResult r) const {
        return static_cast<int>(std::count(results.begin(), results.end(), r));
    }

    fs::path dir;
    SteadyTickSource clock;
    PosixSerialDeviceFactory factory;
    TestPresenter presenter;
    CommsSettings settings;
    Connection conn{factory, clock, StringTable::builtIn(), presenter};
    std::vector<PumpResult> results;
    std::vector<SendState> sent;
    std::vector<ReceiveState> received;
};

// Pumps the peers (every 5 ms, or sooner when a port has bytes) until done() or the time-out.
bool runUntil(std::vector<Peer*> peers, const std::function<bool()>& done,
              int timeoutMs = kWaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::vector<pollfd> fds;
        for (Peer* p : peers) {
            int fd = p->conn.isPortOpen() ? p->conn.readNotifyHandle() : -1;
            if (fd >= 0)
                fds.push_back(pollfd{fd, POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), 5);
        for (Peer* p : peers)
            p->step();
    }
    return true;
}

std::string writeFile(const fs::path& path, std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    std::ofstream(path, std::ios::binary) << data;
    return data;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool connectedBoth(Peer& a, Peer& b) {
    return runUntil({&a, &b}, [&] {
        return a.conn.state() == ConnectionState::Connected &&
               b.conn.state() == ConnectionState::Connected && a.conn.greeting().answered &&
               b.conn.greeting().answered;
    });
}

// a ends the call with "<Disconnect>"; both sides end up not connected, with no message shown.
void disconnectFromA(Peer& a, Peer& b) {
    a.conn.protocol().sendDisconnect();
    a.conn.hangUp();
    ASSERT_TRUE(runUntil({&a, &b}, [&] {
        return a.conn.state() == ConnectionState::NotConnected &&
               b.conn.state() == ConnectionState::NotConnected;
    }));
    EXPECT_EQ(b.count(PumpResult::PeerDisconnected), 1);
    EXPECT_TRUE(a.presenter.shown.empty());
    EXPECT_TRUE(b.presenter.shown.empty());
}

// Both connected, a file from a to b, then a disconnects with "<Disconnect>".
void callSendFileAndDisconnect(Peer& a, Peer& b) {
    ASSERT_TRUE(connectedBoth(a, b));
    EXPECT_EQ(a.count(PumpResult::CallMade), 1);
    EXPECT_EQ(b.count(PumpResult::CallMade), 1);

    const std::string data = writeFile(a.dir / "photo.bin", 20000);
    ASSERT_EQ(a.conn.protocol().sender().control(SendControl::Start, kOrdinaryFile,
                                                 (a.dir / "photo.bin").string()),
              1);
    ASSERT_TRUE(runUntil({&a, &b}, [&] { return !a.sent.empty() && !b.received.empty(); }));
    EXPECT_EQ(a.sent, std::vector<SendState>{SendState::Done});
    EXPECT_EQ(b.received, std::vector<ReceiveState>{ReceiveState::Complete});
    EXPECT_EQ(readFile(b.dir / "Receive" / "photo.bin"), data);

    disconnectFromA(a, b);
}

}  // namespace

TEST(CableEndToEnd, ListenAnswersTheFirstRingTextAndACallCarriesAFile) {
    krl::test::LineSim cable({.baud = 57600});
    ASSERT_TRUE(cable.ok()) << cable.error();
    Peer a("a", cable.pathA(), shipped("SerialCable.mdm"));
    Peer b("b", cable.pathB(), shipped("SerialCable.mdm"));
    b.settings.ringsCount = 5;  // a cable answers on the first ring text whatever the setting
    b.conn.listen();
    ASSERT_EQ(b.conn.state(), ConnectionState::Listening);
    a.conn.dial("");
    callSendFileAndDisconnect(a, b);

    EXPECT_TRUE(inOrder(
        a.log(),
        {">  Modem script= Serial Cable", ">  @General Commands", ">  @Initialization Commands ",
         ">  @Connect Command", ">  KRLCALL|", "<  K", ">  *** Connect    on: ", ">  <HELLO>",
         "<  <OKHello>", ">  <Send NF>", "<  <OK for Send>", ">  <Disconnect>",
         ">  *** Disconnect on: ", ">  @Disconnect Command"}));
    EXPECT_TRUE(inOrder(b.log(), {">  Modem script= Serial Cable", ">  @Listening", "<  K",
                                  ">  @Answer Connect Command", ">  KRLANSWER|",
                                  ">  *** Connect    on: ", ">  <HELLO>", "<  <Disconnect>",
                                  ">  *** Disconnect on: "}));
}

class ModemEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(modems.ok()) << modems.error(); }
    krl::test::ModemSim modems{{.ringMs = 1500, .dialMs = 300, .handshakeMs = 300}};
};

TEST_F(ModemEndToEnd, DsvdDescriptionsConnectAndHangUp) {
    Peer a("a", modems.portA(), shipped("DsvdModem.mdm"));
    Peer b("b", modems.portB(), shipped("DsvdModem.mdm"));
    b.settings.ringsCount = 1;
    b.conn.listen();
    ASSERT_TRUE(runUntil({&b}, [&] { return b.conn.state() == ConnectionState::Listening; }));
    EXPECT_EQ(b.conn.connectType(), ConnectType::Dsvd);
    a.conn.dial("1002");
    ASSERT_TRUE(connectedBoth(a, b));
    ASSERT_NO_FATAL_FAILURE(disconnectFromA(a, b));
    EXPECT_TRUE(inOrder(a.log(), {">  Modem script= Generic DSVD Modem", ">  AT&Q5|", "<  ",
                                  ">  @Connect Command", ">  ATDT1002|"}));
}
