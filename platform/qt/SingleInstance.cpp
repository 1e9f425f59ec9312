#include "platform/qt/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QIODevice>
#include <QLocalSocket>
#include <QTimer>

namespace krl {
namespace {

// A whole message: a 32-bit length, then the list as QDataStream writes it.
constexpr qint64 kMaxMessage = 1 << 20;
constexpr int kMaxArguments = 4096;

}  // namespace

QString SingleInstance::serverName(const QString& homeDir) {
    const QByteArray key = QDir::cleanPath(QDir(homeDir).absolutePath()).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex();
    return QStringLiteral("kestrelcall-%1-%2")
        .arg(::getuid())
        .arg(QString::fromLatin1(hash.left(16)));
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), name_(std::move(serverName)) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance() = default;

QByteArray SingleInstance::encode(const QStringList& arguments) {
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << arguments;
    }
    QByteArray framed;
    QDataStream out(&framed, QIODevice::WriteOnly);
    out << static_cast<quint32>(body.size());
    framed.append(body);
    return framed;
}

std::optional<QStringList> SingleInstance::decode(const QByteArray& bytes) {
    if (bytes.size() < 4)
        return std::nullopt;
    QDataStream head(bytes);
    quint32 length = 0;
    head >> length;
    if (length > kMaxMessage || bytes.size() - 4 != static_cast<qsizetype>(length))
        return std::nullopt;
    QDataStream in(bytes.mid(4));
    in.setVersion(QDataStream::Qt_6_4);
    QStringList list;
    in >> list;
    if (in.status() != QDataStream::Ok || !in.atEnd() || list.size() > kMaxArguments)
        return std::nullopt;
    return list;
}

bool SingleInstance::handOver(const QStringList& arguments, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(encode(arguments));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running copy closes the socket once it has the whole list.
    socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen() {
    // Listening with access options replaces a socket file that is there, so a copy that is
    // running must be asked first; one that died leaves its socket behind and answers nothing.
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(1000))
        return false;
    QLocalServer::removeServer(name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(name_);
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        auto done = std::make_shared<bool>(false);
        // A client that never finishes is dropped after a while.
        QTimer::singleShot(10000, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer, done] {
            if (*done)
                return;
            buffer->append(socket->readAll());
            if (buffer->size() > kMaxMessage + 4) {
                *done = true;
                socket->abort();
                return;
            }
            if (buffer->size() < 4)
                return;
            QDataStream head(*buffer);
            quint32 length = 0;
            head >> length;
            if (buffer->size() - 4 < static_cast<qsizetype>(length))
                return;
            *done = true;
            const auto list = decode(*buffer);
            socket->disconnectFromServer();
            if (list)
                emit argumentsReceived(*list);
        });
    }
}

}  // namespace krl
