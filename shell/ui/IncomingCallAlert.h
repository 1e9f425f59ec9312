#pragma once

#include "connection/IncomingCall.h"

namespace krl {

class DesktopNotifier;
class QtSoundPlayer;

// An incoming call as the user meets it: the ring sound on each ring, and a desktop notification
// when the call is answered, since the frame may be minimised or on another desktop. Without a
// sound server or a notification service the call is simply answered.
class IncomingCallAlert : public IncomingCall {
public:
    IncomingCallAlert(QtSoundPlayer& sound, const DesktopNotifier& notifier)
        : sound_(sound), notifier_(notifier) {}

    void ringHeard() override;
    void answering() override;

private:
    QtSoundPlayer& sound_;
    const DesktopNotifier& notifier_;
};

}  // namespace krl
