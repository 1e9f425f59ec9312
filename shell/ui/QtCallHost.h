#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "platform/qt/PumpDriver.h"
#include "shell/CallHost.h"

class QWidget;

namespace krl {

class CallController;
class Settings;
class StringTable;

// The call controller's event loop: posted work runs from Qt's event loop, the pump driver
// runs the controller's idle step from a timer and the port's readable notice, and the Modem
// dialog is the one of settings/ui over the settings model.
class QtCallHost : public QObject, public CallHost {
    Q_OBJECT

public:
    QtCallHost(Settings& settings, const StringTable& strings, QObject* parent = nullptr);
    ~QtCallHost() override;

    // The controller whose steps the driver runs; the host starts pumping with start().
    void attach(CallController& controller);
    void start();
    void stop();
    // The window dialogs are centred on (the main frame).
    void setWindow(QWidget* window) { window_ = window; }
    void setCloseProgram(std::function<void()> close) { closeProgram_ = std::move(close); }
    PumpDriver& driver() { return driver_; }

    void post(std::function<void()> work, std::uint32_t delayMs = 0) override;
    bool modalOpen() const override;
    void portChanged() override;
    bool editModemSettings() override;
    void closeProgram() override;

private:
    Settings& settings_;
    const StringTable& strings_;
    CallController* controller_ = nullptr;
    PumpDriver driver_;
    QPointer<QWidget> window_;
    std::function<void()> closeProgram_;
    bool modemDialogOpen_ = false;
};

}  // namespace krl
