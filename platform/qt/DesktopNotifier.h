#pragma once

#include <QString>

namespace krl {

// Desktop notifications over D-Bus (org.freedesktop.Notifications on the session bus). Without
// a session bus or a notification service nothing is shown and nothing is reported: the
// program's own windows say the same.
class DesktopNotifier {
public:
    // Shows summary and body; false when no service took it.
    bool notify(const QString& summary, const QString& body) const;
};

}  // namespace krl
