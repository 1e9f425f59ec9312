#include "shell/ui/LaunchOptions.h"

namespace krl {

QString LaunchOptions::usage() {
    return QStringLiteral(
        "usage: kestrelcall [--port DEVICE] [--modem FILE] [--always-listen | --no-listen]\n"
        "                   [--dial] [--splash-ms N] [--] [FILE...]\n"
        "       kestrelcall --version\n");
}

std::optional<LaunchOptions> LaunchOptions::parse(const QStringList& arguments, QString* error) {
    LaunchOptions o;
    bool filesOnly = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&](QString& out) {
            if (i + 1 >= arguments.size()) {
                if (error)
                    *error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            out = arguments[++i];
            return true;
        };
        if (filesOnly || !a.startsWith(QStringLiteral("--"))) {
            o.files.append(a);
        } else if (a == QStringLiteral("--")) {
            filesOnly = true;
        } else if (a == QStringLiteral("--port")) {
            QString v;
            if (!value(v))
                return std::nullopt;
            o.port = v;
        } else if (a == QStringLiteral("--modem")) {
            QString v;
            if (!value(v))
                return std::nullopt;
            o.modemFile = v;
        } else if (a == QStringLiteral("--always-listen")) {
            o.alwaysListen = true;
        } else if (a == QStringLiteral("--no-listen")) {
            o.alwaysListen = false;
        } else if (a == QStringLiteral("--dial")) {
            o.dialAtStart = true;
        } else if (a == QStringLiteral("--splash-ms")) {
            QString v;
            if (!value(v))
                return std::nullopt;
            bool ok = false;
            o.splashMs = v.toInt(&ok);
            if (!ok || o.splashMs < 0 || o.splashMs > 60000) {
                if (error)
                    *error = QStringLiteral("--splash-ms takes 0 to 60000");
                return std::nullopt;
            }
        } else {
            if (error)
                *error = QStringLiteral("unknown option %1").arg(a);
            return std::nullopt;
        }
    }
    return o;
}

}  // namespace krl
