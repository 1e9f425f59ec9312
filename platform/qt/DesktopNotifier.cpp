#include "platform/qt/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace krl {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

bool DesktopNotifier::notify(const QString& summary, const QString& body) const {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kService).value())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                       kService, QStringLiteral("Notify"));
    // app name, replaces id, icon, summary, body, actions, hints, time-out (ms).
    call << QStringLiteral("Kestrelcall") << 0u << QStringLiteral("kestrelcall") << summary << body
         << QStringList() << QVariantMap() << 10000;
    // Not waited for: the pump must not stall on a slow notification daemon.
    return bus.send(call);
}

}  // namespace krl
