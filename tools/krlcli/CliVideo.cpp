#include "tools/krlcli/CliVideo.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace krl::cli {
namespace {

bool number(const std::string& text, std::uint64_t& out) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && p == text.data() + text.size() && !text.empty();
}

std::vector<std::uint8_t> luminance(const Picture& p) {
    std::vector<std::uint8_t> y(static_cast<std::size_t>(p.width) * p.height);
    for (int row = 0; row < p.height; ++row)
        for (int x = 0; x < p.width; ++x) {
            const std::uint8_t* q = p.pixelTopDown(x, row);
            // BT.601 luma from blue, green, red.
            y[static_cast<std::size_t>(row) * p.width + x] =
                static_cast<std::uint8_t>((29 * q[0] + 150 * q[1] + 77 * q[2] + 128) >> 8);
        }
    return y;
}

double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size() || a.empty())
        return 0;
    double se = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        double d = double(a[i]) - double(b[i]);
        se += d * d;
    }
    return se == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * double(a.size()) / se);
}

bool isTestPattern(const std::string& source) {
    return source == "test" || source == CaptureSourceFactory::kTestPattern;
}

}  // namespace

const char* CliVideo::usage() {
    return "Two-way video (with listen, send or chat; the call ends after the video time):\n"
           "  --video SOURCE         send a video file, or 'test' for the test pattern\n"
           "  --video-seconds=N      seconds of video once it flows (default 20)\n"
           "  --video-size=WxH       picture size, at most 176x144 (default 160x120)\n"
           "  --video-quality=N      picture quality 1-100 (default 40)\n"
           "  --video-bytes=N        bytes an ordinary frame may take (default 150, 0 no limit)\n"
           "  --video-colour         send colour (default: luminance only)\n"
           "  --video-timed          play the file at its own rate (default: a frame a step)\n"
           "  --video-record=FILE    record the outgoing pictures as an AVI file\n"
           "  --video-no-psnr        do not compare received pictures with the source\n";
}

bool CliVideoOptions::parse(const std::vector<std::string>& args, CliVideoOptions& o,
                            std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::size_t eq = a.find('=');
        std::string name = a.substr(0, eq);
        std::string value = eq == std::string::npos ? std::string() : a.substr(eq + 1);
        std::uint64_t n = 0;
        if (name == "--video") {
            o.source = value;
        } else if (name == "--video-seconds" && number(value, n) && n > 0) {
            o.seconds = n;
        } else if (name == "--video-size") {
            std::size_t x = value.find('x');
            std::uint64_t w = 0, h = 0;
            if (x == std::string::npos || !number(value.substr(0, x), w) ||
                !number(value.substr(x + 1), h) || w < 16 || h < 16 || w > 176 || h > 144) {
                error = "--video-size needs WxH within 16x16 to 176x144";
                return false;
            }
            o.width = static_cast<int>(w);
            o.height = static_cast<int>(h);
        } else if (name == "--video-quality" && number(value, n) && n >= 1 && n <= 100) {
            o.quality = static_cast<std::uint32_t>(n);
        } else if (name == "--video-bytes" && number(value, n) && n <= 16000) {
            o.bytesPerFrame = static_cast<std::uint32_t>(n);
        } else if (a == "--video-colour" || a == "--video-color") {
            o.colour = true;
        } else if (a == "--video-timed") {
            o.timed = true;
        } else if (name == "--video-record" && !value.empty()) {
            o.record = value;
        } else if (a == "--video-no-psnr") {
            o.psnr = false;
        } else {
            error = "bad video option " + a;
            return false;
        }
    }
    if (o.source.empty()) {
        error = "--video needs a source (a file or 'test')";
        return false;
    }
    return true;
}

CliVideo::CliVideo(LinkSession& session, const TickSource& ticks, CliVideoOptions options,
                   std::ostream& err, std::ostream& out)
    : session_(session),
      ticks_(ticks),
      options_(std::move(options)),
      err_(err),
      out_(out),
      sources_(makeCaptureFactory()),
      manager_(*sources_, ticks),
      port_(session, [&session] { return session.isPortOpen() && session.greeting().answered; }),
      call_(port_, manager_, *this, ticks) {}

CliVideo::~CliVideo() {
    session_.protocol().setLocalVideoListener(nullptr);
    session_.protocol().setRemoteVideoListener(nullptr);
    session_.protocol().setFrameQueue(nullptr);
}

bool CliVideo::start() {
    bool file = !isTestPattern(options_.source);
    manager_.setDriver(CaptureSourceFactory::kTestPattern);
    manager_.setPlayFile(options_.source, options_.timed);
    VideoSettingsRecord local;
    local.values = {2,
                    40,
                    options_.quality,
                    static_cast<std::uint32_t>(options_.width),
                    static_cast<std::uint32_t>(options_.height),
                    1,
                    options_.colour ? 0u : 1u,
                    0,
                    0,
                    0,
                    0,
                    options_.bytesPerFrame};
    VideoSettingsRecord remote = local;
    remote.set(VideoSetting::AcceptPeerSize, 1);
    remote.set(VideoSetting::BytesPerFrame, 0);
    LocalVideoStep& l = call_.local();
    l.setOptions({CaptureSourceFactory::kTestPattern, file, file ? options_.source : "", true});
    l.setRecord(local);
    call_.remote().setRecord(remote);
    call_.remote().setPromptWhenReceive(false);
    session_.protocol().setLocalVideoListener(&call_);
    session_.protocol().setRemoteVideoListener(&call_);
    if (!l.open() || !l.startCapture(ticks_.nowMs())) {
        err_ << "krlcli: cannot start the video source " << options_.source;
        if (!manager_.lastError().empty())
            err_ << ": " << manager_.lastError();
        err_ << "\n";
        return false;
    }
    if (!options_.record.empty()) {
        std::string error;
        if (!manager_.setRecording(true, options_.record, error)) {
            err_ << "krlcli: cannot record: " << error << "\n";
            return false;
        }
    }
    call_.remote().open();
    manager_.setPictureListeners(nullptr, [this] {
        if (manager_.remotePane().framesExpanded() != measuredAt_) {
            measuredAt_ = manager_.remotePane().framesExpanded();
            pictureReceived();
        }
    });
    if (file && options_.psnr)
        loadReference();
    return true;
}

