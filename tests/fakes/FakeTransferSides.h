#pragma once

#include <string>
#include <vector>

#include "transfer/TransferSides.h"

namespace krl::test {

// The link's sender and receiver as a script: the test sets each side's status and reads the
// commands the transfer gave. Start is refused unless the sender is idle, as the link does;
// Acknowledge makes it idle, Arm makes the receiver ready.
class FakeTransferSides : public TransferSides {
public:
    struct SendCall {
        SendControl command;
        int kind;
        std::string path;
        bool operator==(const SendCall&) const = default;
    };

    bool isConnected = true;
    TransferStatus send;
    TransferStatus receive;
    std::vector<SendCall> sendCalls;
    std::vector<ReceiveControl> receiveCalls;
    std::string armedFolder;

    void setSend(SendState state, std::string path = {}, int kind = kOrdinaryFile) {
        send.state = static_cast<int>(state);
        send.path = std::move(path);
        send.kind = kind;
    }
    void setReceive(ReceiveState state, std::string path = {}, int kind = kOrdinaryFile) {
        receive.state = static_cast<int>(state);
        receive.path = std::move(path);
        receive.kind = kind;
    }
    std::vector<SendControl> sendCommands() const {
        std::vector<SendControl> out;
        for (const SendCall& c : sendCalls)
            out.push_back(c.command);
        return out;
    }

    bool connected() const override { return isConnected; }
    TransferStatus sendStatus() override { return send; }
    int controlSend(SendControl command, int kind, const std::string& path) override {
        sendCalls.push_back({command, kind, path});
        switch (command) {
            case SendControl::Start:
                if (send.state != static_cast<int>(SendState::Idle))
                    return 0;
                setSend(SendState::FileSet, path, kind);
                return 1;
            case SendControl::Acknowledge:
                setSend(SendState::Idle);
                return 1;
            case SendControl::Stop:
            case SendControl::StopSilently:
                send.state = static_cast<int>(SendState::StoppedByUser);
                return 1;
        }
        return 0;
    }
    TransferStatus receiveStatus() override { return receive; }
    int controlReceive(ReceiveControl command, const std::string& folder) override {
        receiveCalls.push_back(command);
        if (command == ReceiveControl::Stop) {
            if (receive.state == static_cast<int>(ReceiveState::Receiving))
                receive.state = static_cast<int>(ReceiveState::StoppedByUser);
            return 1;
        }
        if (receive.state == static_cast<int>(ReceiveState::Receiving))
            return 0;
        armedFolder = folder;
        setReceive(ReceiveState::Ready);
        return 1;
    }
};

}  // namespace krl::test
