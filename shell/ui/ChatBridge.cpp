#include "shell/ui/ChatBridge.h"

#include <QFileDialog>

#include "chat/ui/ChatWindows.h"
#include "platform/qt/DesktopNotifier.h"
#include "settings/GeneralSettings.h"
#include "settings/Settings.h"
#include "shell/CallController.h"
#include "shell/CommandRegistry.h"
#include "shell/ui/UserGuide.h"

namespace krl {
namespace {

QString askCaptureFile(QWidget* parent, const QString& initial) {
    QFileDialog dialog(parent, QStringLiteral("Select file to capture chattings to"), initial,
                       QStringLiteral("Text Documents (*.txt);;All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(initial);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().first()
               : QString();
}

}  // namespace

ChatBridge::ChatBridge(CallController& call, Settings& settings, const StringTable& strings,
                       MessagePresenter& messages)
    : call_(call), settings_(settings) {
    ChatWindows::Services services{
        ChatWindow::Services{*this, strings, messages, askCaptureFile,
                             [] { UserGuide().open(HelpWindow::Chat); }},
        [this] {
            const ChatWindowRecord& r = settings_.get<GeneralSettings>().chat;
            return ChatPlacement{QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)),
                                 QString::fromStdString(r.capturePath)};
        },
        [this](const ChatPlacement& p, bool minimised) {
            settings_.update<GeneralSettings>([&p, minimised](GeneralSettings& g) {
                if (!minimised) {
                    g.chat.left = p.frame.left();
                    g.chat.top = p.frame.top();
                    g.chat.right = p.frame.left() + p.frame.width();
                    g.chat.bottom = p.frame.top() + p.frame.height();
                }
                g.chat.capturePath = p.capturePath.toStdString();
            });
        },
        [](const QString& summary, const QString& body) {
            DesktopNotifier().notify(summary, body);
        }};
    windows_ = std::make_unique<ChatWindows>(std::move(services));
    call_.addListener(this);
}

ChatBridge::~ChatBridge() {
    call_.removeListener(this);
}

void ChatBridge::addCommands(CommandRegistry& commands) {
    commands.add(CommandId::Chat, [this] { windows_->openOrRaise(); });
}

void ChatBridge::closeWindow() {
    windows_->close();
}

void ChatBridge::follow() {
    windows_->setCall(remoteName_, connected());
}

void ChatBridge::callStateChanged(ConnectionState state) {
    follow();
}

void ChatBridge::callEnded(CallEnd why) {
    remoteName_.clear();
    follow();
}

void ChatBridge::cardReceived(const BusinessCard& card) {
    remoteName_ = cp1252ToUtf8(card.name);
    follow();
}

void ChatBridge::chatArrived(const Cp1252Text& text) {
    windows_->received(text);
}

bool ChatBridge::connected() const {
    return call_.connection().state() == ConnectionState::Connected;
}

bool ChatBridge::send(const Cp1252Text& text) {
    return call_.sendChat(text);
}

}  // namespace krl
