#pragma once

#include <QLocalServer>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace krl {

// A local socket that takes one command a line and writes one answer line for each. Each part
// of the program adds the verbs it answers; a line's first word picks the verb. The program's
// test channel speaks through it.
class LineCommandServer : public QObject {
public:
    // words: the line split at blanks, the verb first.
    using Handler = std::function<QString(const QStringList& words)>;

    explicit LineCommandServer(QObject* parent = nullptr);
    void add(const QString& verb, Handler handler);
    // The answer to one line: "error ..." for an empty line or an unknown verb.
    QString run(const QString& line) const;
    // Takes the name over from a socket file a crashed run may have left.
    bool listen(const QString& name);

private:
    QMap<QString, Handler> verbs_;
    QLocalServer server_;
};

}  // namespace krl
