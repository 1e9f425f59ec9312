// The chat window and its keeper on the offscreen platform: peer text stays plain text, the two
// colours, the window that opens when a line arrives, the notice, the title and the stored place.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCharFormat>

#include "chat/ui/ChatWindows.h"
#include "fakes/RecordingPresenter.h"
#include "resources/StringTable.h"

using namespace krl;

namespace {

class RecordingLink : public ChatConversation::Link {
public:
    bool connected() const override { return true; }
    bool send(const Cp1252Text& text) override {
        sent.push_back(text.bytes());
        return true;
    }
    std::vector<std::string> sent;
};

QColor colourOfLine(const QPlainTextEdit& log, int line) {
    const QTextBlock block = log.document()->findBlockByNumber(line);
    return block.begin().fragment().charFormat().foreground().color();
}

struct Keeper {
    RecordingLink link;
    test::RecordingPresenter messages;
    std::vector<std::pair<QString, QString>> notices;
    std::vector<ChatPlacement> stored;
    ChatWindows windows{ChatWindows::Services{
        ChatWindow::Services{link, StringTable::builtIn(), messages, {}, {}},
        [] {
            return ChatPlacement{QRect(40, 50, 440, 300), QStringLiteral("/tmp/c.txt")};
        },
        [this](const ChatPlacement& p, bool minimised) { stored.push_back(p); },
        [this](const QString& s, const QString& b) { notices.emplace_back(s, b); }}};
};

}  // namespace

TEST(ChatWindow, PeerMarkupIsShownAsTypedInRedAndOwnLinesInGrey) {
    Keeper k;
    k.windows.setCall("Jos\xc3\xa9", true);
    // Nothing open: the first line opens the window and is shown in it.
    k.windows.received(Cp1252Text("<b>bold</b> <img src=\"/etc/passwd\"> &amp;\r\n"));
    ChatWindow* w = k.windows.window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Chatting with : Jos\xc3\xa9"));
    w->input()->setText(QStringLiteral("<i>mine</i>"));
    w->sendInput();
    EXPECT_TRUE(w->input()->text().isEmpty());
    EXPECT_EQ(k.link.sent, (std::vector<std::string>{"<i>mine</i>\r\n"}));

    const QPlainTextEdit& log = *w->log();
    EXPECT_EQ(log.toPlainText(),
              QStringLiteral("<< <b>bold</b> <img src=\"/etc/passwd\"> &amp;\n>> <i>mine</i>\n"));
    EXPECT_EQ(colourOfLine(log, 0), QColor(0xFF, 0, 0));
    EXPECT_EQ(colourOfLine(log, 1), QColor(0x80, 0x80, 0x80));
    EXPECT_FALSE(log.document()->toHtml().contains(QLatin1String("<img")));

    // Not the active window here: the desktop hears of the line, its markup escaped.
    ASSERT_EQ(k.notices.size(), 1u);
    EXPECT_EQ(k.notices[0].first, QString::fromUtf8("Jos\xc3\xa9"));
    EXPECT_TRUE(k.notices[0].second.startsWith(QLatin1String("&lt;b&gt;bold")));

    QDir().mkpath(QStringLiteral(KRL_SCREENSHOT_DIR));
    w->grab().save(QStringLiteral(KRL_SCREENSHOT_DIR "/chat-window.png"));
}

TEST(ChatWindow, TitleFollowsTheCallAndClosingStoresThePlace) {
    Keeper k;
    k.windows.openOrRaise();
    ChatWindow* w = k.windows.window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Chat not Connected"));
    k.windows.setCall("", true);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Chat - Connected"));
    k.windows.openOrRaise();  // the same window, raised
    EXPECT_EQ(k.windows.window(), w);

    EXPECT_FALSE(w->startCapture(QStringLiteral("/dev/full")));
    EXPECT_EQ(k.messages.ids(), (std::vector<int>{4080}));

    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(k.windows.window(), nullptr);
    ASSERT_EQ(k.stored.size(), 1u);
    EXPECT_EQ(k.stored[0].frame.topLeft(), QPoint(40, 50));
    EXPECT_EQ(k.stored[0].capturePath, QStringLiteral("/dev/full"));
}
