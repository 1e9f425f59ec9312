#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/TickSource.h"
#include "platform/qt/QtSoundPlayer.h"
#include "resources/CommandId.h"
#include "shell/HelpPages.h"
#include "video/CaptureSource.h"
#include "video/PictureSize.h"
#include "video/RemoteVideoStep.h"
#include "video/StatisticsFigures.h"
#include "video/VideoSettings.h"
#include "video/VideoWindowPair.h"
#include "video/ui/CLocalVideoWnd.h"
#include "video/ui/CRemoteVideoWnd.h"

class QWidget;

namespace krl {

class CLocalVideoWnd;
class CRemoteVideoWnd;
class DialogMessagePresenter;
class StringTable;
class LinkVideoPort;
class VideoCall;
class VideoManager;
class VideoOfferPrompt;

// The video window pair of the program: the local and remote windows over one video manager
// and the call's video messages.
class VideoWindows : public QObject, public VideoWindowPair {
public:
    // What the windows' buttons and menus ask of the rest of the program.
    struct Requests {
        std::function<void()> hold;              // the call's Hold
        std::function<void(CommandId)> command;  // a main frame command (the settings pages)
        std::function<void(HelpWindow)> help;    // the user guide at a window's page
    };
    // ticks, strings and sources are the program's (main() makes them) and outlive the pair.
    VideoWindows(QWidget* owner, const TickSource& ticks, const StringTable& strings,
                 CaptureSourceFactory& sources, Requests requests);
    ~VideoWindows() override;

    void idle() override;
    void setup(Connection& connection, const VideoSettings& video,
               const std::string& homeDir) override;
    void start() override;
    void closeVideo() override;
    void setHoldMark(HoldSide side, bool on) override;
    void closeWindows() override;
    void keepWindowState(VideoSettings& video) const override;
    std::vector<CommandId> commands() const override;
    void videoCommand(CommandId command) override;
    std::vector<std::string> cameraNames() override { return sources_.driverNames(); }
    bool capturing() const override;
    std::string takeCardPicture(bool remote, const std::string& path) override;

    // The Connection Statistics dialog's figures (name, phone and line speed come from the
    // main frame) and the dialog itself.
    StatisticsInput statistics(std::uint64_t lineBitsPerSecond, const std::string& name,
                               const std::string& phone) const;
    void showStatistics(std::uint32_t lineBitsPerSecond, const std::string& name,
                        const std::string& phone) override;

    CLocalVideoWnd* localWindow() const { return local_; }
    CRemoteVideoWnd* remoteWindow() const { return remote_; }
    VideoCall* call() const { return call_.get(); }
    VideoManager* manager() const { return manager_.get(); }
    // The link's video state numbers (for tests and read-outs).
    int outgoingState() const;
    int incomingState() const;
    // A snapshot of the local or remote picture through the Snapshot dialog; the final path.
    QString takeSnapshot(bool remote);

private:
    void startCapture();
    void toggleRecording();
    void applyOptions();
    void showError(int id);
    // The local or remote picture written to path, the shutter, then the Snapshot dialog over
    // parent; the kept file or empty.
    QString snapshotTo(bool remote, const std::string& path, QWidget* parent);
    bool connected() const;

    QWidget* owner_;
    const TickSource& ticks_;
    Requests requests_;
    Connection* connection_ = nullptr;
    VideoSettings video_;
    std::string homeDir_;
    QtSoundPlayer shutter_{QString()};
    CaptureSourceFactory& sources_;
    std::unique_ptr<DialogMessagePresenter> messages_;
    std::unique_ptr<VideoOfferPrompt> offerPrompt_;
    std::unique_ptr<VideoManager> manager_;
    std::unique_ptr<LinkVideoPort> port_;
    std::unique_ptr<VideoCall> call_;
    QPointer<CLocalVideoWnd> local_;
    QPointer<CRemoteVideoWnd> remote_;
    // What the Video Source and Video Format dialogs chose, kept over the settings the frame
    // hands in again for as long as those stay what they were when the choice was made (a
    // changed stored driver or record wins).
    struct Choice {
        std::string driver;
        PictureSize size;
        std::string storedDriver;
        VideoSettingsRecord storedRecord;
    };
    std::optional<Choice> choice_;
    bool localPictureDirty_ = false;
    bool remotePictureDirty_ = false;
};

}  // namespace krl
