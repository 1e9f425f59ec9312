#include "shell/ui/QtCallHost.h"

#include <QApplication>
#include <QTimer>

#include "platform/posix/SysfsSerialPortLister.h"
#include "settings/Settings.h"
#include "settings/ui/ModemDialog.h"
#include "shell/CallController.h"

namespace krl {

QtCallHost::QtCallHost(Settings& settings, const StringTable& strings, QObject* parent)
    : QObject(parent),
      settings_(settings),
      strings_(strings),
      driver_(PumpDriver::Hooks{
          [this] {
              if (controller_)
                  controller_->idleStep();
          },
          [this] { return controller_ ? controller_->connection().readNotifyHandle() : -1; },
          [this] {
              return controller_ &&
                     controller_->connection().displayState() == DisplayState::Connected;
          }}) {}

QtCallHost::~QtCallHost() {
    driver_.stop();
}

void QtCallHost::attach(CallController& controller) {
    controller_ = &controller;
}

void QtCallHost::start() {
    driver_.start();
}

void QtCallHost::stop() {
    driver_.stop();
}

void QtCallHost::post(std::function<void()> work, std::uint32_t delayMs) {
    QTimer::singleShot(static_cast<int>(delayMs), this, std::move(work));
}

bool QtCallHost::modalOpen() const {
    return QApplication::activeModalWidget() != nullptr ||
           QApplication::activePopupWidget() != nullptr;
}

void QtCallHost::portChanged() {
    driver_.refresh();
}

bool QtCallHost::editModemSettings() {
    if (modemDialogOpen_)
        return false;
    modemDialogOpen_ = true;
    ModemDialog dialog(settings_.get<CommsSettings>(), portChoices(SysfsSerialPortLister()),
                       strings_, window_);
    const bool ok = dialog.exec() == QDialog::Accepted;
    modemDialogOpen_ = false;
    if (!ok)
        return false;
    // Only the dialog's own fields change; the rest of the block is what it is now, not what
    // it was when the dialog opened (the pump ran underneath).
    CommsSettings comms = settings_.get<CommsSettings>();
    const CommsSettings& edited = dialog.settings();
    comms.outsideLinePrefix = edited.outsideLinePrefix;
    comms.fileInActive = edited.fileInActive;
    comms.speakerOff = edited.speakerOff;
    comms.ringsCount = edited.ringsCount;
    comms.modemName = edited.modemName;
    comms.modemFile = edited.modemFile;
    comms.portName = edited.portName;
    comms.baudRate = edited.baudRate;
    settings_.setAndStore(comms);
    return true;
}

void QtCallHost::closeProgram() {
    if (closeProgram_)
        closeProgram_();
}

}  // namespace krl
