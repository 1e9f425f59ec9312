#include "transfer/TransferSides.h"

#include "connection/Connection.h"

namespace krl {

bool ConnectionTransferSides::connected() const {
    return connection_.state() == ConnectionState::Connected;
}

TransferStatus ConnectionTransferSides::sendStatus() {
    return connection_.protocol().sender().status();
}

int ConnectionTransferSides::controlSend(SendControl command, int kind, const std::string& path) {
    return connection_.protocol().sender().control(command, kind, path);
}

TransferStatus ConnectionTransferSides::receiveStatus() {
    return connection_.protocol().receiver().status();
}

int ConnectionTransferSides::controlReceive(ReceiveControl command, const std::string& folder) {
    return connection_.protocol().receiver().control(command, folder);
}

}  // namespace krl
