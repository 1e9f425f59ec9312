#pragma once

#include <QString>
#include <string>

#include "shell/CallListener.h"

namespace krl {

// The shortcut that sends files to the peer carries the peer's name while a call is up. It
// lives only in the program's own folder: "<home>/SendTo/<name>.desktop"; the program never
// creates it, only moves it between names, and every name is one plain component of the
// peer's name in UTF-8 (the card carries it in Windows-1252).
class SendToShortcut : public CallListener {
public:
    static constexpr const char* kOwnName = "Kestrelcall";

    explicit SendToShortcut(QString home);
    ~SendToShortcut() override;

    void cardReceived(const BusinessCard& card) override;
    void callEnded(CallEnd why) override;
    const std::string& name() const { return name_; }

private:
    void rename(const std::string& to);

    QString folder_;
    std::string name_ = kOwnName;
};

}  // namespace krl
