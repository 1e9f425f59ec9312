#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/MessagePresenter.h"
#include "fakes/ManualClock.h"
#include "fakes/RecordingPresenter.h"
#include "link/LinkProtocol.h"
#include "link/ProtocolPort.h"
#include "resources/StringTable.h"

namespace krl::test {

struct SentFrame {
    FrameType type;
    std::vector<std::uint8_t> payload;
    CheckField check{};
    std::string text() const { return {payload.begin(), payload.end()}; }
};

// Records what the protocol writes and logs; the clock is the test's.
class RecordingPort : public ProtocolPort {
public:
    explicit RecordingPort(ManualClock& clock) : clock_(clock) {}

    long writeFrame(FrameType type, std::span<const std::uint8_t> payload,
                    const CheckField& check) override {
        frames.push_back({type, {payload.begin(), payload.end()}, check});
        history.push_back(frames.back());
        return static_cast<long>(frame::wireSize(type, payload.size()));
    }
    void logSent(std::string_view text) override { sentLog.emplace_back(text); }
    void logReceived(std::string_view text) override { receivedLog.emplace_back(text); }
    std::uint64_t nowMs() const override { return clock_.nowMs(); }
    long outputQueueBytes() override { return outputQueue; }
    void greetingAnswered() override { ++greetingAnswers; }
    void noteResentBlock() override { ++resent; }
    void noteDamagedFrame() override { ++damaged; }

    std::vector<std::string> commandTexts() const {
        std::vector<std::string> out;
        for (const auto& f : history)
            if (f.type == FrameType::Command)
                out.push_back(f.text());
        return out;
    }

    std::deque<SentFrame> frames;    // written, not yet delivered
    std::vector<SentFrame> history;  // everything written
    std::vector<std::string> sentLog, receivedLog;
    long outputQueue = 0;
    int greetingAnswers = 0;
    int resent = 0;
    int damaged = 0;

private:
    ManualClock& clock_;
};

// True once the sender's file has ended, however it ended.
inline bool sendEnded(const FileSender& sender) {
    return sender.state() != SendState::FileSet && !sender.active();
}

class ScriptedExistsQuestion : public FileExistsQuestion {
public:
    void ask(const std::string& proposedPath, Answer answer) override {
        asked.push_back(proposedPath);
        pending.push_back(std::move(answer));
    }
    std::vector<std::string> asked;
    std::vector<Answer> pending;
};

// One protocol over a recording port.
struct ProtocolSide {
    explicit ProtocolSide(ManualClock& clock)
        : port(clock), protocol(port, StringTable::builtIn(), messages) {}
    RecordingPort port;
    RecordingPresenter messages;
    LinkProtocol protocol;

    void deliver(const SentFrame& f) {
        switch (f.type) {
            case FrameType::Command:
                protocol.onCommandFrame(f.text());
                break;
            case FrameType::FileBlock:
                protocol.onFileBlockFrame(f.check, f.payload.data(), f.payload.size());
                break;
            case FrameType::Video:
            case FrameType::VideoKey:
                protocol.onVideoFrame(f.type == FrameType::VideoKey, f.check, f.payload.data(),
                                      f.payload.size());
                break;
            case FrameType::Chat:
                protocol.onChatFrame(f.payload.data(), f.payload.size());
                break;
        }
    }
};

// Two protocols joined back to back. Each exchange delivers what each side wrote to the other
// (a filter may drop or alter frames on the way), then runs both sides' steps.
struct ProtocolPair {
    // Return false to drop the frame; it may be changed in place.
    using Filter = std::function<bool(bool fromA, SentFrame& frame)>;

    ManualClock clock;
    ProtocolSide a{clock}, b{clock};
    Filter filter;

    void exchange() {
        move(a, b, true);
        move(b, a, false);
        clock.advance(10);
        a.protocol.runSteps();
        b.protocol.runSteps();
    }
    // Exchanges until `done` holds or `limit` exchanges have passed; true when it held.
    bool runUntil(const std::function<bool()>& done, int limit = 100000) {
        for (int i = 0; i < limit; ++i) {
            if (done())
                return true;
            exchange();
        }
        return done();
    }

private:
    void move(ProtocolSide& from, ProtocolSide& to, bool fromA) {
        while (!from.port.frames.empty()) {
            SentFrame f = std::move(from.port.frames.front());
            from.port.frames.pop_front();
            if (filter && !filter(fromA, f))
                continue;
            to.deliver(f);
        }
    }
};

}  // namespace krl::test
