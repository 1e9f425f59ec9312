#include "transfer/ui/TransferHistoryDialog.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "base/MessagePresenter.h"
#include "transfer/FileTransferWork.h"
#include "transfer/ui/CFileListCtrl.h"

namespace krl {
namespace {

constexpr int kMsgForward = 5200;

// Stored widths are in the order type, party, file name, date; columns are file name, type,
// party, date.
constexpr int kColumnOfStored[4] = {1, 2, 0, 3};

}  // namespace

TransferHistoryDialog::TransferHistoryDialog(TransferSide side, FileTransferWork& work,
                                             TransferHost& host, MessagePresenter& messages,
                                             TransferWindowRecord& record, QWidget* parent)
    : QDialog(parent), side_(side), work_(work), host_(host), messages_(messages), record_(record) {
    const bool sent = side == TransferSide::Sending;
    setObjectName(QStringLiteral("TransferHistoryDialog"));
    setWindowTitle(sent ? QStringLiteral("Sent Files History")
                        : QStringLiteral("Received Files History"));
    resize(620, 320);
    list_ = new CFileListCtrl(this, List);
    const int w = 600;
    const std::array<std::int32_t, 4>& stored = widths();
    const bool keep = stored[0] != TransferWindowRecord::kUnset;
    // Computed: file name 4/12, party 4/12, type 2/12, date the rest.
    const int computed[4] = {4 * w / 12, 2 * w / 12, 4 * w / 12, w - 10 * w / 12};
    const QString titles[4] = {QStringLiteral("File Name"), QStringLiteral("Type"),
                               sent ? QStringLiteral("Sent To") : QStringLiteral("Received From"),
                               sent ? QStringLiteral("Sent On") : QStringLiteral("Received ON")};
    for (int c = 0; c < 4; ++c) {
        int width = computed[c];
        if (keep) {
            for (int i = 0; i < 4; ++i) {
                if (kColumnOfStored[i] == c)
                    width = stored[static_cast<std::size_t>(i)];
            }
        }
        list_->addColumn(c, std::max(20, width), titles[c]);
    }
    entries_ = work_.history(side).load();
    for (const HistoryEntry& e : entries_) {
        const QString path = QString::fromStdString(e.path);
        const int row = list_->addItem(-1, path, path);
        // The type shown is the desktop's name for the file today; the file keeps its own.
        list_->setSubItemText(row, 1, QString::fromStdString(host_.typeName(e.path)));
        list_->setSubItemText(row, 2, QString::fromStdString(e.party));
        list_->setSubItemText(row, 3, QString::fromStdString(e.date));
    }
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &TransferHistoryDialog::updateButtons);

    auto button = [this](const QString& text, Control id) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QStringLiteral("id%1").arg(id));
        b->setAutoDefault(false);
        return b;
    };
    view_ = button(QStringLiteral("&View"), View);
    forward_ = button(QStringLiteral("&Forward"), Forward);
    clear_ = button(QStringLiteral("Clea&r"), Clear);
    QPushButton* close = button(QStringLiteral("&Close"), CloseButton);
    QPushButton* help = button(QStringLiteral("&Help"), HelpButton);
    connect(view_, &QPushButton::clicked, this, &TransferHistoryDialog::view);
    connect(forward_, &QPushButton::clicked, this, &TransferHistoryDialog::forward);
    connect(clear_, &QPushButton::clicked, this, &TransferHistoryDialog::clearSelected);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(help, &QPushButton::clicked, this, &TransferHistoryDialog::helpRequested);
    auto* del = new QShortcut(QKeySequence::Delete, list_);
    connect(del, &QShortcut::activated, this, &TransferHistoryDialog::clearSelected);

    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (!list_->itemAt(at))
            return;
        QMenu menu(this);
        menu.addAction(QStringLiteral("&Delete\tDel"), this, &TransferHistoryDialog::clearSelected);
        menu.addAction(QStringLiteral("&View"), this, &TransferHistoryDialog::view);
        menu.addAction(QStringLiteral("&Forward"), this, &TransferHistoryDialog::forward);
        menu.exec(list_->viewport()->mapToGlobal(at));
    });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {view_, forward_, clear_})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(close);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    if (!entries_.empty())
        list_->selectRow(0);
    updateButtons();
}

std::array<std::int32_t, 4>& TransferHistoryDialog::widths() {
    return side_ == TransferSide::Sending ? record_.sentColumns : record_.receivedColumns;
}

void TransferHistoryDialog::updateButtons() {
    const bool any = !entries_.empty();
    view_->setEnabled(any);
    forward_->setEnabled(any);
    clear_->setEnabled(any);
}

void TransferHistoryDialog::view() {
    for (int row : list_->selectedRows())
        host_.launch(entries_[static_cast<std::size_t>(row)].path);
}

void TransferHistoryDialog::forward() {
    const QList<int> rows = list_->selectedRows();
    if (rows.isEmpty())
        return;
    std::vector<std::string> paths;
    for (int row : rows)
        paths.push_back(entries_[static_cast<std::size_t>(row)].path);
    QPointer<TransferHistoryDialog> self(this);
    messages_.show(
        Message{kMsgForward, MessageKind::Confirmation, std::to_string(paths.size()), std::nullopt},
        [self, paths](MessageAnswer answer) {
            if (self && answer == MessageAnswer::Ok)
                self->work_.queueFiles(paths);
        });
}

void TransferHistoryDialog::clearSelected() {
    const QList<int> rows = list_->deleteItems();
    for (int row : rows) {  // highest first
        removed_.push_back(entries_[static_cast<std::size_t>(row)]);
        entries_.erase(entries_.begin() + row);
    }
    updateButtons();
}

void TransferHistoryDialog::done(int result) {
    std::array<std::int32_t, 4>& w = widths();
    for (std::size_t i = 0; i < 4; ++i)
        w[i] = list_->columnWidth(kColumnOfStored[i]);
    if (!removed_.empty()) {
        // Lines added while the dialog was open (a file finished meanwhile) stay: only the
        // cleared lines leave the file as it is now.
        const TransferHistoryFile file = work_.history(side_);
        std::vector<HistoryEntry> now = file.load();
        for (const HistoryEntry& gone : removed_) {
            if (auto it = std::find(now.begin(), now.end(), gone); it != now.end())
                now.erase(it);
        }
        const StoreResult stored = file.rewrite(now);
        if (!stored.ok() && stored.message() != 0)
            messages_.show(stored.shown(), {});
        removed_.clear();
    }
    QDialog::done(result);
}

}  // namespace krl
