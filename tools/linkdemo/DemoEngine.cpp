#include "tools/linkdemo/DemoEngine.h"

#include <cstdio>
#include <vector>

#include "link/FrameCheck.h"

namespace krl::linkdemo {

std::string printable(const std::uint8_t* bytes, std::size_t length, std::size_t max) {
    std::string out;
    for (std::size_t i = 0; i < length && out.size() < max; ++i) {
        const std::uint8_t c = bytes[i];
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (out.size() >= max)
        out += "...";
    return out;
}

DemoEngine::DemoEngine(std::string name, SerialDeviceFactory& devices, const TickSource& ticks,
                       const StringTable& strings)
    : LinkEngine(devices, ticks, strings), name_(std::move(name)) {}

void DemoEngine::say(const std::string& text) const {
    std::printf("  [%s] %s\n", name_.c_str(), text.c_str());
    std::fflush(stdout);
}

void DemoEngine::onCommandFrame(const FrameRecord& frame) {
    ++commandsReceived;
    say("received command frame (" + std::to_string(frame.length) +
        " bytes): " + printable(frame.payload, frame.length));
    if (hasTag(frame, LinkCommand::Disconnect)) {
        log(LogDirection::Received, frame.text());
        peerDisconnected_ = true;
        return;
    }
    if (hasTag(frame, LinkCommand::BlockOk)) {
        log(LogDirection::Received, frame.text());
        ++confirmations;
        return;
    }
    const bool wasAnswered = greeting().answered;
    if (hasTag(frame, LinkCommand::Hello))
        say("answers the greeting with <OKHello>");
    if (isGreetingCommand(frame)) {
        LinkEngine::onCommandFrame(frame);  // the engine's own greeting handling
    } else {
        log(LogDirection::Received, frame.text());
    }
    if (!wasAnswered && greeting().answered)
        say("greeting answered: the peer is there");
}

bool DemoEngine::isGreetingCommand(const FrameRecord& frame) const {
    for (LinkCommand c :
         {LinkCommand::Hello, LinkCommand::HelloOk, LinkCommand::OkForSend, LinkCommand::VideoOpen,
          LinkCommand::OkVideoOpen, LinkCommand::CardReceived}) {
        if (hasTag(frame, c))
            return true;
    }
    return false;
}

void DemoEngine::onFileBlockFrame(const FrameRecord& frame) {
    std::vector<std::uint8_t> data(frame.length);
    const FileBlockContent block = unpackFileBlock(frame, data.data());
    say("received file block: " + std::to_string(frame.length) + " bytes on the wire, " +
        std::to_string(block.length) + " data bytes, check value " +
        std::to_string(static_cast<std::int32_t>(block.checkValue)) +
        (block.intact ? " matches" : " does NOT match"));
    if (block.intact) {
        ++fileBlocksIntact;
        say("data: \"" + printable(data.data(), block.length, 90) + "\"");
        sendCommand(LinkCommand::BlockOk);
        say("confirms with <CRCOK>");
    } else {
        countDamagedFrame();
        sendCommand(LinkCommand::BlockNotOk);
        say("rejects with <CRCnotOK>");
    }
}

void DemoEngine::onVideoFrame(const FrameRecord& frame) {
    const bool key = frame.type == FrameType::VideoKey;
    const bool intact = videoFrameIntact(frame);
    say(std::string("received ") + (key ? "video key frame" : "video frame") + ": " +
        std::to_string(frame.length) + " bytes, check value " + (intact ? "matches" : "fails"));
    if (intact) {
        ++videoFramesIntact;
        return;
    }
    countDamagedFrame();
    if (key) {
        sendCommand(LinkCommand::KeyFrameError);
        say("asks for a new key frame with <ErrorKVFrame>");
    }
}

void DemoEngine::onChatFrame(const FrameRecord& frame) {
    ++chatLines;
    say("received chat: \"" + printable(frame.payload, frame.length) + "\"");
}

}  // namespace krl::linkdemo
