#include "chat/ui/ChatTestCommands.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTimer>

#include "chat/ui/ChatWindows.h"
#include "platform/qt/LineCommandServer.h"

namespace krl {
namespace {

// Each shown line with the colour of its first character.
QString shownLines(const QPlainTextEdit& log) {
    QStringList lines;
    for (QTextBlock b = log.document()->begin(); b.isValid(); b = b.next()) {
        if (b.text().isEmpty() && !b.next().isValid())
            break;
        QString colour = QStringLiteral("000000");
        if (b.begin() != b.end())
            colour = b.begin().fragment().charFormat().foreground().color().name().mid(1);
        lines.append(colour.toUpper() + QLatin1Char(' ') + b.text());
    }
    return lines.join(QLatin1Char('\t'));
}

QString runChat(ChatWindows& windows, QStringList words) {
    words.removeFirst();  // "chat"
    if (words.isEmpty())
        return QStringLiteral("error");
    const QString verb = words.takeFirst();
    const QString rest = words.join(QLatin1Char(' '));
    ChatWindow* w = windows.window();
    if (verb == QLatin1String("open")) {
        windows.openOrRaise();
        return QStringLiteral("ok");
    }
    if (verb == QLatin1String("window"))
        return w ? QStringLiteral("1") : QStringLiteral("0");
    if (!w)
        return QStringLiteral("error no chat window");
    if (verb == QLatin1String("say")) {
        w->input()->setText(rest);
        w->sendInput();
        return QStringLiteral("ok");
    }
    if (verb == QLatin1String("log"))
        return shownLines(*w->log());
    if (verb == QLatin1String("title"))
        return w->windowTitle();
    if (verb == QLatin1String("capture")) {
        if (rest == QLatin1String("off")) {
            w->stopCapture();
            return QStringLiteral("ok");
        }
        return w->startCapture(rest) ? QStringLiteral("ok") : QStringLiteral("error not created");
    }
    if (verb == QLatin1String("grab"))
        return w->grab().save(rest) ? QStringLiteral("ok") : QStringLiteral("error cannot save");
    if (verb == QLatin1String("close")) {
        QTimer::singleShot(0, w, &QWidget::close);
        return QStringLiteral("ok");
    }
    return QStringLiteral("error unknown command");
}

}  // namespace

void addChatTestCommands(LineCommandServer& channel, ChatWindows& windows) {
    channel.add(QStringLiteral("chat"),
                [&windows](const QStringList& words) { return runChat(windows, words); });
}

}  // namespace krl
