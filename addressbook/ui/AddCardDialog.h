#pragma once

#include <QDialog>

#include "addressbook/AddressBook.h"

class QComboBox;

namespace krl {

// The "Add Business Card to Address Book" dialog (template 237): the card's name and phone, and
// the folder to add it to, picked from the book's folders or typed.
class AddCardDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kFolder = 1233;

    AddCardDialog(const AddressBook& book, const CardRecord& card, QWidget* parent);
    // The folder text (UTF-8) as chosen or typed.
    QString folderText() const;

private:
    QComboBox* folder_ = nullptr;
};

}  // namespace krl
