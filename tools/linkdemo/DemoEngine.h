#pragma once

#include <cstdint>
#include <string>

#include "link/LinkEngine.h"

namespace krl::linkdemo {

// A link engine that tells what it receives and answers as a peer would: file blocks with a
// confirmation, damaged key frames with a request for a new one, "<Disconnect>" by ending the
// call. Everything it prints is prefixed with its name.
class DemoEngine : public LinkEngine {
public:
    DemoEngine(std::string name, SerialDeviceFactory& devices, const TickSource& ticks,
               const StringTable& strings);

    const std::string& name() const { return name_; }
    void say(const std::string& text) const;

    int commandsReceived = 0;
    int fileBlocksIntact = 0;
    int videoFramesIntact = 0;
    int chatLines = 0;
    int confirmations = 0;  // "<CRCOK>" received

protected:
    void onCommandFrame(const FrameRecord& frame) override;
    void onFileBlockFrame(const FrameRecord& frame) override;
    void onVideoFrame(const FrameRecord& frame) override;
    void onChatFrame(const FrameRecord& frame) override;
    bool transferDisconnected() const override { return peerDisconnected_; }
    void onCallReset() override { peerDisconnected_ = false; }

private:
    bool isGreetingCommand(const FrameRecord& frame) const;

    std::string name_;
    bool peerDisconnected_ = false;
};

// Printable form of payload bytes: control bytes as \xHH, cut after `max` characters.
std::string printable(const std::uint8_t* bytes, std::size_t length, std::size_t max = 72);

}  // namespace krl::linkdemo
