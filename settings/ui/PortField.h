#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "settings/PortChoices.h"

class QComboBox;
class QLabel;

namespace krl {

// Where a port is chosen: a list of the ports this machine has ("Com1" to "Com4" and the serial
// devices found), which also takes a typed device path or "rfc2217://host:port", and a line
// under it that says what the chosen port is.
class PortField : public QWidget {
    Q_OBJECT

public:
    PortField(std::vector<PortChoice> choices, int controlId, QWidget* parent = nullptr);

    // Selects the stored name (without regard to case), else shows it as typed; an empty name
    // selects the first port.
    void setPort(const std::string& name);
    // The name as chosen or typed, blanks at either end removed.
    std::string port() const;
    // Whether port() may be stored.
    bool acceptable() const { return isAcceptablePortName(port()); }
    QComboBox* combo() const { return combo_; }

private:
    void describe();

    std::vector<PortChoice> choices_;
    QComboBox* combo_ = nullptr;
    QLabel* description_ = nullptr;
};

}  // namespace krl
