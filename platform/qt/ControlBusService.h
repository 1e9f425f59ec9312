#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace krl {

// The control interface on the user's own session bus (never the system bus: any process that
// can reach the service can queue any file it names for the peer). Other programs call
//   Execute(s commands) -> b     a block of bracketed commands; always acknowledged (true)
//   Request(s item) -> s         the status text of "[GetSendInfo]" / "[GetRecieveInfo]"
// on the object kPath of the bus name kService, interface kInterface.
class ControlBusService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.brightmar.KRL32.Tonebay")

public:
    static constexpr const char* kService = "com.brightmar.KRL32";
    static constexpr const char* kPath = "/Tonebay";
    static constexpr const char* kInterface = "com.brightmar.KRL32.Tonebay";

    using ExecuteHandler = std::function<bool(const QString& commands)>;
    using RequestHandler = std::function<QString(const QString& item)>;

    ControlBusService(ExecuteHandler execute, RequestHandler request, QObject* parent = nullptr);
    ~ControlBusService() override;

    // Takes the bus name and exports the object; false (with the reason) when there is no
    // session bus or another copy holds the name.
    bool start(QString* error = nullptr);

public slots:
    bool Execute(const QString& commands);
    QString Request(const QString& item);

private:
    ExecuteHandler execute_;
    RequestHandler request_;
    bool registered_ = false;
};

}  // namespace krl
