#include "platform/qt/LineCommandServer.h"

#include <QLocalSocket>

namespace krl {

LineCommandServer::LineCommandServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_.nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, s, [this, s] {
                while (s->canReadLine()) {
                    const QString line = QString::fromUtf8(s->readLine()).trimmed();
                    s->write(handler_(line).toUtf8() + '\n');
                    s->flush();
                }
            });
        }
    });
}

bool LineCommandServer::listen(const QString& name) {
    QLocalServer::removeServer(name);
    return server_.listen(name);
}

}  // namespace krl
