#include "platform/qt/ControlBusService.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>

namespace krl {

ControlBusService::ControlBusService(ExecuteHandler execute, RequestHandler request,
                                     QObject* parent)
    : QObject(parent), execute_(std::move(execute)), request_(std::move(request)) {}

ControlBusService::~ControlBusService() {
    if (!registered_)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(QString::fromLatin1(kPath));
    bus.unregisterService(QString::fromLatin1(kService));
}

bool ControlBusService::start(QString* error) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (error)
            *error = QStringLiteral("no session bus: ") + bus.lastError().message();
        return false;
    }
    if (!bus.registerObject(QString::fromLatin1(kPath), this, QDBusConnection::ExportAllSlots)) {
        if (error)
            *error = QStringLiteral("cannot export ") + QString::fromLatin1(kPath);
        return false;
    }
    if (!bus.registerService(QString::fromLatin1(kService))) {
        bus.unregisterObject(QString::fromLatin1(kPath));
        if (error)
            *error = QString::fromLatin1(kService) + QStringLiteral(" is held by another program");
        return false;
    }
    registered_ = true;
    return true;
}

bool ControlBusService::Execute(const QString& commands) {
    return execute_ ? execute_(commands) : true;
}

QString ControlBusService::Request(const QString& item) {
    return request_ ? request_(item) : item + QLatin1Char('\r');
}

}  // namespace krl
