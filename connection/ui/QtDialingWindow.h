#pragma once

#include <QPointer>
#include <QString>
#include <functional>

#include "connection/DialingWindow.h"
#include "connection/ui/DialingDialog.h"

class QWidget;

namespace krl {

class StringTable;

// The connection's dialing window on the screen: opens the dialog modally without blocking the
// caller (the event loop and the pump run on underneath), plays the clip for each connect
// command and ends the dialog when the connection says so.
class QtDialingWindow : public DialingWindow {
public:
    struct Hooks {
        std::function<QWidget*()> parent;
        std::function<void()> pumpTick;  // the frame's pump handler
        std::function<void()> hangUp;    // the frame's forced hang-up
    };
    QtDialingWindow(const StringTable& strings, QString animationFile, int timeSliceMs,
                    Hooks hooks);
    ~QtDialingWindow() override;

    void open(std::string_view name, std::string_view number) override;
    void connectCommandSent() override;
    void close() override;

    void setTimeSlice(int ms) { timeSliceMs_ = ms; }
    DialingDialog* dialog() const { return dialog_.data(); }

private:
    const StringTable& strings_;
    QString animationFile_;
    int timeSliceMs_;
    Hooks hooks_;
    QPointer<DialingDialog> dialog_;
};

}  // namespace krl
