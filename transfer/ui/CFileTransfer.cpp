#include "transfer/ui/CFileTransfer.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>
#include <optional>

#include "connection/ui/TransferStatusBar.h"
#include "settings/Settings.h"
#include "transfer/FileTransferWork.h"
#include "transfer/ui/CFileListCtrl.h"
#include "transfer/ui/CTransferProgress.h"
#include "transfer/ui/CopyAnimation.h"
#include "transfer/ui/TransferPane.h"

namespace krl {
namespace {

constexpr int kQueueListId = 1061;

TransferStatusBar::Side barSide(TransferSide side) {
    return side == TransferSide::Sending ? TransferStatusBar::Side::Sending
                                         : TransferStatusBar::Side::Receiving;
}

QIcon bitmap(int number) {
    return QIcon(QStringLiteral(":/bitmaps/%1.svg").arg(number));
}

}  // namespace

CFileTransfer::CFileTransfer(TransferWindowServices services, QWidget* parent)
    : QMainWindow(parent), s_(std::move(services)) {
    setObjectName(QStringLiteral("CFileTransfer"));
    setWindowTitle(QStringLiteral("File Transfer"));
    setWindowIcon(bitmap(182));
    setAcceptDrops(true);
    record_ = s_.settings.has<TransferWindowRecord>() ? s_.settings.get<TransferWindowRecord>()
                                                      : TransferWindowRecord{};
    buildMenus();
    buildToolBar();
    buildBody();
    s_.work.setView(this);
    queueChanged();
    restoreState();
    refreshReceiveCommand();
}

CFileTransfer::~CFileTransfer() {
    s_.work.setView(nullptr);
}

// --- building -----------------------------------------------------------------------------

QAction* CFileTransfer::addAction(Command command, const QString& text, std::function<void()> run,
                                  const QKeySequence& keys) {
    auto* a = new QAction(text, this);
    a->setObjectName(QStringLiteral("id%1").arg(static_cast<int>(command)));
    if (!keys.isEmpty()) {
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
    }
    connect(a, &QAction::triggered, this, [run = std::move(run)] { run(); });
    actions_.insert(command, a);
    QWidget::addAction(a);
    return a;
}

void CFileTransfer::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(addAction(
        AddToQueue, QStringLiteral("&Add to Queue..."), [this] { addWithDialog(); },
        QKeySequence(Qt::Key_Insert)));
    file->addAction(addAction(
        Delete, QStringLiteral("&Delete"), [this] { removeSelected(); },
        QKeySequence(QKeySequence::Delete)));
    file->addAction(addAction(View, QStringLiteral("&View"), [this] { viewSelected(); }));
    file->addSeparator();
    QMenu* history = file->addMenu(QStringLiteral("File Transfer &History"));
    history->addAction(addAction(SentFiles, QStringLiteral("S&ent Files..."), [this] {
        if (s_.history)
            s_.history(TransferSide::Sending);
    }));
    history->addAction(addAction(ReceivedFiles, QStringLiteral("Re&ceived Files..."), [this] {
        if (s_.history)
            s_.history(TransferSide::Receiving);
    }));
    file->addSeparator();
    file->addAction(addAction(Options, QStringLiteral("&Options"), [this] {
        if (s_.options)
            s_.options();
    }));
    file->addAction(addAction(Close, QStringLiteral("&Close"), [this] { close(); }));

    QMenu* send = menuBar()->addMenu(QStringLiteral("&Send"));
    send->addAction(
        addAction(QueuedFiles, QStringLiteral("&Queued Files"), [this] { s_.work.sendQueued(); }));
    send->addAction(addAction(ClipboardContents, QStringLiteral("&Clipboard Contents"), [this] {
        if (s_.sendClipboard)
            s_.sendClipboard();
    }));
    menuBar()->addAction(addAction(Receive, QStringLiteral("&Receive!"), [this] {
        if (s_.listen)
            s_.listen();
    }));
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    auto* helpAction = new QAction(QStringLiteral("&File Transfer"), this);
    helpAction->setShortcut(QKeySequence(Qt::Key_F1));
    connect(helpAction, &QAction::triggered, this, [this] {
        if (s_.help)
            s_.help();
    });
    help->addAction(helpAction);
    QWidget::addAction(helpAction);
    auto* log = new QAction(QStringLiteral("Connection log"), this);
    log->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F1));
    connect(log, &QAction::triggered, this, [this] {
        if (s_.openLog)
            s_.openLog();
    });
    QWidget::addAction(log);
    for (QMenu* m : {file, send})
        connect(m, &QMenu::aboutToShow, this, &CFileTransfer::updateCommands);
}

