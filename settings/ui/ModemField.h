#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "connection/ModemList.h"

class QComboBox;

namespace krl {

// The modem list of the Modem dialog and the wizard: the Name of every usable "*.mdm" file in
// the home folder; the file behind each name is kept beside it (control 1078 of the design,
// hidden).
class ModemField : public QWidget {
    Q_OBJECT

public:
    // usable: whether a modem file may be offered (a file lacking what its type needs is not).
    ModemField(const std::string& homeDir, int controlId,
               const std::function<bool(const std::string& path)>& usable = {},
               QWidget* parent = nullptr);

    // Selects by the stored name: the exact name, else the first that begins with it, else the
    // first entry.
    void select(const std::string& storedName);
    // The chosen modem; false when the list is empty.
    bool chosen(std::string* name, std::string* file) const;
    QComboBox* combo() const { return combo_; }

private:
    std::vector<ModemEntry> modems_;
    QComboBox* combo_ = nullptr;
};

}  // namespace krl
