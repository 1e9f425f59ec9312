// krlcli's two-way video over a running linesim cable: both ends send the test pattern (and,
// with FFmpeg, a recorded clip), expand what arrives and report the figures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/LineSim.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

double figure(const std::string& text, const std::string& key) {
    std::size_t at = text.find(" " + key + "=");
    if (at == std::string::npos)
        return -1;
    return std::stod(text.substr(at + key.size() + 2));
}

TEST(KrlcliVideo, TestPatternBothWaysOverACable) {
    krl::test::LineSim cable;
    ASSERT_TRUE(cable.ok()) << cable.error();
    const fs::path dir =
        fs::temp_directory_path() / ("krl-cli-video-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string tool = KRL_KRLCLI;
    const std::string common = " --quiet --stats --video test --video-seconds=3 listen ";
    const std::string script = "cd '" + dir.string() + "' && (timeout 90 " + tool + common +
                               cable.pathA() + " > a.out 2> a.err & timeout 90 " + tool + common +
                               cable.pathB() + " > b.out 2> b.err; wait)";
    ASSERT_EQ(std::system(script.c_str()), 0);
    for (const char* side : {"a", "b"}) {
        const std::string out = slurp(dir / (std::string(side) + ".out"));
        SCOPED_TRACE(out + slurp(dir / (std::string(side) + ".err")));
        EXPECT_GT(figure(out, "sent_frames"), 10);
        EXPECT_GT(figure(out, "recv_frames"), 10);
        EXPECT_GT(figure(out, "recv_fps"), 3.0);
        EXPECT_GT(figure(out, "recv_bpf"), 11.0);  // at least one piece header a frame
        EXPECT_LT(figure(out, "recv_bpf"), 16360.0);
    }
    fs::remove_all(dir);
}

}  // namespace
