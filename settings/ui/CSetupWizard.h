#pragma once

#include <QWizard>
#include <functional>
#include <string>
#include <vector>

#include "settings/PortChoices.h"
#include "settings/SetupWizardLogic.h"

namespace krl {

// "Kestrelcall Setup": the first-run wizard that collects the modem and port, dialling and
// answering, the camera and the own business card. It edits the copies its logic holds; the
// caller takes them back (logic()) only when exec() ends with Finish (Accepted).
class CSetupWizard : public QWizard {
    Q_OBJECT

public:
    struct Choices {
        std::vector<PortChoice> ports;
        // Capture driver descriptions; "None" is added after them.
        std::vector<std::string> cameras;
        // Whether a modem file may be offered; all are when empty.
        std::function<bool(const std::string& path)> usableModem;
    };

    CSetupWizard(SetupWizardLogic logic, Choices choices, QWidget* parent = nullptr);

    const SetupWizardLogic& logic() const { return logic_; }
    SetupWizardLogic& logic() { return logic_; }
    const Choices& choices() const { return choices_; }

    // The Help button; asked with the page shown.
    void setHelp(std::function<void(WizardPage)> help) { help_ = std::move(help); }

private:
    SetupWizardLogic logic_;
    Choices choices_;
    std::function<void(WizardPage)> help_;
};

}  // namespace krl
