#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "shell/ui/LaunchOptions.h"

namespace krl {

class CMainFrame;
class Settings;
class SingleInstance;
class StartupPicture;

// The application object: shows the start-up picture, creates the main frame and finishes its
// start-up when the picture goes, hands files from the command line and from later copies of
// the program to the frame, and applies the command line's presets.
class CVideoPhoneApp : public QObject {
    Q_OBJECT

public:
    // frame and instance are kept alive by the caller for the whole run.
    CVideoPhoneApp(CMainFrame& frame, Settings& settings, SingleInstance& instance,
                   LaunchOptions options, QObject* parent = nullptr);
    ~CVideoPhoneApp() override;

    // Start-up after the single-instance check: the picture, the presets, the timer.
    void initInstance();
    bool startupPending() const { return startupPending_; }
    // Who dials a number from the command line or a tel: link (at start, or handed over by a
    // later copy).
    void setCallNumber(std::function<void(const QString&)> call) { callNumber_ = std::move(call); }
    void callNumber(const QString& number);

private:
    void applyPresets();
    void finishStartup();

    CMainFrame& frame_;
    Settings& settings_;
    SingleInstance& instance_;
    LaunchOptions options_;
    std::unique_ptr<StartupPicture> picture_;
    QTimer startupTimer_;
    bool startupPending_ = false;
    std::function<void(const QString&)> callNumber_;
};

}  // namespace krl
