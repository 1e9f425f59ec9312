#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

namespace krl {

// A local socket that takes one command a line and writes one answer line for each, the answer
// coming from the function it was given. The program's test channels speak through it.
class LineCommandServer : public QObject {
public:
    using Handler = std::function<QString(const QString& line)>;

    explicit LineCommandServer(Handler handler, QObject* parent = nullptr);
    // Takes the name over from a socket file a crashed run may have left.
    bool listen(const QString& name);

private:
    Handler handler_;
    QLocalServer server_;
};

}  // namespace krl
