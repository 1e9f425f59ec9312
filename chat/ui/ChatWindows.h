#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "chat/ui/ChatWindow.h"

namespace krl {

// Where the chat window sits and where it captures to, as the settings keep it.
struct ChatPlacement {
    QRect frame;  // screen coordinates of the whole window
    QString capturePath;
};

// Keeps the one chat window: opens or raises it on the Chat command, opens it when chat text
// arrives while there is none, keeps its title in step with the call, stores its place when it
// closes, and tells the desktop of a line that arrives while nobody looks at the window.
class ChatWindows : public QObject {
    Q_OBJECT

public:
    struct Services {
        ChatWindow::Services window;
        std::function<ChatPlacement()> loadPlacement;
        // The window closed: its place (unless minimised, then only the capture path).
        std::function<void(const ChatPlacement&, bool minimised)> storePlacement;
        // A desktop notification (summary, body).
        std::function<void(const QString&, const QString&)> notify;
    };

    explicit ChatWindows(Services services, QObject* parent = nullptr);
    ~ChatWindows() override;

    void openOrRaise();
    // Chat text from the peer (Windows-1252): opens the window when there is none.
    void received(const Cp1252Text& text);
    // The remote party's name (UTF-8, empty when none is known) and whether a call is up.
    void setCall(const std::string& remoteName, bool connected);
    // Closes the window as its Close does (the program is ending).
    void close();

    ChatWindow* window() const { return window_.data(); }

private:
    void closing(const QRect& frame, bool minimised, const QString& capturePath);

    Services services_;
    QPointer<ChatWindow> window_;
    std::string remoteName_;
    bool connected_ = false;
};

}  // namespace krl
