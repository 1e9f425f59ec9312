// The RFC 2217 client against scripted servers (negotiation failures, escaping, a server that
// goes away) and against ser2net serving a pseudo-terminal.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "base/SteadyTickSource.h"
#include "fakes/ManualClock.h"
#include "platform/posix/PosixSerialDeviceFactory.h"
#include "platform/posix/PseudoTerminal.h"
#include "platform/posix/Rfc2217Device.h"

namespace krl {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWait = std::chrono::seconds(15);

std::string url(std::uint16_t port) {
    return "rfc2217://127.0.0.1:" + std::to_string(port);
}

// A loopback listening socket on a free port.
class Listener {
public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 2);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~Listener() { close(); }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int accept() { return ::accept(fd_, nullptr, nullptr); }
    std::uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

void sendAll(int fd, const std::string& bytes) {
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
}

// Reads from fd until `needle` has been seen or the wait runs out; returns everything read.
std::string recvUntil(int fd, const std::string& needle) {
    std::string got;
    const auto deadline = Clock::now() + kWait;
    while (got.find(needle) == std::string::npos && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char buffer[1024];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            got.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    return got;
}

// Reads from the device until `count` bytes have arrived or the wait runs out.
std::string readDevice(SerialDevice& device, std::size_t count) {
    std::string got;
    const auto deadline = Clock::now() + kWait;
    while (got.size() < count && Clock::now() < deadline) {
        pollfd p{device.readNotifyHandle(), POLLIN, 0};
        ::poll(&p, 1, 50);
        std::uint8_t buffer[1024];
        const long n = device.read(buffer, sizeof buffer);
        if (n < 0)
            break;
        got.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
    }
    return got;
}

// Writes the text to the device; what its write returned.
long writeText(SerialDevice& device, std::string_view text) {
    return device.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// Polls every 5 ms until `done` holds or the wait runs out; whether it held.
bool waitUntil(const std::function<bool()>& done) {
    for (const auto deadline = Clock::now() + kWait; !done();) {
        if (Clock::now() >= deadline)
            return false;
        ::poll(nullptr, 0, 5);
    }
    return true;
}

const std::string kIac = "\xff";
const std::string kDoComPort = "\xff\xfd\x2c";

TEST(Rfc2217Name, ParsesHostAndPortAndTheFactoryServesIt) {
    std::string host;
    std::uint16_t port = 0;
    EXPECT_TRUE(Rfc2217Device::parseName("rfc2217://127.0.0.1:2000", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 2000);
    EXPECT_TRUE(Rfc2217Device::parseName("RFC2217://modem-server:7/", host, port));
    EXPECT_EQ(host, "modem-server");
    EXPECT_TRUE(Rfc2217Device::parseName("rfc2217://[::1]:65535", host, port));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 65535);
    for (const char* bad : {"rfc2217://host", "rfc2217://host:0", "rfc2217://host:65536",
                            "rfc2217://:20", "rfc2217://a:b:1", "rfc2217://host:2x", "/dev/ttyS0",
                            "rfc2217://[::1:20", "rfc2217://host:"}) {
        EXPECT_FALSE(Rfc2217Device::parseName(bad, host, port)) << bad;
    }

    SteadyTickSource clock;
    PosixSerialDeviceFactory factory(clock);
    auto device = factory.create("rfc2217://127.0.0.1:1");
    EXPECT_NE(dynamic_cast<Rfc2217Device*>(device.get()), nullptr);
    EXPECT_FALSE(device->open("rfc2217://127.0.0.1:bad"));
}

TEST(Rfc2217Open, FailsWhenNobodyListensOrTheServerWillNotServeAPort) {
    SteadyTickSource clock;
    Rfc2217Device::Options options;
    options.connectTimeoutMs = 400;
    options.modemStateWaitMs = 100;
    Rfc2217Device device(clock, options);

    std::uint16_t freePort;
    {
        Listener closed;
        freePort = closed.port();
    }
    EXPECT_FALSE(device.open(url(freePort)));
    EXPECT_FALSE(device.isOpen());

    // A telnet server without COM-PORT-OPTION.
    Listener refusing;
    std::thread server([&] {
        const int fd = refusing.accept();
        sendAll(fd, "\xff\xfe\x2c");  // DONT COM-PORT-OPTION
        recvUntil(fd, "never");
        ::close(fd);
    });
    const auto start = Clock::now();
    EXPECT_FALSE(device.open(url(refusing.port())));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    refusing.close();
    server.join();

    // A server that never answers: open gives up after its time-out, even by a clock that
    // stands still.
    Listener silent;
    std::vector<int> silentFds;
    std::thread quiet([&] {
        for (int i = 0; i < 2; ++i)
            silentFds.push_back(silent.accept());
    });
    EXPECT_FALSE(device.open(url(silent.port())));
    test::ManualClock stopped;
    Rfc2217Device stuck(stopped, options);
    EXPECT_FALSE(stuck.open(url(silent.port())));
    quiet.join();
    for (int fd : silentFds)
        ::close(fd);
}

TEST(Rfc2217Device, EscapesBothWaysReadsModemStateAndReportsALostServer) {
    SteadyTickSource clock;
    Rfc2217Device device(clock);
    Listener listener;
    std::string clientSent;
    std::thread server([&] {
        const int fd = listener.accept();
        clientSent = recvUntil(fd, "\xff\xfb\x2c");  // WILL COM-PORT-OPTION
        // Consent, a modem state (CTS, DSR, DCD), a WILL ECHO to refuse, then data with a
        // doubled 0xFF and a NOP in the middle.
        sendAll(fd, kDoComPort + "\xff\xfa\x2c\x6b\xb0\xff\xf0" + "\xff\xfb\x01" + "a\xff\xff" +
                        "\xff\xf1" + "b");
        clientSent += recvUntil(fd, "x\xff\xffy");
        sendAll(fd, "\xff\xfa\x2c\x6b\x30\xff\xf0");    // carrier gone
        recvUntil(fd, "\xff\xfa\x2c\x0c\x03\xff\xf0");  // PURGE-DATA both
        ::close(fd);
    });
    ASSERT_TRUE(device.open(url(listener.port())));
    EXPECT_EQ(device.modemStatus(), modem_line::kCts | modem_line::kDsr | modem_line::kDcd);
    EXPECT_EQ(readDevice(device, 3),
              "a\xff"
              "b");
    EXPECT_EQ(writeText(device, "x\xffy"), 3);

    EXPECT_TRUE(
        waitUntil([&] { return device.modemStatus() == (modem_line::kCts | modem_line::kDsr); }));
    device.purge();
    std::uint8_t buffer[16];
    long n = 0;
    waitUntil([&] { return (n = device.read(buffer, sizeof buffer)) != 0; });
    EXPECT_EQ(n, -1);                    // the server has gone: a failure, not silence
    EXPECT_EQ(device.modemStatus(), 0);  // and the modem with it
    EXPECT_EQ(device.write(buffer, 1), -1);
    server.join();
    EXPECT_NE(clientSent.find(std::string("\xff\xfd\x00", 3)), std::string::npos);      // DO BINARY
    EXPECT_NE(clientSent.find("\xff\xfe\x01"), std::string::npos);                      // DONT ECHO
    EXPECT_NE(clientSent.find("\xff\xfa\x2c\x0b\xff\xff\xff\xf0"), std::string::npos);  // mask
    EXPECT_NE(clientSent.find("x\xff\xffy"), std::string::npos);
}

// A server whose modem shows CTS, DSR and DCD and takes whatever it is sent, at 57600 baud.
class ModemServer : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::thread([this] {
            const int fd = listener.accept();
            recvUntil(fd, "\xff\xfb\x2c");                             // WILL COM-PORT-OPTION
            sendAll(fd, kDoComPort + "\xff\xfa\x2c\x6b\xb0\xff\xf0");  // CTS, DSR, DCD
            recvUntil(fd, "never sent");  // reads everything until the client closes
            ::close(fd);
        });
        ASSERT_TRUE(device.open(url(listener.port())));
        LineSettings settings;
        settings.baudRate = 57600;  // ten bits a byte: 5760 bytes a second
        ASSERT_TRUE(device.configure(settings));
    }
    void TearDown() override {
        device.close();
        server.join();
    }
    test::ManualClock clock;
    Rfc2217Device device{clock};
    Listener listener;
    std::thread server;
};

// A modem that connected below the port rate: the estimate drains at the modem's rate (the
// rules of the hint are the serial device's test), and the program looks at the queue on every
// pass, a millisecond or so apart: it must drain at that rate however finely it is asked, or
// video outruns the line.
TEST_F(ModemServer, QueueEstimateDrainsAtTheLineRateWhenAskedEveryMillisecond) {
    device.setLineRateHint(28800);  // 2880 bytes a second
    const std::vector<std::uint8_t> block(2880, 'v');
    ASSERT_EQ(device.write(block.data(), block.size()), 2880);
    for (int ms = 0; ms < 500; ++ms) {
        clock.advance(1);
        device.outputQueueBytes();
    }
    EXPECT_NEAR(device.outputQueueBytes(), 1440, 1);
}

// A port server whose modem holds CTS low (its buffer is full) or that suspends the flow keeps
// our data here: the output queue shows it whatever the estimate says, and it goes, in order,
// once the server lets it. Without hardware flow control CTS holds nothing back.
TEST(Rfc2217Device, HeldByCtsOrSuspendTheDataWaitsInTheOutputQueue) {
    test::ManualClock clock;
    Rfc2217Device device(clock);
    Listener listener;
    std::atomic<int> step{0};
    std::string beforeRelease;
    std::string afterRelease;
    std::string whileSuspended;
    std::string afterResume;
    std::string withoutFlowControl;
    auto waitStep = [&](int n) { waitUntil([&] { return step.load() >= n; }); };
    // Everything that arrives within a short while (nothing should, while held).
    auto drain = [](int fd) {
        std::string got;
        for (int i = 0; i < 10; ++i) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buffer[1024];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    };
    std::thread server([&] {
        const int fd = listener.accept();
        recvUntil(fd, "\xff\xfb\x2c");
        sendAll(fd, kDoComPort + "\xff\xfa\x2c\x6b\xa0\xff\xf0");  // DSR, DCD: CTS low
        recvUntil(fd, "\xff\xfa\x2c\x05\x03\xff\xf0");             // hardware flow control
        waitStep(1);
        beforeRelease = drain(fd);
        sendAll(fd, "\xff\xfa\x2c\x6b\xb1\xff\xf0");  // CTS up
        afterRelease = recvUntil(fd, "first");
        waitStep(2);
        // FLOWCONTROL-SUSPEND, then a ring the client can be seen to have read after it.
        sendAll(fd, "\xff\xfa\x2c\x6c\xff\xf0\xff\xfa\x2c\x6b\xf0\xff\xf0");
        waitStep(3);
        whileSuspended = drain(fd);
        sendAll(fd, "\xff\xfa\x2c\x6d\xff\xf0");  // FLOWCONTROL-RESUME
        afterResume = recvUntil(fd, "second");
        sendAll(fd, "\xff\xfa\x2c\x6b\xa5\xff\xf0");  // CTS down again, the ring over
        waitStep(4);
        withoutFlowControl = recvUntil(fd, "third");
        step = 5;
        recvUntil(fd, "never sent");
        ::close(fd);
    });
    // A failed assertion returns early: the server's waits run out and it is joined.
    struct Join {
        std::thread& thread;
        ~Join() {
            if (thread.joinable())
                thread.join();
        }
    } join{server};
    // Polls the device (as the program's passes do) until its modem lines read `lines`.
    auto waitLines = [&](long lines) {
        return waitUntil([&] { return device.modemStatus() == lines; });
    };
    const long up = modem_line::kDsr | modem_line::kDcd;
    ASSERT_TRUE(device.open(url(listener.port())));
    LineSettings settings;
    settings.baudRate = 57600;
    ASSERT_TRUE(device.configure(settings));
    ASSERT_TRUE(waitLines(up));

    ASSERT_EQ(writeText(device, "first"), 5);
    clock.advance(10000);  // long past the line time of five bytes
    EXPECT_EQ(device.outputQueueBytes(), 5);
    step = 1;
    ASSERT_TRUE(waitLines(up | modem_line::kCts));
    EXPECT_TRUE(waitUntil([&] { return device.outputQueueBytes() == 0; }));

    step = 2;
    ASSERT_TRUE(waitLines(up | modem_line::kCts | modem_line::kRing));
    ASSERT_EQ(writeText(device, "second"), 6);
    clock.advance(10000);
    EXPECT_EQ(device.outputQueueBytes(), 6);
    step = 3;

    ASSERT_TRUE(waitLines(up));
    settings.ctsRtsFlowControl = false;
    ASSERT_TRUE(device.configure(settings));
    ASSERT_EQ(writeText(device, "third"), 5);
    step = 4;
    waitUntil([&] {
        device.outputQueueBytes();
        return step.load() >= 5;
    });
    device.close();
    server.join();
    EXPECT_EQ(beforeRelease.find("first"), std::string::npos);
    EXPECT_NE(afterRelease.find("first"), std::string::npos);
    EXPECT_EQ(whileSuspended.find("second"), std::string::npos);
    EXPECT_NE(afterResume.find("second"), std::string::npos);
    EXPECT_NE(withoutFlowControl.find("third"), std::string::npos);
}

// ser2net serving one end of a pseudo-terminal: a real remote serial port.
class Ser2netTest : public ::testing::Test {
protected:
    static constexpr const char* kSer2net = "/usr/sbin/ser2net";

