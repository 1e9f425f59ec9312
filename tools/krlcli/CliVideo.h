#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/TickSource.h"
#include "video/CaptureSource.h"
#include "video/LinkVideoPort.h"
#include "video/VideoCall.h"
#include "video/VideoManager.h"

namespace krl::cli {

// The capture sources krlcli can use: files and cameras where FFmpeg is built in, the test
// pattern everywhere.
std::unique_ptr<CaptureSourceFactory> makeCaptureFactory();

// Settings of the video mode, from "--video SOURCE" and "--video-NAME=VALUE" arguments.
struct CliVideoOptions {
    std::string source;          // a video file, or "test" for the built-in test pattern
    std::uint64_t seconds = 20;  // of video flowing, then the call ends
    int width = 160;
    int height = 120;
    std::uint32_t quality = 40;
    std::uint32_t bytesPerFrame = 150;  // the compressor's budget for an ordinary frame
    bool colour = false;                // default: luminance only
    bool timed = false;                 // files at their own rate; default: one file frame per step
    std::string record;                 // an AVI file to record the outgoing pictures into
    bool psnr = true;                   // compare received pictures with the own source file

    static bool parse(const std::vector<std::string>& args, CliVideoOptions& out,
                      std::string& error);
};

// Two-way video on a call without windows: sends the source, expands what comes in, and
// reports frames per second, bytes per frame and (with the same file at both ends) the PSNR of
// the luminance received against the source.
class CliVideo : private VideoOfferQuestion {
public:
    CliVideo(LinkSession& session, const TickSource& ticks, CliVideoOptions options,
             std::ostream& err, std::ostream& out);
    ~CliVideo() override;

    // False (with the reason said) when the source cannot be started.
    bool start();
    // After every poll of the call.
    void afterPoll();
    bool finished() const { return done_; }
    // "sent_frames=N recv_frames=N shown_frames=N": the counts so far, for a running line.
    std::string runningFigures();
    // Prints the summary; stats: also the machine-readable line.
    void report(bool stats);
    static const char* usage();

private:
    void askToReceive(std::function<void(bool)> answer) override { answer(true); }
    void pictureReceived();
    void loadReference();

    LinkSession& session_;
    const TickSource& ticks_;
    CliVideoOptions options_;
    std::ostream& err_;
    std::ostream& out_;
    std::unique_ptr<CaptureSourceFactory> sources_;
    VideoManager manager_;
    LinkVideoPort port_;
    VideoCall call_;
    bool done_ = false;
    bool offered_ = false;
    std::uint64_t flowStartMs_ = 0;
    std::uint64_t endMs_ = 0;
    VideoCounters sentTotals_;
    VideoCounters receivedTotals_;
    // The own source file's luminance, picture by picture, for the PSNR.
    std::vector<std::vector<std::uint8_t>> reference_;
    long lastMatch_ = -1;
    std::uint64_t measuredAt_ = 0;  // expanded frames when the PSNR was last taken
    double psnrSum_ = 0;
    double psnrMin_ = 1e9;
    std::uint64_t psnrFrames_ = 0;
};

}  // namespace krl::cli
