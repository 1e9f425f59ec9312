// The control interface on a session bus of its own (run under dbus-run-session, see
// CMakeLists.txt): krlctl, gdbus and busctl drive one running copy through every command, and
// the three clients read the same texts. The copy calls krlcli over a linesim cable on Connect.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ProgramSide.h"
#include "fakes/TempFolder.h"
#include "support/LineSim.h"

using krl::test::kProgramWaitMs;
using krl::test::LineSim;
using krl::test::portArgs;
using krl::test::ProgramSide;
using krl::test::quoted;
using krl::test::waitUntil;
namespace fs = std::filesystem;

namespace {

// Standard output of a shell command line, and its exit status.
struct Output {
    std::string out;
    int status = -1;
};

Output run(const std::string& command) {
    Output r;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[512];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
            r.out.append(buffer, n);
        const int status = ::pclose(p);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return r;
}

Output krlctl(const std::string& verb, const std::string& argument) {
    return run(std::string(KRL_KRLCTL) + " " + verb + " " + quoted(argument));
}

Output gdbus(const std::string& method, const std::string& argument) {
    return run(
        "gdbus call --session --dest com.brightmar.KRL32 --object-path /Tonebay --method "
        "com.brightmar.KRL32.Tonebay." +
        method + " " + quoted(argument));
}

Output busctl(const std::string& method, const std::string& argument) {
    return run("busctl --user call com.brightmar.KRL32 /Tonebay com.brightmar.KRL32.Tonebay " +
               method + " s " + quoted(argument));
}

}  // namespace

TEST(ControlBus, EveryCommandFromKrlctlGdbusAndBusctl) {
    ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run under dbus-run-session";
    const krl::test::TempFolder home;
    const fs::path& root = home.path();
    home.sub("received");
    LineSim cable({.baud = 57600});
    ASSERT_TRUE(cable.ok()) << cable.error();
    const ProgramSide copy(root, "copy", {}, "offscreen");
    auto ask = [&](const std::string& c) { return copy.ask(c); };
    auto program = copy.start(portArgs(cable.pathA(), {}));
    ASSERT_TRUE(waitUntil([&] { return !ask("state").empty(); }));
    ASSERT_TRUE(waitUntil([&] { return krlctl("request", "x").status == 0; }));

    // Requests: the status texts, the send request in any case, the receive one only exactly.
    EXPECT_EQ(krlctl("request", "[GetSendInfo]").out, "No Sending in process: \r\n");
    EXPECT_EQ(krlctl("request", "[getsendinfo]").out, "No Sending in process: \r\n");
    EXPECT_EQ(krlctl("request", "[getrecieveinfo]").out, "[getrecieveinfo]\r\n");
    EXPECT_EQ(gdbus("Request", "[GetSendInfo]").out, "('No Sending in process: \\r',)\n");
    EXPECT_EQ(gdbus("Request", "[getrecieveinfo]").out, "('[getrecieveinfo]\\r',)\n");
    EXPECT_EQ(busctl("Request", "[GETSENDINFO]").out, "s \"No Sending in process: \\r\"\n");

    // Listen, in lower case, from each client in turn.
    EXPECT_EQ(krlctl("execute", "[listen]").status, 0);
    EXPECT_TRUE(waitUntil([&] { return ask("status") == "Listening......"; })) << ask("status");
    // Listen again ends listening (the command toggles, as its menu entry does).
    EXPECT_EQ(gdbus("Execute", "[LISTEN]").out, "(true,)\n");
    EXPECT_TRUE(waitUntil([&] { return ask("state") == "0"; })) << ask("status");

    // Queue_File appends and starts nothing; without parentheses it does nothing.
    const fs::path one = root / "one file.txt";
    const fs::path two = root / "two.bin";
    const fs::path three = root / "three.bin";
    std::ofstream(one) << std::string(64 * 1024, 'x');
    std::ofstream(two) << "two";
    std::ofstream(three) << "three";
    EXPECT_EQ(
        gdbus("Execute", "[Queue_File(" + one.string() + ")][queue_file " + two.string() + "]").out,
        "(true,)\n");
    EXPECT_TRUE(waitUntil([&] { return !ask("queued").empty(); }));
    EXPECT_EQ(ask("queued"), one.string());
    EXPECT_EQ(ask("state"), "0");

    // A peer waits on the other end of the cable.
    const fs::path peerLog = root / "peer.log";
    const krl::test::ProgramProcess peer(
        KRL_KRLCLI,
        {"--modem", KRL_MODEM_DIR "/SerialCable.mdm", "--listen", "--rings", "1", "--dir",
         (root / "received").string(), "listen", cable.pathB()},
        {}, {.input = false, .output = "", .errors = peerLog.string()});
    ASSERT_TRUE(waitUntil([&] {
        return krl::test::fileContents(peerLog).find("waiting for a call") != std::string::npos;
    })) << krl::test::fileContents(peerLog);

    // Two Send_File in one call queue in order behind the queued one; adding sends (the
    // send-on-adding option): the program dials and the queue goes, in order.
    EXPECT_EQ(
        krlctl("execute", "[Send_File(" + two.string() + ")] [send_file(" + three.string() + ")]")
            .status,
        0);
    // While the first file travels, the send request names it with its progress.
    std::string during;
    EXPECT_TRUE(waitUntil([&] {
        during = krlctl("request", "[GetSendInfo]").out;
        return during.rfind("Sending: " + one.string() + "( ", 0) == 0 &&
               during.ends_with(" / 65536 )\r\n");
    })) << during;
    EXPECT_TRUE(waitUntil([&] {
        return ask("transfer history sent").find(three.string()) != std::string::npos;
    })) << ask("transfer history sent");
    const std::string history = ask("transfer history sent");
    EXPECT_LT(history.find(one.string()), history.find(two.string())) << history;
    EXPECT_LT(history.find(two.string()), history.find(three.string())) << history;
    EXPECT_TRUE(fs::exists(root / "received" / "three.bin"));
    // Afterwards: the last file finished, or nothing in process once it was acknowledged.
    const std::string after = krlctl("request", "[GetSendInfo]").out;
    EXPECT_TRUE(after == "No Sending in process: \r\n" ||
                after == "Finish sending: " + three.string() + "( 5 / 5 )\r\n")
        << after;
    EXPECT_EQ(krlctl("request", "[GetRecieveInfo]").out, "No recieving in process \r\n");
    EXPECT_EQ(gdbus("Request", "[GetRecieveInfo]").out, "('No recieving in process \\r',)\n");
    EXPECT_EQ(busctl("Request", "[GetRecieveInfo]").out, "s \"No recieving in process \\r\"\n");
    EXPECT_EQ(busctl("Execute", "[Close][Send_Clipboard][Connect]").out, "b true\n");

    // Exit during the call asks first. Without a running copy the client says so and fails.
    EXPECT_EQ(ask("quit"), "ok");
    ASSERT_TRUE(waitUntil([&] { return !ask("messages").empty(); }));
    EXPECT_EQ(ask("answer yes"), "ok");
    EXPECT_NE(program->waitForExit(kProgramWaitMs), -1);
    EXPECT_EQ(krlctl("request", "[GetSendInfo]").status, 1);
    EXPECT_EQ(krlctl("bogus", "x").status, 2);
}
