#include "shell/ui/IncomingCallAlert.h"

#include "platform/qt/DesktopNotifier.h"
#include "platform/qt/QtSoundPlayer.h"

namespace krl {

void IncomingCallAlert::ringHeard() {
    sound_.playRing();
}

void IncomingCallAlert::answering() {
    notifier_.notify(QStringLiteral("Kestrelcall"), QStringLiteral("A call is being answered."));
}

}  // namespace krl
