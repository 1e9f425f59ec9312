#pragma once

#include <QString>
#include <functional>

#include "transfer/TransferHost.h"

namespace krl {

// The transfer's services on the desktop: the main frame's commands (given by main()), the
// desktop's open and type names, the user's date format.
class QtTransferHost : public TransferHost {
public:
    struct Commands {
        std::function<void()> dial;
        std::function<void()> disconnect;
        std::function<void()> sendOwnCard;
        // A desktop notification (summary, body).
        std::function<void(const QString&, const QString&)> notify;
        // Whether the user is looking at the transfer (its window shown and active): then no
        // notification is needed.
        std::function<bool()> watched;
    };

    explicit QtTransferHost(Commands commands) : commands_(std::move(commands)) {}

    void dial() override { run(commands_.dial); }
    void disconnect() override { run(commands_.disconnect); }
    void sendOwnCard() override { run(commands_.sendOwnCard); }
    void launch(const std::string& path) override;
    void restoreClipboard(const std::string& path, int format) override;
    void fileArrived(const std::string& path, const std::string& party) override;
    void removeFile(const std::string& path) override;
    std::string typeName(const std::string& path) override;
    std::string historyDate(bool longDate) override;

private:
    static void run(const std::function<void()>& f) {
        if (f)
            f();
    }
    Commands commands_;
};

}  // namespace krl
