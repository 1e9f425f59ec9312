#include "connection/ui/QtDialingWindow.h"

#include <QTimer>

namespace krl {

QtDialingWindow::QtDialingWindow(const StringTable& strings, QString animationFile, int timeSliceMs,
                                 Hooks hooks)
    : strings_(strings),
      animationFile_(std::move(animationFile)),
      timeSliceMs_(timeSliceMs),
      hooks_(std::move(hooks)) {}

QtDialingWindow::~QtDialingWindow() {
    delete dialog_.data();
}

void QtDialingWindow::open(std::string_view name, std::string_view number) {
    close();
    QWidget* parent = hooks_.parent ? hooks_.parent() : nullptr;
    auto* dialog =
        new DialingDialog(strings_, QString::fromUtf8(name.data(), static_cast<int>(name.size())),
                          QString::fromUtf8(number.data(), static_cast<int>(number.size())),
                          animationFile_, timeSliceMs_, hooks_.pumpTick, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    auto hangUp = hooks_.hangUp;
    QPointer<QWidget> owner = parent;
    // The hang-up runs after the window's own handler has returned: it closes this window.
    QObject::connect(dialog, &DialingDialog::hangupRequested, dialog, [hangUp, owner] {
        if (hangUp && owner)
            QTimer::singleShot(0, owner.data(), [hangUp] { hangUp(); });
    });
    dialog_ = dialog;
    dialog->show();
}

void QtDialingWindow::connectCommandSent() {
    if (dialog_)
        dialog_->playConnectAnimation();
}

void QtDialingWindow::close() {
    if (dialog_) {
        DialingDialog* d = dialog_.data();
        dialog_.clear();
        d->finish();
    }
}

}  // namespace krl
