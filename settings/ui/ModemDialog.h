#pragma once

#include <QDialog>
#include <vector>

#include "connection/CommsSettings.h"
#include "settings/PortChoices.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace krl {
class ModemField;
class PortField;
}  // namespace krl

namespace krl {

class StringTable;

// The "Modem" dialog (template 348): the modem part of the Comms block. It edits a copy; the
// caller takes settings() back only when the dialog ends with OK.
class ModemDialog : public QDialog {
    Q_OBJECT

public:
    // ports: the ports offered (portChoices()); a value of the block outside its control's
    // range is brought inside before it is shown.
    ModemDialog(const CommsSettings& comms, std::vector<PortChoice> ports,
                const StringTable& strings, QWidget* parent = nullptr);

    // The block with the dialog's fields read back (valid after accept()).
    const CommsSettings& settings() const { return comms_; }

    void accept() override;

private:
    void fill();

    CommsSettings comms_;
    QLineEdit* prefix_ = nullptr;
    QSpinBox* inactive_ = nullptr;
    QCheckBox* speakerOff_ = nullptr;
    QSpinBox* rings_ = nullptr;
    ModemField* modem_ = nullptr;
    PortField* port_ = nullptr;
    QComboBox* speed_ = nullptr;
};

}  // namespace krl
