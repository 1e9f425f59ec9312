#include "addressbook/ui/AddressBookDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "addressbook/ui/FolderNameDialog.h"
#include "base/Cp1252.h"
#include "controls/ui/PictureControl.h"
#include "controls/ui/ShowMessage.h"
#include "resources/StringTable.h"

namespace krl {
namespace {

constexpr int kFolderRole = Qt::UserRole;
constexpr int kEntryRole = Qt::UserRole + 1;
constexpr int kNoEntry = -1;
constexpr int kEditTitle = 77;  // "Edit Address Book"

QString text(const Cp1252Text& t) {
    return QString::fromStdString(cp1252ToUtf8(t));
}

template <class W>
W* named(W* w, int id) {
    w->setObjectName(QStringLiteral("id%1").arg(id));
    return w;
}

QAction* menuItem(QMenu& menu, const QString& label, int id) {
    QAction* a = menu.addAction(label);
    a->setObjectName(QStringLiteral("cmd%1").arg(id));
    return a;
}

}  // namespace

AddressBookDialog::AddressBookDialog(AddressBook& book,
                                     const std::optional<std::string>& selectName,
                                     const StringTable& strings, EditCardDialog::Services cards,
                                     QWidget* parent)
    : QDialog(parent), book_(book), strings_(strings), cards_(std::move(cards)) {
    setObjectName(QStringLiteral("Dialog198"));
    setWindowTitle(QStringLiteral("Address Book"));
    tree_ = named(new QTreeWidget(this), kTree);
    tree_->setHeaderHidden(true);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->setMinimumSize(220, 260);
    tree_->installEventFilter(this);
    picture_ = named(new PictureControl(this), kPicture);
    picture_->setFixedSize(164, 124);
    picture_->setDefaultPicture(QPixmap(QStringLiteral(":/bitmaps/203.svg")));
    details_ = named(new QPlainTextEdit(this), kDetails);
    details_->setReadOnly(true);
    auto* add = named(new QPushButton(QStringLiteral("&Add..."), this), kAdd);
    edit_ = named(new QPushButton(QStringLiteral("&Edit..."), this), kEdit);
    remove_ = named(new QPushButton(QStringLiteral("&Remove"), this), kRemove);
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    named(buttons->button(QDialogButtonBox::Help), kHelp);

    auto* side = new QVBoxLayout;
    side->addWidget(picture_, 0, Qt::AlignHCenter);
    side->addWidget(details_);
    auto* row = new QHBoxLayout;
    for (QPushButton* b : {add, edit_, remove_})
        row->addWidget(b);
    side->addLayout(row);
    auto* grid = new QGridLayout(this);
    grid->addWidget(tree_, 0, 0);
    grid->addLayout(side, 0, 1);
    grid->addWidget(buttons, 1, 0, 1, 2);

    connect(add, &QPushButton::clicked, this, &AddressBookDialog::addEntry);
    connect(edit_, &QPushButton::clicked, this, &AddressBookDialog::editEntry);
    connect(remove_, &QPushButton::clicked, this, &AddressBookDialog::removeSelected);
    connect(buttons, &QDialogButtonBox::accepted, this, &AddressBookDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
        if (cards_.help)
            cards_.help(HelpWindow::AddressBook);
    });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { selectionChanged(); });
    connect(tree_, &QTreeWidget::customContextMenuRequested, this, &AddressBookDialog::treeMenu);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item && item->data(0, kEntryRole).toInt() != kNoEntry)
            editEntry();
    });

    // The stored view states open folders and select an entry; a name asked for wins.
    std::optional<AddressBook::Position> toSelect;
    const auto& folders = book_.folders();
    for (std::size_t f = 0; f < folders.size(); ++f) {
        bool open = false;
        for (std::size_t e = 0; e < folders[f].entries.size(); ++e) {
            const CardViewState state = folders[f].entries[e].viewState;
            open = open || state != CardViewState::FolderClosed;
            if (state == CardViewState::Selected)
                toSelect = AddressBook::Position{f, e};
        }
        open_.push_back(open);
    }
    if (selectName) {
        if (auto at = book_.findByName(utf8ToCp1252(*selectName).bytes()))
            toSelect = at;
    }
    fill(toSelect);
    tree_->setFocus();
}