void CFileTransfer::buildToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Queue"));
    bar->setObjectName(QStringLiteral("toolbar128"));
    bar->setMovable(false);
    const struct {
        Command command;
        QStyle::StandardPixmap icon;
    } buttons[] = {
        {AddToQueue, QStyle::SP_FileDialogNewFolder}, {Delete, QStyle::SP_TrashIcon},
        {QueuedFiles, QStyle::SP_ArrowForward},       {View, QStyle::SP_FileDialogContentsView},
        {Options, QStyle::SP_FileDialogDetailedView},
    };
    for (const auto& b : buttons) {
        QAction* a = actions_.value(b.command);
        a->setIcon(style()->standardIcon(b.icon));
        a->setToolTip(a->text().remove(QLatin1Char('&')).remove(QStringLiteral("...")));
        bar->addAction(a);
    }
}

void CFileTransfer::buildBody() {
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    list_ = new CFileListCtrl(body, kQueueListId);
    list_->addColumn(0, 280, QStringLiteral("File Name"));
    list_->addColumn(1, 100, QStringLiteral("Type"));
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, &CFileTransfer::showContextMenu);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CFileTransfer::updateCommands);
    layout->addWidget(list_, 1);

    details_ = new QWidget(body);
    details_->setObjectName(QStringLiteral("details"));
    details_->setFixedHeight(kDetailsHeight);
    auto* d = new QVBoxLayout(details_);
    d->setContentsMargins(0, 4, 0, 4);
    sendPane_ = new TransferPane(QStringLiteral("Sending:"), StopSending, details_);
    sendPane_->setObjectName(QStringLiteral("sendingPane"));
    receivePane_ = new TransferPane(QStringLiteral("Receiving:"), StopReceiving, details_);
    receivePane_->setObjectName(QStringLiteral("receivingPane"));
    animation_ = new CopyAnimation(details_);
    animation_->open(s_.animationFile);
    d->addWidget(sendPane_);
    d->addWidget(animation_);
    d->addWidget(receivePane_);
    connect(sendPane_, &TransferPane::stopPressed, this,
            [this] { s_.work.stop(TransferSide::Sending); });
    connect(receivePane_, &TransferPane::stopPressed, this,
            [this] { s_.work.stop(TransferSide::Receiving); });
    layout->addWidget(details_);

    auto* bottom = new QHBoxLayout;
    statusBar_ = new TransferStatusBar(body);
    bottom->addWidget(statusBar_, 1);
    showDetails_ = new QToolButton(body);
    showDetails_->setObjectName(QStringLiteral("id%1").arg(ShowDetails));
    showDetails_->setIcon(bitmap(205));
    showDetails_->setToolTip(QStringLiteral("Show Details"));
    hideDetails_ = new QToolButton(body);
    hideDetails_->setObjectName(QStringLiteral("id%1").arg(HideDetails));
    hideDetails_->setIcon(bitmap(206));
    hideDetails_->setToolTip(QStringLiteral("Hide Details"));
    connect(showDetails_, &QToolButton::clicked, this, [this] { setDetailsShown(true); });
    connect(hideDetails_, &QToolButton::clicked, this, [this] { setDetailsShown(false); });
    bottom->addWidget(showDetails_);
    bottom->addWidget(hideDetails_);
    layout->addLayout(bottom);
    setCentralWidget(body);
}

// --- the view -----------------------------------------------------------------------------

TransferPane* CFileTransfer::pane(TransferSide side) const {
    return side == TransferSide::Sending ? sendPane_ : receivePane_;
}