    void SetUp() override {
        if (::access(kSer2net, X_OK) != 0)
            GTEST_SKIP() << "ser2net is not installed";
        std::string error;
        pty_ = PseudoTerminal::create(&error);
        ASSERT_TRUE(pty_) << error;
        {
            Listener probe;
            port_ = probe.port();
        }
        pidFile_ = "/tmp/krl-ser2net-" + std::to_string(::getpid()) + ".pid";
        const std::string accepter =
            "  accepter: telnet(rfc2217),tcp,127.0.0.1," + std::to_string(port_);
        const std::string connector =
            "  connector: serialdev," + pty_->slavePath() + ",9600n81,local";
        std::vector<std::string> args = {kSer2net,           "-n", "-u",     "-P", pidFile_, "-Y",
                                         "connection: &krl", "-Y", accepter, "-Y", connector};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent)
                ::_exit(127);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }

    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status;
            ::waitpid(pid_, &status, 0);
        }
        if (!pidFile_.empty())
            ::unlink(pidFile_.c_str());
    }

    // ser2net takes a moment to listen.
    bool openDevice(Rfc2217Device& device) {
        return waitUntil([&] { return device.open(url(port_)); });
    }

    termios slaveSettings() {
        termios t{};
        const int fd = ::open(pty_->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::tcgetattr(fd, &t);
        ::close(fd);
        return t;
    }

    void writeMaster(const std::string& bytes) {
        ASSERT_EQ(::write(pty_->masterFd(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    std::unique_ptr<PseudoTerminal> pty_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
    std::string pidFile_;
    SteadyTickSource clock_;
};

TEST_F(Ser2netTest, LineSettingsReachThePort) {
    Rfc2217Device device(clock_);
    ASSERT_TRUE(openDevice(device));
    // (A pseudo-terminal keeps 8 data bits and no parity whatever it is told.)
    for (auto [baud, speed, stopBits] : {std::tuple{19200, speed_t{B19200}, StopBits::Two},
                                         std::tuple{57600, speed_t{B57600}, StopBits::One}}) {
        LineSettings settings;
        settings.baudRate = baud;
        settings.stopBits = stopBits;
        ASSERT_TRUE(device.configure(settings));
        const bool twoStop = stopBits == StopBits::Two;
        const speed_t wanted = speed;  // a structured binding cannot be captured before clang 16
        termios t{};
        waitUntil([&] {
            t = slaveSettings();
            return cfgetospeed(&t) == wanted && ((t.c_cflag & CSTOPB) != 0) == twoStop;
        });
        EXPECT_EQ(cfgetospeed(&t), speed) << baud;
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, twoStop) << baud;
    }
}

TEST_F(Ser2netTest, DataBothWaysControlLinesPurgeAndReopen) {
    Rfc2217Device device(clock_);
    ASSERT_TRUE(openDevice(device));
    EXPECT_GE(device.modemStatus(), 0);  // ser2net reports the lines (none on a pty)
    LineSettings settings;
    settings.baudRate = 115200;
    ASSERT_TRUE(device.configure(settings));

    std::string all;
    for (int round = 0; round < 4; ++round) {
        for (int b = 0; b < 256; ++b)
            all.push_back(static_cast<char>(b));
    }
    all += "end of block";
    ASSERT_EQ(writeText(device, all), static_cast<long>(all.size()));
    EXPECT_EQ(recvUntil(pty_->masterFd(), "end of block"), all);

    writeMaster(all);
    EXPECT_EQ(readDevice(device, all.size()), all);

    // The control lines are only commands to the server: they must leave the stream intact.
    EXPECT_TRUE(device.setDtr(false));
    EXPECT_TRUE(device.setRts(false));
    EXPECT_TRUE(device.setDtr(true));
    EXPECT_TRUE(device.setRts(true));
    const std::string after = "after the control lines \xff";
    ASSERT_EQ(writeText(device, after), static_cast<long>(after.size()));
    EXPECT_EQ(recvUntil(pty_->masterFd(), after), after);

    // What has arrived and not been read is gone after a purge.
    writeMaster("stale");
    pollfd p{device.readNotifyHandle(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 15000), 1);
    ::poll(nullptr, 0, 100);
    device.purge();
    writeMaster("fresh");
    EXPECT_EQ(readDevice(device, 5), "fresh");

    device.close();
    EXPECT_FALSE(device.isOpen());
    Rfc2217Device again(clock_);
    ASSERT_TRUE(openDevice(again));
    const std::string hello = "hello again";
    ASSERT_EQ(writeText(again, hello), static_cast<long>(hello.size()));
    EXPECT_EQ(recvUntil(pty_->masterFd(), hello), hello);
}

}  // namespace
}  // namespace krl
