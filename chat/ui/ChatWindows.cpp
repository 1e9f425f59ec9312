#include "chat/ui/ChatWindows.h"

namespace krl {

ChatWindows::ChatWindows(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)) {}

ChatWindows::~ChatWindows() {
    delete window_.data();
}

void ChatWindows::openOrRaise() {
    if (window_) {
        if (window_->isMinimized())
            window_->showNormal();
        window_->show();
        window_->raise();
        window_->activateWindow();
        return;
    }
    const ChatPlacement placement =
        services_.loadPlacement ? services_.loadPlacement() : ChatPlacement{};
    window_ = new ChatWindow(services_.window, placement.frame, placement.capturePath);
    window_->setAttribute(Qt::WA_DeleteOnClose);
    connect(window_, &ChatWindow::closing, this, &ChatWindows::closing);
    window_->updateTitle(remoteName_, connected_);
    window_->show();
}

void ChatWindows::received(const Cp1252Text& text) {
    if (text.empty())
        return;
    if (!window_)
        openOrRaise();
    window_->showReceived(text);
    if (!window_->isVisible() || window_->isMinimized() || !window_->isActiveWindow()) {
        const QString who =
            remoteName_.empty() ? QStringLiteral("Chat") : QString::fromStdString(remoteName_);
        if (services_.notify)
            // Escaped: a notification service may read markup in the body.
            services_.notify(who,
                             QString::fromStdString(cp1252ToUtf8(text)).trimmed().toHtmlEscaped());
    }
}

void ChatWindows::setCall(const std::string& remoteName, bool connected) {
    remoteName_ = remoteName;
    connected_ = connected;
    if (window_)
        window_->updateTitle(remoteName_, connected_);
}

void ChatWindows::close() {
    if (window_)
        window_->close();
}

void ChatWindows::closing(const QRect& frame, bool minimised, const QString& capturePath) {
    if (services_.storePlacement)
        services_.storePlacement(ChatPlacement{frame, capturePath}, minimised);
}

}  // namespace krl
