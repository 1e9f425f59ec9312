#include "chat/ui/ChatWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QToolButton>

#include "base/MessagePresenter.h"
#include "chat/ChatLines.h"
#include "resources/StringTable.h"

namespace krl {
namespace {

constexpr int kMinWidth = 325;
constexpr int kMinHeight = 160;

// The log shows line ends as the document's own; a carriage return alone starts a line too.
QString shownText(const std::string& utf8) {
    QString text = QString::fromStdString(utf8);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QColor colourOf(ChatOrigin origin) {
    return QColor::fromRgb(origin == ChatOrigin::Typed ? kTypedLineColour : kReceivedLineColour);
}

}  // namespace

ChatWindow::ChatWindow(Services services, const QRect& geometry, QString capturePath,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(std::move(services)),
      conversation_(services_.link),
      capturePath_(std::move(capturePath)) {
    setObjectName(QStringLiteral("ChatWindow"));
    setWindowTitle(QStringLiteral("Chat"));
    setMinimumSize(kMinWidth, kMinHeight);

    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("id138"));
    log_->setReadOnly(true);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(log_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { buildMenu()->popup(log_->mapToGlobal(at)); });

    input_ = new QLineEdit(this);
    input_->setObjectName(QStringLiteral("id139"));
    input_->setMaxLength(static_cast<int>(kChatInputLimit));
    connect(input_, &QLineEdit::returnPressed, this, &ChatWindow::sendInput);

    menuButton_ = new QToolButton(this);
    menuButton_->setObjectName(QStringLiteral("id29126"));
    menuButton_->setToolTip(QStringLiteral("Chat Menu"));
    menuButton_->setArrowType(Qt::UpArrow);
    connect(menuButton_, &QToolButton::clicked, this, &ChatWindow::popUpMenuButton);
    setFocusProxy(input_);

    if (geometry.isValid()) {
        move(geometry.topLeft());
        resize(geometry.size().expandedTo(QSize(kMinWidth, kMinHeight)));
    }
}

ChatWindow::~ChatWindow() = default;

void ChatWindow::resizeEvent(QResizeEvent* event) {
    const int w = width();
    const int h = height();
    log_->setGeometry(5, 5, w - 10, h - 43);
    input_->setGeometry(5, h - 33, w - 37, 28);
    menuButton_->setGeometry(w - 27, h - 30, 22, 22);
    QWidget::resizeEvent(event);
}

void ChatWindow::focusInEvent(QFocusEvent* event) {
    input_->setFocus();
    QWidget::focusInEvent(event);
}

void ChatWindow::updateTitle(const std::string& name, bool connected) {
    remoteName_ = name;
    setWindowTitle(QString::fromStdString(chatTitle(services_.strings, name, connected)));
}

void ChatWindow::sendInput() {
    const ChatEntry& entry = conversation_.type(input_->text().toStdString());
    input_->clear();
    append(entry);
}

void ChatWindow::showReceived(const Cp1252Text& text) {
    if (const ChatEntry* entry = conversation_.receive(text))
        append(*entry);
}

void ChatWindow::append(const ChatEntry& entry) {
    // Inserted as plain text with a colour: markup from the peer stays characters.
    QTextCharFormat format;
    format.setForeground(colourOf(entry.origin));
    QTextCursor cursor(log_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shownText(entry.text), format);
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
    if (const int error = conversation_.takeCaptureFailure())
        showCaptureFailure(error);
}

QMenu* ChatWindow::buildMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("menu255"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy = menu->addAction(QStringLiteral("Co&py"), log_, &QPlainTextEdit::copy);
    copy->setEnabled(log_->textCursor().hasSelection());
    QAction* clear = menu->addAction(QStringLiteral("Clea&r"), this, [this] {
        conversation_.clear();
        log_->clear();
    });
    clear->setEnabled(!conversation_.empty());
    QAction* capture = menu->addAction(QStringLiteral("Capture to &file"), this, [this] {
        if (conversation_.capturing())
            stopCapture();
        else
            chooseCapture();
    });
    capture->setCheckable(true);
    capture->setChecked(conversation_.capturing());
    menu->addAction(QStringLiteral("&Help"), this, [this] {
        if (services_.help)
            services_.help();
    });
    menu->addAction(QStringLiteral("&Close"), this, &QWidget::close);
    return menu;
}

void ChatWindow::popUpMenuButton() {
    QMenu* menu = buildMenu();
    menu->exec(menuButton_->mapToGlobal(QPoint(menuButton_->width(), menuButton_->height())));
    input_->setFocus();
}

void ChatWindow::contextMenuEvent(QContextMenuEvent* event) {
    buildMenu()->popup(event->globalPos());
}

void ChatWindow::chooseCapture() {
    if (!services_.chooseCaptureFile)
        return;
    const QString chosen = services_.chooseCaptureFile(this, capturePath_);
    if (chosen.isEmpty() || chosen == QLatin1String("*.*"))
        return;
    capturePath_ = chosen;
    startCapture(chosen);
}

bool ChatWindow::startCapture(const QString& path) {
    capturePath_ = path;
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    const QString stamp = locale.toString(now.date(), QLocale::LongFormat) + QStringLiteral("  ") +
                          locale.toString(now.time(), QLocale::ShortFormat);
    const int error = conversation_.startCapture(
        path.toStdString(), captureHeader(services_.strings, remoteName_, stamp.toStdString()));
    if (error != 0) {
        showCaptureFailure(error);
        return false;
    }
    return true;
}

void ChatWindow::stopCapture() {
    conversation_.stopCapture();
}

void ChatWindow::showCaptureFailure(int error) {
    if (const auto id = captureFailureMessage(error))
        services_.messages.show(Message{*id, MessageKind::Error, std::nullopt, std::nullopt}, {});
}

void ChatWindow::closeEvent(QCloseEvent* event) {
    conversation_.stopCapture();
    emit closing(frameGeometry(), isMinimized(), capturePath_);
    QWidget::closeEvent(event);
}

}  // namespace krl
