#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace krl {

// One running copy per home folder. The first copy listens on a local socket named after the
// user and the home folder; a later copy hands it its arguments as a list (names with blanks
// stay whole) and ends.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // The server name for a home folder: stable for one user and folder, different otherwise.
    static QString serverName(const QString& homeDir);

    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when a running copy took the arguments: this copy should end.
    bool handOver(const QStringList& arguments, int timeoutMs = 5000);
    // Becomes the running copy. False when the name cannot be served.
    bool listen();

    // Frames an argument list for the socket, and reads one back; nothing when the bytes do
    // not hold a whole, sane list.
    static QByteArray encode(const QStringList& arguments);
    static std::optional<QStringList> decode(const QByteArray& bytes);

signals:
    // A later copy was started with these arguments (may be empty: bring the window forward).
    void argumentsReceived(const QStringList& arguments);

private:
    void accept();

    QString name_;
    QLocalServer server_;
};

}  // namespace krl
