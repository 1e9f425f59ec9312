// linkdemo: two link engines joined by a virtual serial cable greet each other and exchange
// commands, a file block, video frames and chat, telling each step. Exits 0 when every step
// arrived as sent.
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <tuple>
#include <vector>

#include "base/SteadyTickSource.h"
#include "platform/posix/PosixSerialDeviceFactory.h"
#include "resources/StringTable.h"
#include "tools/linkdemo/CableProcess.h"
#include "tools/linkdemo/DemoEngine.h"

#ifndef KRL_LINESIM_PATH
#define KRL_LINESIM_PATH "linesim"
#endif

using namespace krl;
using krl::linkdemo::DemoEngine;

namespace {

struct Options {
    std::string linesim = KRL_LINESIM_PATH;
    std::string baud = "115200";
    std::string logFolder = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
};

const char* kUsage =
    "Usage: linkdemo [--baud N] [--linesim PATH] [--log-folder DIR]\n"
    "  Starts a virtual serial cable, joins two link engines with it and runs a short call.\n";

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        if (arg == "--linesim") {
            if (!value(o.linesim))
                return false;
        } else if (arg == "--baud") {
            if (!value(o.baud) || std::atol(o.baud.c_str()) <= 0)
                return false;
        } else if (arg == "--log-folder") {
            if (!value(o.logFolder))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

void heading(const std::string& text) {
    std::printf("\n== %s\n", text.c_str());
    std::fflush(stdout);
}

class Call {
public:
    Call(DemoEngine& a, DemoEngine& b) : a_(a), b_(b) {}

    // One pass of the program's pump at each end, after waiting up to 5 ms for bytes.
    // Returns false when a poll answered something other than "go on".
    void pump() {
        pollfd fds[2] = {{a_.readNotifyHandle(), POLLIN, 0}, {b_.readNotifyHandle(), POLLIN, 0}};
        ::poll(fds, 2, 5);
        for (DemoEngine* e : {&a_, &b_}) {
            e->readReceived();
            const int result = e->poll();
            if (result != LinkEngine::kPollOk)
                lastResult[e == &a_ ? 0 : 1] = result;
        }
    }

    bool until(const std::function<bool()>& done, const std::string& what) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                std::printf("  FAILED: %s did not happen within 30 s\n", what.c_str());
                return false;
            }
            pump();
        }
        return true;
    }

    int lastResult[2] = {LinkEngine::kPollOk, LinkEngine::kPollOk};

private:
    DemoEngine& a_;
    DemoEngine& b_;
};

std::vector<std::uint8_t> syntheticVideo(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = seed;
    for (auto& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return bytes;
}

void printLog(const std::string& name, const std::string& path) {
    std::printf("  connection log of %s (%s):\n", name.c_str(), path.c_str());
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::printf("    %s\n", line.c_str());
    }
}

