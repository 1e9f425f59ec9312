#include "shell/ui/LaunchOptions.h"

#include <QUrl>

namespace krl {

QString LaunchOptions::usage() {
    return QStringLiteral(
        "usage: kestrelcall [--port DEVICE] [--modem FILE] [--always-listen | --no-listen]\n"
        "                   [--dial] [--call NUMBER] [--splash-ms N] [--]\n"
        "                   [FILE... | tel:NUMBER | file:URL...]\n"
        "       kestrelcall --version\n");
}

QString LaunchOptions::telNumber(const QString& link) {
    QString number = link.mid(4);
    if (number.startsWith(QStringLiteral("//")))
        number = number.mid(2);
    number = number.section(QLatin1Char(';'), 0, 0);
    return QUrl::fromPercentEncoding(number.toUtf8()).trimmed();
}

QStringList LaunchOptions::handOver() const {
    QStringList out;
    if (callNumber)
        out << QStringLiteral("--call") << *callNumber;
    return out + files;
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
        if (!filesOnly && a.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive)) {
            o.callNumber = telNumber(a);
        } else if (!filesOnly && a.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
            const QUrl url(a);
            if (!url.isLocalFile() || !url.host().isEmpty()) {
                if (error)
                    *error = QStringLiteral("not a local file: %1").arg(a);
                return std::nullopt;
            }
            o.files.append(url.toLocalFile());
        } else if (filesOnly || !a.startsWith(QStringLiteral("--"))) {
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
        } else if (a == QStringLiteral("--call")) {
            QString v;
            if (!value(v))
                return std::nullopt;
            o.callNumber = v;
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
    if (o.callNumber && o.callNumber->isEmpty()) {
        if (error)
            *error = QStringLiteral("--call needs a number");
        return std::nullopt;
    }
    return o;
}

}  // namespace krl
