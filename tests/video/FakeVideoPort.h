#pragma once
// Stand-ins for the call and the video manager in the video step tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "link/VideoFrameQueue.h"
#include "video/LocalVideoDevice.h"
#include "video/LocalVideoStep.h"
#include "video/RemoteVideoStep.h"
#include "video/VideoCallPort.h"

namespace videotest {

using namespace krl;

// Keeps the two states and records what the windows say, with the link's rules for the
// commands that states send.
class FakeVideoPort : public VideoCallPort {
public:
    bool isConnected = true;
    OutgoingVideoState out = OutgoingVideoState::Idle;
    IncomingVideoState in = IncomingVideoState::Idle;
    long queueBytes = 0;
    std::vector<std::string> said;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<bool> keys;
    std::vector<VideoSettingsRecord> settingsSent;
    VideoFrameQueue* queue = nullptr;

    bool connected() const override { return isConnected; }
    int readSettings(VideoDirection d, VideoSettingsRecord& r) override {
        r = {};
        return d == VideoDirection::Outgoing ? static_cast<int>(out) : static_cast<int>(in);
    }
    void setOutgoingState(OutgoingVideoState s) override {
        if (s == OutgoingVideoState::ClosedByPeer && out != OutgoingVideoState::Idle &&
            out != OutgoingVideoState::ClosedByPeer)
            said.push_back("<CloseMyVideo>");
        out = s;
    }
    void setIncomingState(IncomingVideoState s) override {
        bool idle = in == IncomingVideoState::Idle;
        if (s == IncomingVideoState::ClosedByPeer && !idle && in != s)
            said.push_back("<CloseYourVideo>");
        if (s == IncomingVideoState::Paused && !idle && in != s)
            said.push_back("<VIDEORPAUSE>");
        if (s == IncomingVideoState::Resume) {
            if (!idle)
                said.push_back("<VIDEORRESUME>");
            s = IncomingVideoState::Receiving;
        }
        in = s;
    }
    void openVideo(bool on) override {
        bool live = out == OutgoingVideoState::Opening || out == OutgoingVideoState::Sending ||
                    out == OutgoingVideoState::Offered;
        if (on && !live) {
            said.push_back("<VideoOpen>");
            out = OutgoingVideoState::Offered;
        } else if (!on && live) {
            said.push_back("<CloseMyVideo>");
            out = OutgoingVideoState::Idle;
        } else if (!on && out == OutgoingVideoState::ClosedByPeer) {
            out = OutgoingVideoState::Idle;
        }
    }
    void sendSettings(VideoDirection d, const VideoSettingsRecord& r) override {
        said.push_back(d == VideoDirection::Outgoing ? "<MyVideoSettings>" : "<YourVideoSettings>");
        settingsSent.push_back(r);
    }
    int sendVideo(const std::uint8_t* data, std::size_t length, bool keyFrame) override {
        frames.emplace_back(data, data + length);
        keys.push_back(keyFrame);
        return 1;
    }
    long outputQueueBytes() override { return queueBytes; }
    void sendCommand(LinkCommand c) override {
        said.push_back(c == LinkCommand::OkVideoOpen   ? "<OkVideoOpen>"
                       : c == LinkCommand::NoVideoOpen ? "<NoVideoOpen>"
                                                       : "command");
    }
    void setFrameQueue(VideoFrameQueue* q) override { queue = q; }

    int count(const std::string& what) const {
        int n = 0;
        for (const auto& s : said)
            n += s == what;
        return n;
    }
};

class FakeLocalDevice : public LocalVideoDevice {
public:
    bool startWorks = true;
    bool capturing = false;
    bool sendingOpen = false;
    int grabs = 0;
    int grabsForSending = 0;
    std::vector<VideoSettingsRecord> applied;

    bool startCapture(bool, VideoSettingsRecord& r) override {
        if (!startWorks)
            return false;
        r.set(VideoSetting::Width, 160);
        r.set(VideoSetting::Height, 120);
        capturing = true;
        return true;
    }
    void stopCapture() override { capturing = false; }
    // Drivers that cannot be started again, and what each restart was asked for.
    std::vector<std::string> brokenDrivers;
    std::vector<std::string> restarts;
    bool restartCapture(const std::string& driver, VideoSettingsRecord& r) override {
        restarts.push_back(driver);
        sendingOpen = false;
        for (const auto& broken : brokenDrivers) {
            if (broken == driver) {
                capturing = false;
                return false;
            }
        }
        // Like a 4:3 camera scaled into the asked box.
        std::uint32_t w = r.get(VideoSetting::Width);
        std::uint32_t h = std::min(r.get(VideoSetting::Height), w * 3 / 4 / 8 * 8);
        r.set(VideoSetting::Height, h);
        capturing = true;
        return true;
    }
    void openSending(const VideoSettingsRecord&) override { sendingOpen = true; }
    void closeSending() override { sendingOpen = false; }
    void grab(bool forSending) override {
        ++grabs;
        grabsForSending += forSending;
    }
    std::vector<std::uint8_t> takeFrameToSend(bool) override {
        return std::vector<std::uint8_t>(40, 7);
    }
    void applyLocalSettings(const VideoSettingsRecord& r) override { applied.push_back(r); }
};

class FakeRemoteDevice : public RemoteVideoDevice {
public:
    bool open = false;
    std::vector<std::vector<std::uint8_t>> shown;
    std::vector<VideoSettingsRecord> applied;
    void openReceiving(const VideoSettingsRecord&) override { open = true; }
    void closeReceiving() override { open = false; }
    void showFrame(std::vector<std::uint8_t> f) override { shown.push_back(std::move(f)); }
    void applyRemoteSettings(const VideoSettingsRecord& r) override { applied.push_back(r); }
};

class FakeQuestion : public VideoOfferQuestion {
public:
    std::function<void(bool)> pending;
    int asked = 0;
    void askToReceive(std::function<void(bool)> answer) override {
        ++asked;
        pending = std::move(answer);
    }
};

inline std::pair<std::uint32_t, std::uint32_t> sizeOf(const VideoSettingsRecord& r) {
    return {r.get(VideoSetting::Width), r.get(VideoSetting::Height)};
}

// A local window's step over the fakes, with the settings record a window starts with.
class LocalStepTest : public ::testing::Test {
protected:
    FakeVideoPort port;
    FakeLocalDevice device;
    krl::LocalVideoStep step{port, device};

    void useDriver(const std::string& driver) {
        step.setOptions({driver, false, "", true});
        krl::VideoSettingsRecord r;
        r.values = {2, 40, 40, 160, 120, 1, 1, 1, 0, 0, 0, 150};
        step.setRecord(r);
    }
    // Capturing and offered, the peer accepted: frames flow.
    void startSending() {
        ASSERT_TRUE(step.open());
        ASSERT_TRUE(step.startCapture(0));
        step.step(10);  // outgoing 1 with auto-send: the offer goes out
        ASSERT_EQ(port.out, krl::OutgoingVideoState::Offered);
        port.out = krl::OutgoingVideoState::Sending;  // "<OkVideoOpen>"
    }
};

}  // namespace videotest
