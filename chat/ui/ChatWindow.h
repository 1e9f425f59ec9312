#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "chat/ChatConversation.h"

class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QToolButton;

namespace krl {

class MessagePresenter;
class StringTable;

// The chat window: the conversation log (id 138) above the one-line input (id 139) and the menu
// button (id 29126). The window only shows and asks; its conversation holds the lines, sends
// them and writes the capture file. Peer text is always shown as plain text.
class ChatWindow : public QWidget {
    Q_OBJECT

public:
    struct Services {
        ChatConversation::Link& link;
        const StringTable& strings;
        MessagePresenter& messages;
        // Asks the user for the capture file, starting from the given path; empty when cancelled.
        std::function<QString(QWidget* parent, const QString& initial)> chooseCaptureFile;
        std::function<void()> help;
    };

    // geometry: the stored frame rectangle (left, top, right, bottom).
    ChatWindow(Services services, const QRect& geometry, QString capturePath,
               QWidget* parent = nullptr);
    ~ChatWindow() override;

    // A text from the peer (Windows-1252); nothing happens for an empty one.
    void showReceived(const Cp1252Text& text);
    // name: the remote party's name (UTF-8), empty when none is known.
    void updateTitle(const std::string& name, bool connected);
    // Sends the input field's line, as Enter does.
    void sendInput();
    // Starts capturing to path without asking (the menu entry asks first); false when the file
    // could not be made (the message has then been shown).
    bool startCapture(const QString& path);
    void stopCapture();

    const ChatConversation& conversation() const { return conversation_; }
    QPlainTextEdit* log() const { return log_; }
    QLineEdit* input() const { return input_; }
    QMenu* buildMenu();
    QString capturePath() const { return capturePath_; }
    std::string remoteName() const { return remoteName_; }

signals:
    // The user closed the window: the owner keeps its place and forgets it.
    void closing(QRect frame, bool minimised, QString capturePath);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void append(const ChatEntry& entry);
    void chooseCapture();
    void showCaptureFailure(int error);
    void popUpMenuButton();

    Services services_;
    ChatConversation conversation_;
    QString capturePath_;
    std::string remoteName_;
    QPlainTextEdit* log_ = nullptr;
    QLineEdit* input_ = nullptr;
    QToolButton* menuButton_ = nullptr;
};

}  // namespace krl