void AddressBookDialog::fill(const std::optional<AddressBook::Position>& select,
                             const std::optional<std::size_t>& selectFolder) {
    tree_->clear();
    const auto& folders = book_.folders();
    QTreeWidgetItem* current = nullptr;
    for (std::size_t f = 0; f < folders.size(); ++f) {
        auto* folder = new QTreeWidgetItem(tree_, {text(Cp1252Text(folders[f].name))});
        folder->setData(0, kFolderRole, int(f));
        folder->setData(0, kEntryRole, kNoEntry);
        folder->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        for (std::size_t e = 0; e < folders[f].entries.size(); ++e) {
            auto* item = new QTreeWidgetItem(folder, {text(folders[f].entries[e].name)});
            item->setData(0, kFolderRole, int(f));
            item->setData(0, kEntryRole, int(e));
            item->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
            if (select && select->folder == f && select->entry == e)
                current = item;
        }
        folder->setExpanded(f < open_.size() && open_[f]);
        if (selectFolder == f)
            current = folder;
    }
    if (current) {
        if (current->parent())
            current->parent()->setExpanded(true);
        tree_->setCurrentItem(current);
    }
    selectionChanged();
}

std::vector<bool> AddressBookDialog::openFolders() const {
    std::vector<bool> open(book_.folders().size(), false);
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        const auto f = std::size_t(tree_->topLevelItem(i)->data(0, kFolderRole).toInt());
        if (f < open.size())
            open[f] = tree_->topLevelItem(i)->isExpanded();
    }
    return open;
}

std::optional<AddressBookDialog::Node> AddressBookDialog::selected() const {
    const QTreeWidgetItem* item = tree_->currentItem();
    if (!item)
        return std::nullopt;
    Node node{std::size_t(item->data(0, kFolderRole).toInt()), std::nullopt};
    if (const int e = item->data(0, kEntryRole).toInt(); e != kNoEntry)
        node.entry = std::size_t(e);
    return node;
}

void AddressBookDialog::select(std::size_t folder, std::optional<std::size_t> entry) {
    open_ = openFolders();
    if (entry)
        fill(AddressBook::Position{folder, *entry});
    else
        fill(std::nullopt, folder);
}

