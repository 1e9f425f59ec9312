#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace krl {

// The program's command line: file names to send, plus options that preset the connection for
// a scripted start (the demo, tests) so that no setup wizard is needed.
//
//   kestrelcall [--port DEVICE] [--modem FILE] [--always-listen | --no-listen] [--dial]
//               [--splash-ms N] [--] [FILE...]
struct LaunchOptions {
    QStringList files;
    std::optional<QString> port;
    std::optional<QString> modemFile;
    std::optional<bool> alwaysListen;
    bool dialAtStart = false;
    int splashMs = 5000;

    // True when the connection settings are preset and the setup wizard is not wanted.
    bool presetsComms() const { return port.has_value() || modemFile.has_value(); }

    // Nothing, with error set, when the line cannot be read.
    static std::optional<LaunchOptions> parse(const QStringList& arguments, QString* error);
    static QString usage();
};

}  // namespace krl
