#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace krl {

// The program's command line: file names to send, plus options that preset the connection for
// a scripted start (the demo, tests) so that no setup wizard is needed.
//
//   kestrelcall [--port DEVICE] [--modem FILE] [--always-listen | --no-listen] [--dial]
//               [--call NUMBER] [--splash-ms N] [--] [FILE... | tel:NUMBER | file:URL...]
//
// --call (or a tel: link from the desktop) dials the number through the configured modem at
// start, or in the copy already running, without the connect dialog.
struct LaunchOptions {
    QStringList files;
    std::optional<QString> port;
    std::optional<QString> modemFile;
    std::optional<bool> alwaysListen;
    bool dialAtStart = false;
    std::optional<QString> callNumber;
    int splashMs = 5000;

    // True when the connection settings are preset and the setup wizard is not wanted.
    bool presetsComms() const { return port.has_value() || modemFile.has_value(); }

    // Nothing, with error set, when the line cannot be read.
    static std::optional<LaunchOptions> parse(const QStringList& arguments, QString* error);
    static QString usage();
    // What a later copy hands the running one: --call and its number (when given), then the
    // files.
    QStringList handOver() const;
    // The number of a tel: link (RFC 3966): the part before any ';' parameter, percent-decoded,
    // without the "//" some programs put after the scheme.
    static QString telNumber(const QString& link);
};

}  // namespace krl