void AddressBookDialog::selectionChanged() {
    const auto node = selected();
    const bool entry = node && node->entry;
    edit_->setEnabled(entry);
    remove_->setEnabled(bool(node));
    if (!entry) {
        details_->clear();
        picture_->clear();
        return;
    }
    const CardRecord& card = book_.entry({node->folder, *node->entry});
    details_->setPlainText(text(Cp1252Text(card.name.bytes() + "\r\n" + card.phone.bytes() +
                                           "\r\n\r\n" + card.details.bytes() + "\r\n"))
                               .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (card.picture.empty() || !picture_->loadFile(QString::fromStdString(card.picturePath())))
        picture_->clear();
}

void AddressBookDialog::addEntry() {
    const auto node = selected();
    if (!node)
        return;
    const QString title = QStringLiteral("Add Address Book - ") +
                          text(Cp1252Text(book_.folders()[node->folder].name));
    EditCardDialog dialog(CardRecord{}, title, std::nullopt, cards_, this);
    if (dialog.exec() != QDialog::Accepted || dialog.card().name.empty())
        return;
    open_ = openFolders();
    const AddressBook::Position at = book_.addEntry(node->folder, dialog.card());
    fill(at);
}

void AddressBookDialog::editEntry() {
    const auto node = selected();
    if (!node || !node->entry)
        return;
    const AddressBook::Position at{node->folder, *node->entry};
    EditCardDialog dialog(book_.entry(at), QString::fromStdString(strings_.text(kEditTitle)),
                          std::nullopt, cards_, this);
    if (dialog.exec() != QDialog::Accepted || dialog.card().name.empty())
        return;
    CardRecord card = dialog.card();
    card.viewState = book_.entry(at).viewState;
    book_.replaceEntry(at, card);
    open_ = openFolders();
    fill(at);
}

void AddressBookDialog::removeSelected() {
    const auto node = selected();
    if (!node)
        return;
    if (showMessage(this, kMsgRemove, MessageKind::Confirmation, tree_->currentItem()->text(0)) !=
        MessageAnswer::Ok)
        return;
    open_ = openFolders();
    if (node->entry) {
        book_.removeEntry({node->folder, *node->entry});
    } else {
        book_.removeFolder(node->folder);
        open_.erase(open_.begin() + std::ptrdiff_t(node->folder));
    }
    modified_ = true;
    fill(std::nullopt);
}

void AddressBookDialog::newFolder() {
    const auto name = FolderNameDialog::ask(QString(), strings_, this);
    if (!name ||
        book_.addFolder(utf8ToCp1252(name->toStdString()).bytes()) != FolderNameProblem::None)
        return;
    open_ = openFolders();
    fill(std::nullopt, book_.folders().size() - 1);
}

void AddressBookDialog::renameFolder() {
    const auto node = selected();
    if (!node || node->entry)
        return;
    const auto name =
        FolderNameDialog::ask(text(Cp1252Text(book_.folders()[node->folder].name)), strings_, this);
    if (!name || book_.renameFolder(node->folder, utf8ToCp1252(name->toStdString()).bytes()) !=
                     FolderNameProblem::None)
        return;
    tree_->currentItem()->setText(0, *name);
}

void AddressBookDialog::treeMenu(const QPoint& at) {
    QTreeWidgetItem* item = tree_->itemAt(at);
    if (!item)
        return;
    tree_->setCurrentItem(item);
    QMenu menu(this);
    if (item->data(0, kEntryRole).toInt() == kNoEntry) {
        menu.setObjectName(QStringLiteral("menu219"));
        QAction* add = menuItem(menu, QStringLiteral("&New Folder\tInsert"), 32828);
        QAction* remove = menuItem(menu, QStringLiteral("&Delete Folder\tDel"), 32829);
        QAction* rename = menuItem(menu, QStringLiteral("&Rename Folder"), 32830);
        QAction* entry = menuItem(menu, QStringLiteral("&Add new entry"), 32836);
        QAction* chosen = menu.exec(tree_->viewport()->mapToGlobal(at));
        if (chosen == add)
            newFolder();
        else if (chosen == remove)
            removeSelected();
        else if (chosen == rename)
            renameFolder();
        else if (chosen == entry)
            addEntry();
        return;
    }
    menu.setObjectName(QStringLiteral("menu220"));
    QAction* edit = menuItem(menu, QStringLiteral("&Edit"), 32835);
    QAction* remove = menuItem(menu, QStringLiteral("&Remove\tDel"), 32831);
    QAction* chosen = menu.exec(tree_->viewport()->mapToGlobal(at));
    if (chosen == edit)
        editEntry();
    else if (chosen == remove)
        removeSelected();
}

bool AddressBookDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool keypad = key->modifiers() & Qt::KeypadModifier;
        const auto node = selected();
        if (key->key() == Qt::Key_Delete || (keypad && key->key() == Qt::Key_Period)) {
            removeSelected();
            return true;
        }
        if (key->key() == Qt::Key_Insert || (keypad && key->key() == Qt::Key_0)) {
            if (node && node->entry)
                addEntry();
            else
                newFolder();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AddressBookDialog::accept() {
    // The tree as it is now is what the next opening shows.
    const std::vector<bool> open = openFolders();
    const auto node = selected();
    const auto& folders = book_.folders();
    for (std::size_t f = 0; f < folders.size(); ++f) {
        for (std::size_t e = 0; e < folders[f].entries.size(); ++e) {
            const bool isSelected = node && node->folder == f && node->entry == e;
            book_.setViewState({f, e}, isSelected                   ? CardViewState::Selected
                                       : f < open.size() && open[f] ? CardViewState::FolderOpen
                                                                    : CardViewState::FolderClosed);
        }
    }
    QDialog::accept();
}

}  // namespace krl
