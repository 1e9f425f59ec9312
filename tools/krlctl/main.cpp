// krlctl: a small client of Kestrelcall's control interface on the session bus, so scripts can
// queue and send files, send the clipboard, listen or connect, and read the transfer status.
//
//   krlctl execute '[Send_File(/path/a)][Send_File(/path/b)]'
//   krlctl request '[GetSendInfo]'
//
// execute prints nothing and ends 0 once the running copy has acknowledged the block; request
// prints the answer exactly as given (it ends with a carriage return) and a line feed. Without a
// running copy on the bus the client says so and ends 1; wrong use ends 2.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kService = "com.brightmar.KRL32";
constexpr const char* kPath = "/Tonebay";
constexpr const char* kInterface = "com.brightmar.KRL32.Tonebay";

int usage() {
    std::fputs(
        "usage: krlctl execute COMMANDS   e.g. '[Send_File(/home/me/a.txt)]'\n"
        "       krlctl request ITEM       '[GetSendInfo]' or '[GetRecieveInfo]'\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return usage();
    const bool execute = std::strcmp(argv[1], "execute") == 0;
    if (!execute && std::strcmp(argv[1], "request") != 0)
        return usage();
    const QString argument = QString::fromLocal8Bit(argv[2]);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "krlctl: no session bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
        execute ? QStringLiteral("Execute") : QStringLiteral("Request"));
    call << argument;
    // A command may wait for the user (a question on screen) before it is acknowledged.
    const QDBusMessage answer = bus.call(call, QDBus::Block, 24 * 60 * 60 * 1000);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().size() != 1) {
        std::fprintf(stderr, "krlctl: %s\n", qPrintable(answer.errorMessage()));
        return 1;
    }
    if (execute)
        return answer.arguments().first().toBool() ? 0 : 1;
    const QDBusReply<QString> reply(answer);
    std::printf("%s\n", reply.value().toLocal8Bit().constData());
    return 0;
}
