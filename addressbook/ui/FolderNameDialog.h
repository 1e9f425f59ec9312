#pragma once

#include <QDialog>
#include <optional>

class QLineEdit;
class QPushButton;

namespace krl {

class StringTable;

// The Folder Name dialog (template 221): one name of at most 32 characters. OK stays greyed
// while the name is empty (a folder without a name would vanish from the file) or has
// characters the address book cannot hold.
class FolderNameDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kName = 1034;

    FolderNameDialog(const QString& initial, const StringTable& strings, QWidget* parent);

    QString name() const;
    bool acceptable() const;

    // The name on OK; nothing on Cancel.
    static std::optional<QString> ask(const QString& initial, const StringTable& strings,
                                      QWidget* parent);

private:
    QLineEdit* edit_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace krl
