#include "platform/qt/LineCommandServer.h"

#include <QLocalSocket>

namespace krl {

LineCommandServer::LineCommandServer(QObject* parent) : QObject(parent) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_.nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, s, [this, s] {
                while (s->canReadLine()) {
                    const QString line = QString::fromUtf8(s->readLine()).trimmed();
                    s->write(run(line).toUtf8() + '\n');
                    s->flush();
                }
            });
        }
    });
}

void LineCommandServer::add(const QString& verb, Handler handler) {
    verbs_.insert(verb, std::move(handler));
}

QString LineCommandServer::run(const QString& line) const {
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QStringLiteral("error empty");
    const auto verb = verbs_.constFind(words[0]);
    if (verb == verbs_.constEnd())
        return QStringLiteral("error unknown command");
    return (*verb)(words);
}

bool LineCommandServer::listen(const QString& name) {
    QLocalServer::removeServer(name);
    return server_.listen(name);
}

}  // namespace krl