int run(const Options& o) {
    std::printf("linkdemo: two link engines joined by a virtual serial cable at %s baud\n",
                o.baud.c_str());
    linkdemo::CableProcess cable(o.linesim, {"--baud", o.baud, "--seed", "1", "--duration", "300"});
    if (!cable.ok()) {
        std::printf("  FAILED: cannot start the cable (%s): %s\n", o.linesim.c_str(),
                    cable.error().c_str());
        return 1;
    }
    std::printf("  cable ends: A = %s, B = %s\n", cable.pathA().c_str(), cable.pathB().c_str());

    SteadyTickSource clock;
    PosixSerialDeviceFactory devices(clock);
    const StringTable& strings = StringTable::builtIn();
    DemoEngine a("A", devices, clock, strings);
    DemoEngine b("B", devices, clock, strings);
    LineSettings settings;
    settings.baudRate = static_cast<std::uint32_t>(std::atol(o.baud.c_str()));
    const std::string logA = o.logFolder + "/linkdemo-A.log";
    const std::string logB = o.logFolder + "/linkdemo-B.log";
    std::remove(logA.c_str());
    std::remove(logB.c_str());
    for (auto [engine, path, log] :
         {std::tuple{&a, cable.pathA(), logA}, std::tuple{&b, cable.pathB(), logB}}) {
        if (!engine->openPort(path, settings, 0)) {
            std::printf("  FAILED: %s cannot open %s\n", engine->name().c_str(), path.c_str());
            return 1;
        }
        engine->say("opened " + path);
        if (!engine->openLog(log))
            engine->say("(no connection log: cannot write " + log + ")");
    }
    Call call(a, b);

    heading("Greeting: both ends reset the call and send <HELLO>");
    a.callReset();
    a.say("sent the greeting");
    b.callReset();
    b.say("sent the greeting");
    if (!call.until([&] { return a.greeting().answered && b.greeting().answered; }, "greeting"))
        return 1;

    heading("Commands");
    a.sendCommand(LinkCommand::Page);
    a.say("sent <GetMonkey> (page the remote user)");
    b.sendCommand(LinkCommand::HoldCall);
    b.say("sent <HOLDCALL>");
    b.sendCommand(LinkCommand::CancelHoldCall);
    b.say("sent <CANCELHOLDCALL>");
    if (!call.until([&] { return b.commandsReceived >= 3 && a.commandsReceived >= 4; },
                    "command delivery"))
        return 1;

    heading("File block: start bytes travel doubled, the receiver checks and confirms");
    const std::string text = "Kestrelcall file block \x01 with start bytes \x01\x01 inside.";
    const FileBlockSent sent =
        a.sendFileBlock({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    a.say("sent a file block: " + std::to_string(sent.dataTaken) + " data bytes, " +
          std::to_string(sent.length) + " stuffed, check value " +
          std::to_string(static_cast<std::int32_t>(sent.checkValue)));
    if (!call.until([&] { return b.fileBlocksIntact == 1 && a.confirmations == 1; },
                    "the file block and its confirmation"))
        return 1;

    heading("Video: a key frame and an ordinary frame, each with its check value");
    const auto key = syntheticVideo(9000, 1);
    const auto delta = syntheticVideo(1800, 2);
    b.sendVideo(key, true);
    b.say("sent a video key frame of " + std::to_string(key.size()) + " bytes");
    b.sendVideo(delta, false);
    b.say("sent a video frame of " + std::to_string(delta.size()) + " bytes");
    if (!call.until([&] { return a.videoFramesIntact == 2; }, "video delivery"))
        return 1;

    heading("Chat");
    a.sendChat("Hello B, can you see me?");
    a.say("sent chat");
    b.sendChat("Loud and clear, A.");
    b.say("sent chat");
    if (!call.until([&] { return a.chatLines == 1 && b.chatLines == 1; }, "chat delivery"))
        return 1;

    heading("Disconnect: A says goodbye, B's poll reports the peer gone");
    a.sendCommand(LinkCommand::Disconnect);
    a.say("sent <Disconnect>");
    if (!call.until([&] { return call.lastResult[1] == LinkEngine::kPollPeerDisconnected; },
                    "the disconnect"))
        return 1;
    b.say("poll answered -1: the remote user has disconnected");

    heading("Summary");
    for (DemoEngine* e : {&a, &b}) {
        e->say("damaged frames " + std::to_string(e->damagedFrames()) + ", re-sent blocks " +
               std::to_string(e->resentBlocks()));
        e->closeLog();
        e->closePort();
    }
    printLog("A", logA);
    printLog("B", logB);
    cable.stop();
    const bool clean = a.damagedFrames() == 0 && b.damagedFrames() == 0;
    std::printf("\nlinkdemo: %s\n", clean ? "every frame arrived as sent" : "FAILED");
    return clean ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    Options options;
    if (!parse(argc, argv, options)) {
        std::cerr << kUsage;
        return 2;
    }
    return run(options);
}