void CliVideo::loadReference() {
    std::string error;
    auto reader =
        sources_->openFile(options_.source, options_.width, options_.height, false, error);
    if (!reader)
        return;
    Picture p;
    // One pass over the file: the reader starts again at the first picture at the end.
    for (std::uint64_t now = 0; now < 100000 && reader->grab(now, p); ++now) {
        std::vector<std::uint8_t> y = luminance(p);
        if (!reference_.empty() && now > 1 && y == reference_.front())
            break;
        reference_.push_back(std::move(y));
    }
}

void CliVideo::pictureReceived() {
    if (reference_.empty() || !manager_.remoteOpen())
        return;
    const Picture& shown = manager_.remotePicture();
    if (shown.empty())
        return;
    std::vector<std::uint8_t> y = luminance(shown);
    if (y.size() != reference_.front().size())
        return;
    // The sender's pictures are consecutive file pictures, but its first one is not known (it
    // grabbed for its preview before we accepted): the first match searches the whole file,
    // the later ones a short way ahead of the last.
    auto count = static_cast<long>(reference_.size());
    long from = lastMatch_ < 0 ? 0 : lastMatch_;
    long span = lastMatch_ < 0 ? count : std::min<long>(count, 40);
    double best = -1;
    long bestAt = from;
    for (long k = 0; k < span; ++k) {
        long at = (from + k) % count;
        double v = psnr(y, reference_[static_cast<std::size_t>(at)]);
        if (v > best) {
            best = v;
            bestAt = at;
        }
    }
    lastMatch_ = bestAt;
    psnrSum_ += best;
    psnrMin_ = std::min(psnrMin_, best);
    ++psnrFrames_;
}

void CliVideo::afterPoll() {
    std::uint64_t now = ticks_.nowMs();
    // The call may have been made (and reset) before the source started: offer the video as
    // soon as the peer has answered the greeting.
    if (!offered_ && port_.connected()) {
        offered_ = true;
        if (!call_.local().isSending())
            call_.local().send(now);
    }
    call_.idle();
    bool flowing = call_.local().flow(now).flowing || call_.remote().flow(now).flowing;
    if (flowing && flowStartMs_ == 0)
        flowStartMs_ = now;
    // Keep the totals as the call goes: the windows clear theirs when the call ends.
    if (call_.local().flow(now).flowing)
        sentTotals_ = call_.local().counters();
    if (call_.remote().flow(now).flowing)
        receivedTotals_ = call_.remote().totals();
    if (!done_ && flowStartMs_ != 0 && now - flowStartMs_ >= options_.seconds * 1000) {
        done_ = true;
        endMs_ = now;
    }
}

std::string CliVideo::runningFigures() {
    return "sent_frames=" + std::to_string(sentTotals_.frames) +
           " recv_frames=" + std::to_string(receivedTotals_.frames) +
           " shown_frames=" + std::to_string(manager_.remotePane().framesExpanded());
}

void CliVideo::report(bool stats) {
    std::string error;
    manager_.setRecording(false, {}, error);
    std::uint64_t end = endMs_ != 0 ? endMs_ : ticks_.nowMs();
    auto rate = [end](const VideoCounters& c) {
        std::uint64_t elapsed = c.frames != 0 && end > c.startMs ? end - c.startMs : 0;
        return elapsed == 0 ? 0.0 : double(c.frames) * 1000.0 / double(elapsed);
    };
    auto perFrame = [](const VideoCounters& c) {
        return c.frames == 0 ? 0.0 : double(c.bytes) / double(c.frames);
    };
    double psnrMean = psnrFrames_ == 0 ? 0.0 : psnrSum_ / double(psnrFrames_);
    char text[512];
    std::snprintf(text, sizeof text,
                  "video: sent %llu frames, %.2f frames/s, %.0f bytes/frame; received %llu "
                  "frames, %.2f frames/s, %.0f bytes/frame",
                  static_cast<unsigned long long>(sentTotals_.frames), rate(sentTotals_),
                  perFrame(sentTotals_), static_cast<unsigned long long>(receivedTotals_.frames),
                  rate(receivedTotals_), perFrame(receivedTotals_));
    err_ << "krlcli: " << text;
    if (psnrFrames_ != 0) {
        std::snprintf(text, sizeof text, "; PSNR-Y %.2f dB mean, %.2f dB lowest", psnrMean,
                      psnrMin_);
        err_ << text;
    }
    err_ << "\n" << std::flush;
    if (stats) {
        std::snprintf(
            text, sizeof text,
            "krlcli-video sent_frames=%llu sent_fps=%.3f sent_bpf=%.1f "
            "recv_frames=%llu recv_fps=%.3f recv_bpf=%.1f psnr_y=%.3f "
            "psnr_y_min=%.3f psnr_frames=%llu\n",
            static_cast<unsigned long long>(sentTotals_.frames), rate(sentTotals_),
            perFrame(sentTotals_), static_cast<unsigned long long>(receivedTotals_.frames),
            rate(receivedTotals_), perFrame(receivedTotals_), psnrMean,
            psnrFrames_ == 0 ? 0.0 : psnrMin_, static_cast<unsigned long long>(psnrFrames_));
        out_ << text << std::flush;
    }
}

}  // namespace krl::cli