void CFileTransfer::progress(TransferSide side, const SideProgress& p) {
    const QString path = QString::fromStdString(p.path);
    QString& shown = shownPath_[static_cast<int>(side)];
    if (shown != path) {
        shown = path;
        statusBar_->startTransfer(barSide(side), QFileInfo(path).fileName());
    }
    statusBar_->setProgress(barSide(side), p.percent);
    const QString figures = QString::fromStdString(figuresText(p));
    statusBar_->bar(barSide(side))
        ->setFormat(figures.isEmpty() ? QStringLiteral("%p%") : QStringLiteral("%p% ") + figures);
    pane(side)->update(path, p.percent, p.bytesPerSecond, figures);
}

void CFileTransfer::cleared(TransferSide side) {
    shownPath_[static_cast<int>(side)].clear();
    statusBar_->clearTransfer(barSide(side));
    pane(side)->update({}, 0, 0);
}

void CFileTransfer::queueChanged() {
    const std::vector<QueueItem>& items = s_.work.queue();
    const QList<int> selected = list_->selectedRows();
    list_->clear();
    for (const QueueItem& item : items) {
        const QString path = QString::fromStdString(item.path);
        const int row = list_->addItem(-1, path, path);
        list_->setSubItemText(row, 1, QString::fromStdString(item.typeText));
    }
    if (!items.empty())
        list_->selectRow(selected.isEmpty()
                             ? 0
                             : std::min<int>(selected.first(), list_->topLevelItemCount() - 1));
    updateCommands();
}

void CFileTransfer::activity(bool active) {
    active_ = active;
    if (active && detailsShown_)
        animation_->start();
    else if (!active)
        animation_->stop();
    // A minimised window blinks while a file moves.
    if (active && isMinimized()) {
        blink_ = !blink_;
        setWindowIcon(bitmap(blink_ ? 183 : 182));
    } else if (blink_) {
        blink_ = false;
        setWindowIcon(bitmap(182));
    }
}

void CFileTransfer::historyChanged() {
    updateCommands();
}

bool CFileTransfer::animationPlaying() const {
    return animation_->playing();
}

// --- commands -----------------------------------------------------------------------------

void CFileTransfer::updateCommands() {
    const bool queued = !s_.work.queue().empty();
    actions_.value(Delete)->setEnabled(queued);
    actions_.value(View)->setEnabled(queued);
    actions_.value(QueuedFiles)->setEnabled(queued);
    actions_.value(SentFiles)->setEnabled(historyListed(TransferSide::Sending));
    actions_.value(ReceivedFiles)->setEnabled(historyListed(TransferSide::Receiving));
    actions_.value(ClipboardContents)->setEnabled(static_cast<bool>(s_.sendClipboard));
}

bool CFileTransfer::historyListed(TransferSide side) {
    const TransferFilePaths& paths = s_.work.paths();
    const QFileInfo info(QString::fromStdString(
        side == TransferSide::Sending ? paths.sentHistory : paths.receivedHistory));
    return info.exists() && info.size() > 0;
}

void CFileTransfer::refreshReceiveCommand() {
    actions_.value(Receive)->setEnabled(!s_.notConnected || s_.notConnected());
}

namespace {
std::vector<std::string> pathsOf(const QStringList& files) {
    std::vector<std::string> paths;
    for (const QString& f : files)
        paths.push_back(f.toStdString());
    return paths;
}
}  // namespace

void CFileTransfer::addFiles(const QStringList& files) {
    s_.work.addFiles(pathsOf(files));
}

void CFileTransfer::queueFiles(const QStringList& files) {
    s_.work.queueFiles(pathsOf(files));
}

void CFileTransfer::addWithDialog() {
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Add file to Queue"), QString(), QStringLiteral("All Files (*)"));
    if (!files.isEmpty())
        addFiles(files);
}

void CFileTransfer::removeSelected() {
    std::vector<std::size_t> rows;
    for (int r : list_->selectedRows())
        rows.push_back(static_cast<std::size_t>(r));
    if (auto next = s_.work.remove(rows))
        list_->selectRow(static_cast<int>(*next));
}

void CFileTransfer::viewSelected() {
    for (int r : list_->selectedRows())
        s_.host.launch(list_->itemText(r).toStdString());
}

