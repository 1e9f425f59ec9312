#pragma once

#include <string>

#include "link/FileReceiver.h"
#include "link/FileSender.h"
#include "link/TransferStates.h"

namespace krl {

class Connection;

enum class TransferSide { Sending, Receiving };

// The link's file sender and receiver as the file transfer drives them: four calls and whether
// the call is up (link state 5). The program passes ConnectionTransferSides; tests a script.
class TransferSides {
public:
    virtual ~TransferSides() = default;
    virtual bool connected() const = 0;
    virtual TransferStatus sendStatus() = 0;
    // Start returns 0 (refused) unless the sender is idle.
    virtual int controlSend(SendControl command, int kind = kOrdinaryFile,
                            const std::string& path = {}) = 0;
    virtual TransferStatus receiveStatus() = 0;
    // Arm returns 0 while a file is being received or decided.
    virtual int controlReceive(ReceiveControl command, const std::string& folder = {}) = 0;
};

// The sides of the program's one connection.
class ConnectionTransferSides : public TransferSides {
public:
    explicit ConnectionTransferSides(Connection& connection) : connection_(connection) {}
    bool connected() const override;
    TransferStatus sendStatus() override;
    int controlSend(SendControl command, int kind, const std::string& path) override;
    TransferStatus receiveStatus() override;
    int controlReceive(ReceiveControl command, const std::string& folder) override;

private:
    Connection& connection_;
};

}  // namespace krl