void CFileTransfer::showContextMenu(const QPoint& at) {
    if (!list_->itemAt(at))
        return;
    updateCommands();
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("menu1050"));
    menu.addAction(actions_.value(Delete));
    menu.addAction(actions_.value(View));
    menu.addSeparator();
    QAction* send =
        menu.addAction(QStringLiteral("&Send Queued files"), [this] { s_.work.sendQueued(); });
    send->setEnabled(actions_.value(QueuedFiles)->isEnabled() &&
                     (!s_.notConnected || s_.notConnected()));
    menu.exec(list_->viewport()->mapToGlobal(at));
}

// --- details and state --------------------------------------------------------------------

void CFileTransfer::setDetailsShown(bool shown) {
    const bool changed = shown != detailsShown_;
    detailsShown_ = shown;
    details_->setVisible(shown);
    statusBar_->setVisible(!shown);
    showDetails_->setVisible(!shown);
    hideDetails_->setVisible(shown);
    setMinimumSize(400, shown ? 370 : 220);
    if (changed && !isMaximized())
        resize(width(), height() + (shown ? kDetailsHeight : -kDetailsHeight));
    if (shown && active_)
        animation_->start();
    else if (!shown)
        animation_->stop();
    record_.detailsShown = shown ? 1 : 0;
}

void CFileTransfer::restoreState() {
    const TransferWindowRecord& r = record_;
    resize(std::max(400, r.width), std::max(220, r.height));
    if (r.left != -1)
        move(r.left, r.top);
    if (r.queueColumn1Width != TransferWindowRecord::kUnset) {
        list_->setColumnWidth(0, r.queueColumn0Width);
        list_->setColumnWidth(1, r.queueColumn1Width);
    } else {
        const int w = std::max(100, width() - 20);
        list_->setColumnWidth(0, (3 * w - 6) / 4);
        list_->setColumnWidth(1, w - (3 * w - 6) / 4 - 2);
    }
    detailsShown_ = !r.detailsShown;  // so that the call below lays out without resizing
    setDetailsShown(r.detailsShown != 0);
    if (r.left == -1)
        setWindowState(windowState() | Qt::WindowMinimized);
}

void CFileTransfer::keepState() {
    record_.queueColumn0Width = list_->columnWidth(0);
    record_.queueColumn1Width = list_->columnWidth(1);
    if (isMinimized()) {
        record_.left = record_.top = -1;
        record_.width = 540;
        record_.height = 250;
    } else {
        record_.left = frameGeometry().x();
        record_.top = frameGeometry().y();
        record_.width = width();
        record_.height = height();
    }
    if (s_.settings.has<TransferWindowRecord>()) {
        // The history dialogs keep their column widths in the same record.
        const TransferWindowRecord stored = s_.settings.get<TransferWindowRecord>();
        record_.sentColumns = stored.sentColumns;
        record_.receivedColumns = stored.receivedColumns;
        s_.settings.set(record_);
    }
}

// --- window events ------------------------------------------------------------------------

void CFileTransfer::closeEvent(QCloseEvent* event) {
    if (!mayClose_) {
        event->ignore();
        if (asking_)
            return;
        // The answer comes at once when nothing needs asking, else later from the question.
        asking_ = true;
        auto inside = std::make_shared<bool>(true);
        auto answered = std::make_shared<std::optional<int>>();
        s_.work.queryAbandon([self = QPointer<CFileTransfer>(this), inside, answered](int answer) {
            if (*inside) {
                *answered = answer;
                return;
            }
            if (!self)
                return;
            self->asking_ = false;
            if (answer == 0)
                return;
            self->mayClose_ = true;
            self->close();
        });
        *inside = false;
        if (!answered->has_value())
            return;
        asking_ = false;
        if (**answered == 0)
            return;
        mayClose_ = true;
    }
    keepState();
    s_.work.saveQueue();
    s_.work.setView(nullptr);
    event->accept();
    emit closed();
}

void CFileTransfer::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CFileTransfer::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    event->acceptProposedAction();
    if (!files.isEmpty())
        addFiles(files);
}

void CFileTransfer::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && blink_) {
        blink_ = false;
        setWindowIcon(bitmap(182));
    }
}

}  // namespace krl
