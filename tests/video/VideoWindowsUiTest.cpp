// The video windows as a user meets them: the local window's menu and Hold button by state,
// the Video Format and Video Source dialogs taking the camera again, the remote window asking
// before it takes the peer's video, pausing from its menu and playing the hold clip.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <functional>
#include <sstream>

#include "FakeVideoPort.h"
#include "connection/Connection.h"
#include "controls/ConsoleMessagePresenter.h"
#include "controls/MessageButton.h"
#include "controls/ui/DialogMessagePresenter.h"
#include "controls/ui/MessageDialog.h"
#include "fakes/FakeSerialDevice.h"
#include "fakes/ManualClock.h"
#include "platform/ffmpeg/FfmpegCaptureFactory.h"
#include "platform/ffmpeg/VideoFileReader.h"
#include "resources/StringTable.h"
#include "video/LocalVideoStep.h"
#include "video/VideoCall.h"
#include "video/VideoManager.h"
#include "video/VideoSettings.h"
#include "video/ui/CLocalVideoWnd.h"
#include "video/ui/CRemoteVideoWnd.h"
#include "video/ui/HoldAnimation.h"
#include "video/ui/SnapshotDialog.h"
#include "video/ui/VideoButtonRow.h"
#include "video/ui/VideoFormatDialog.h"
#include "video/ui/VideoOfferPrompt.h"
#include "video/ui/VideoPictureWidget.h"
#include "video/ui/VideoSourceDialog.h"
#include "video/ui/VideoWindows.h"

namespace {

using namespace videotest;

constexpr int kWaitMs = 10000;

// Acts on the first visible top-level widget of type T once it is up (a modal dialog or a
// menu runs its own loop, so the test answers it from a timer).
template <typename T>
void whenShown(std::function<void(T&)> act, int waitedMs = 0) {
    QTimer::singleShot(20, [act, waitedMs] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* t = dynamic_cast<T*>(w); t != nullptr && t->isVisible()) {
                act(*t);
                return;
            }
        }
        if (waitedMs < kWaitMs) {
            whenShown<T>(act, waitedMs + 20);
        } else {
            ADD_FAILURE() << "the window to answer never opened";
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        }
    });
}

void chooseInMenu(const QString& text) {
    whenShown<QMenu>([text](QMenu& menu) {
        for (QAction* a : menu.actions()) {
            if (a->text() == text) {
                menu.setActiveAction(a);
                QTest::keyClick(&menu, Qt::Key_Return);
                return;
            }
        }
        ADD_FAILURE() << "no menu entry " << text.toStdString();
        menu.close();
    });
}

QAction* entry(QMenu& menu, int id) {
    for (QAction* a : menu.actions()) {
        if (a->data().toInt() == id)
            return a;
    }
    return nullptr;
}

class LocalWindow : public ::testing::Test {
protected:
    krl::test::ManualClock clock;
    FfmpegCaptureFactory sources;
    VideoManager manager{sources, clock};
    FakeVideoPort port;
    LocalVideoStep step{port, manager};
    std::vector<std::string> chosenDrivers;
    int failures = 0;
    std::unique_ptr<CLocalVideoWnd> window;

    void SetUp() override {
        manager.setDriver(CaptureSourceFactory::kTestPattern);
        step.setOptions({CaptureSourceFactory::kTestPattern, false, "", true});
        VideoSettingsRecord r;
        r.values = {2, 40, 40, 160, 120, 1, 1, 1, 0, 0, 0, 150};
        step.setRecord(r);
        CLocalVideoWnd::Actions actions;
        actions.connected = [this] { return port.isConnected; };
        actions.captureFailed = [this] { ++failures; };
        actions.sourceChanged = [this](const std::string& driver, const VideoSettingsRecord&) {
            chosenDrivers.push_back(driver);
            manager.setDriver(driver);
        };
        window = std::make_unique<CLocalVideoWnd>(step, manager, clock, std::move(actions));
        window->show();
    }
    // Capturing, offered and accepted: frames go out.
    void startSending() {
        ASSERT_TRUE(step.open());
        ASSERT_TRUE(step.startCapture(clock.nowMs()));
        step.step(clock.nowMs());
        ASSERT_EQ(port.out, OutgoingVideoState::Offered);
        port.out = OutgoingVideoState::Sending;
        step.step(clock.nowMs());
        ASSERT_EQ(port.frames.size(), 1u);
        window->refresh();
    }
};

// Which entry shows in which state is LocalMenu's; here: the window applies it, and the Hold
// button comes with a call.
TEST_F(LocalWindow, MenuAndHoldButtonFollowCaptureAndCall) {
    port.isConnected = false;
    ASSERT_TRUE(step.open());
    window->refresh();
    EXPECT_TRUE(window->buttons()->holdButton()->isHidden());
    {
        QMenu menu;
        window->fillMenu(menu);
        EXPECT_TRUE(entry(menu, 32841)->isVisible() && entry(menu, 32841)->isEnabled());
        EXPECT_FALSE(entry(menu, 32813)->isVisible());  // Stop Sending
        EXPECT_FALSE(entry(menu, CLocalVideoWnd::kVideoFormat)->isEnabled());
    }
    port.isConnected = true;  // a call begins
    port.out = OutgoingVideoState::IdleAfterReset;
    startSending();
    EXPECT_FALSE(window->buttons()->holdButton()->isHidden());
    EXPECT_EQ(window->buttons()->status(), "Sending");
    QMenu menu;
    window->fillMenu(menu);
    EXPECT_TRUE(entry(menu, 32813)->isVisible());
    EXPECT_FALSE(entry(menu, 32841)->isVisible());
    EXPECT_TRUE(entry(menu, CLocalVideoWnd::kVideoFormat)->isEnabled());
}

// Send from the window's menu starts the offer on the clock the steps run on: the offer is
// said once and said again only after its minute, and the figures start at nought.
TEST_F(LocalWindow, SendFromTheMenuOffersOnceOnTheStepsClock) {
    port.isConnected = true;
    ASSERT_TRUE(step.open());
    ASSERT_TRUE(step.startCapture(clock.nowMs()));
    window->refresh();
    const std::uint64_t offeredAt = clock.nowMs();
    chooseInMenu(QStringLiteral("&Send"));
    QContextMenuEvent open(QContextMenuEvent::Mouse, QPoint(5, 5),
                           window->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(window.get(), &open);
    ASSERT_EQ(port.count("<VideoOpen>"), 1);
    for (int i = 0; i < 100; ++i) {
        clock.advance(5);
        step.step(clock.nowMs());
    }
    // Unanswered, it is said again once a whole minute has passed.
    clock.set(offeredAt + 60000);
    step.step(clock.nowMs());
    EXPECT_EQ(port.count("<VideoOpen>"), 1);
    clock.advance(1);
    step.step(clock.nowMs());
    EXPECT_EQ(port.count("<VideoOpen>"), 2);
}

TEST_F(LocalWindow, VideoFormatTakesTheChosenSizeAndTellsThePeer) {
    startSending();
    EXPECT_EQ(window->picture()->size(), QSize(160, 120));

    // Cancel changes nothing.
    whenShown<VideoFormatDialog>([](VideoFormatDialog& d) { d.reject(); });
    window->videoFormat();
    EXPECT_EQ(port.count("<MyVideoSettings>"), 0);

    QStringList offered;
    whenShown<VideoFormatDialog>([&offered](VideoFormatDialog& d) {
        for (int i = 0; i < d.sizeBox()->count(); ++i)
            offered << d.sizeBox()->itemText(i);
        EXPECT_EQ(d.sizeBox()->currentText(), "160 x 120");  // the size in use
        d.sizeBox()->setCurrentIndex(d.sizeBox()->findText("128 x 96"));
        d.accept();
    });
    window->videoFormat();
    EXPECT_EQ(offered, QStringList({"176 x 144", "160 x 120", "128 x 96", "96 x 72"}));
    ASSERT_EQ(port.count("<MyVideoSettings>"), 1);
    EXPECT_EQ(sizeOf(port.settingsSent.back()), std::make_pair(128u, 96u));
    EXPECT_EQ(window->picture()->size(), QSize(128, 96));
    // The camera delivers pictures of the new size.
    clock.advance(100);
    step.step(clock.nowMs());
    EXPECT_EQ(manager.localPicture().width, 128);
    EXPECT_EQ(manager.localPicture().height, 96);
}

TEST_F(LocalWindow, VideoSourceNoneStopsTheCameraAndGreysCapture) {
    startSending();
    whenShown<VideoSourceDialog>([](VideoSourceDialog& d) {
        EXPECT_EQ(d.sourceBox()->currentText(), "Test Pattern");
        d.sourceBox()->setCurrentIndex(d.sourceBox()->findText("None"));
        d.accept();
    });
    window->videoSource();
    EXPECT_EQ(chosenDrivers, std::vector<std::string>{"None"});
    EXPECT_EQ(step.state(), CaptureState::Open);
    EXPECT_EQ(port.count("<CloseMyVideo>"), 1);
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(window->picture()->image().isNull());
    QMenu menu;
    window->fillMenu(menu);
    EXPECT_FALSE(entry(menu, 32841)->isEnabled());
}

class RemoteWindow : public ::testing::Test {
protected:
    krl::test::ManualClock clock;
    FfmpegCaptureFactory sources;
    VideoManager manager{sources, clock};
    FakeVideoPort port;
    DialogMessagePresenter messages{nullptr, StringTable::builtIn()};
    VideoOfferPrompt prompt{messages};
    RemoteVideoStep step{port, manager, prompt};
    std::unique_ptr<CRemoteVideoWnd> window;

    void SetUp() override {
        VideoSettingsRecord r;
        r.values = {2, 40, 40, 160, 120, 1, 1, 0, 0, 1, 0, 0};
        step.setRecord(r);
        CRemoteVideoWnd::Actions actions;
        actions.connected = [this] { return port.isConnected; };
        window = std::make_unique<CRemoteVideoWnd>(step, manager, std::move(actions));
        window->setHoldClip(QStringLiteral(KRL_HOLD_CLIP));
        step.open();
        window->show();
    }
    void offer() {
        port.in = IncomingVideoState::Offered;
        step.step(clock.nowMs());
        window->refresh();
    }
    void receive() {
        offer();
        ASSERT_EQ(port.in, IncomingVideoState::Receiving);
    }
    QString status() const { return window->buttons()->status(); }
};

TEST_F(RemoteWindow, AsksBeforeTakingTheVideoAndDecliningTellsThePeer) {
    step.setPromptWhenReceive(true);
    auto answer = [this](MessageButton button) {
        QList<MessageDialog*> open = messages.openDialogs();
        ASSERT_EQ(open.size(), 1);
        EXPECT_EQ(open.front()->definition().id, 5120);
        open.front()->button(button)->click();
    };
    offer();
    EXPECT_EQ(port.in, IncomingVideoState::Asking);
    answer(MessageButton::No);
    QTRY_COMPARE_WITH_TIMEOUT(port.count("<NoVideoOpen>"), 1, kWaitMs);
    EXPECT_EQ(port.in, IncomingVideoState::Idle);
    EXPECT_FALSE(manager.remoteOpen());
    window->refresh();
    EXPECT_EQ(status(), " ");

    offer();
    answer(MessageButton::Yes);
    QTRY_COMPARE_WITH_TIMEOUT(port.count("<OkVideoOpen>"), 1, kWaitMs);
    EXPECT_EQ(port.in, IncomingVideoState::Receiving);
    EXPECT_TRUE(manager.remoteOpen());
    EXPECT_EQ(port.count("<YourVideoSettings>"), 1);
    window->refresh();
    EXPECT_EQ(status(), "Receiving");
}

TEST_F(RemoteWindow, PauseFromTheMenuStopsThePeerAndResumesIt) {
    receive();
    chooseInMenu(QStringLiteral("&Pause"));
    window->buttons()->menuButton()->click();
    EXPECT_EQ(port.count("<VIDEORPAUSE>"), 1);
    EXPECT_EQ(status(), "Pausing");
    chooseInMenu(QStringLiteral("&Pause"));
    window->buttons()->menuButton()->click();
    EXPECT_EQ(port.count("<VIDEORRESUME>"), 1);
    EXPECT_EQ(status(), "Receiving");
}

TEST_F(RemoteWindow, HoldPlaysTheClipInPlaceOfThePictureUntilTheLastMarkIsCleared) {
    HoldAnimation* animation = window->holdAnimation();
    ASSERT_TRUE(animation->hasClip());
    // Not receiving: a hold shows nothing new.
    step.setHoldMark(0, true);
    window->refresh();
    EXPECT_FALSE(animation->isVisible());
    step.setHoldMark(0, false);

    receive();
    step.setHoldMark(0, true);
    step.setHoldMark(1, true);
    window->refresh();
    EXPECT_EQ(status(), "Hold Call");
    EXPECT_TRUE(animation->isVisible());
    EXPECT_FALSE(window->picture()->isVisible());
    EXPECT_TRUE(animation->playing());
    QTRY_VERIFY_WITH_TIMEOUT(animation->frameNumber() > 1, kWaitMs);
    // The windows set up again while held (the Video command): the clip goes on.
    window->setHoldClip(QStringLiteral(KRL_HOLD_CLIP));
    EXPECT_TRUE(animation->playing());

    step.setHoldMark(0, false);
    window->refresh();
    EXPECT_EQ(status(), "Put on Hold");
    EXPECT_TRUE(animation->playing());
    step.setHoldMark(1, false);
    window->refresh();
    EXPECT_FALSE(animation->playing());
    EXPECT_FALSE(animation->isVisible());
    EXPECT_TRUE(window->picture()->isVisible());
    EXPECT_EQ(status(), "Receiving");
}

// The pair the main frame drives, over a connection that is not connected.
class WindowPair : public ::testing::Test {
protected:
    krl::test::ManualClock clock;
    krl::test::FakeSerialDeviceFactory devices{std::make_shared<krl::test::FakeLine>()};
    std::ostringstream shown;
    ConsoleMessagePresenter presenter{StringTable::builtIn(), shown};
    Connection connection{devices, clock, StringTable::builtIn(), presenter};
    QTemporaryDir home;
    FfmpegCaptureFactory sources;
    std::vector<CommandId> frameCommands;
    std::vector<std::string_view> helpPages;
    VideoWindows windows{
        nullptr, clock, StringTable::builtIn(), sources,
        VideoWindows::Requests{{},
                               [this](CommandId id) { frameCommands.push_back(id); },
                               [this](HelpWindow w) { helpPages.push_back(helpPage(w)); }}};
    VideoSettings video;

    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        video.driver = CaptureSourceFactory::kTestPattern;
    }
    // The frame's Video command: the stored block handed in, the windows started.
    void videoCommand() {
        windows.closeWindows();
        windows.setup(connection, video, home.path().toStdString());
        windows.start();
        ASSERT_EQ(windows.call()->local().state(), CaptureState::Camera);
    }
    std::pair<std::uint32_t, std::uint32_t> localSize() const {
        return sizeOf(windows.call()->local().record());
    }
};

// The windows open where the Video block says and hand back where the user left them, with the
// remote window's always-on-top choice.
TEST_F(WindowPair, WindowsComeBackWhereTheyWereLeft) {
    video.localWindow = {40, 50, 240, 250};
    video.remoteWindow = {300, 60, 500, 260};
    videoCommand();
    EXPECT_EQ(windows.localWindow()->frameGeometry().topLeft(), QPoint(40, 50));
    EXPECT_EQ(windows.remoteWindow()->frameGeometry().topLeft(), QPoint(300, 60));
    windows.localWindow()->move(70, 80);
    VideoSettings kept = video;
    windows.keepWindowState(kept);
    EXPECT_EQ(kept.localWindow.left, 70);
    EXPECT_EQ(kept.localWindow.top, 80);
    EXPECT_EQ(kept.remoteWindow.left, 300);
    EXPECT_EQ(kept.localWindow.right - kept.localWindow.left,
              windows.localWindow()->frameGeometry().width());
}

TEST_F(WindowPair, TheSheetsFormatButtonReachesTheLocalWindowAndTheChoiceLastsTheRun) {
    videoCommand();
    whenShown<VideoFormatDialog>([](VideoFormatDialog& d) {
        d.sizeBox()->setCurrentIndex(d.sizeBox()->findText("96 x 72"));
        d.accept();
    });
    windows.videoCommand(CommandId::CameraFormat);
    EXPECT_EQ(localSize(), std::make_pair(96u, 72u));
    // Opened again with the same stored settings: the choice stays.
    videoCommand();
    EXPECT_EQ(localSize(), std::make_pair(96u, 72u));
    windows.idle();
    EXPECT_EQ(windows.manager()->localPicture().width, 96);
    // The stored settings changed meanwhile (the settings sheet): they win.
    video.localVideo.set(VideoSetting::Width, 128);
    video.localVideo.set(VideoSetting::Height, 96);
    videoCommand();
    EXPECT_EQ(localSize(), std::make_pair(128u, 96u));
}

// Each window's Options opens the settings sheet at its own page; Help opens the video page.
TEST_F(WindowPair, OptionsAndHelpOfEachWindowReachTheFrame) {
    videoCommand();
    for (const QString& text : {QStringLiteral("&Options"), QStringLiteral("&Help")}) {
        for (VideoButtonRow* row :
             {windows.localWindow()->buttons(), windows.remoteWindow()->buttons()}) {
            chooseInMenu(text);
            row->menuButton()->click();
        }
    }
    EXPECT_EQ(frameCommands, (std::vector{CommandId::OptionsCamera, CommandId::OptionsRemote}));
    EXPECT_EQ(helpPages, (std::vector<std::string_view>{"video.html", "video.html"}));
}

// Ctrl+T takes the snapshot of the video window that has the focus.
TEST_F(WindowPair, CtrlTTakesTheSnapshotOfTheFocusedVideoWindow) {
    video.snapshotDir = (home.path() + QStringLiteral("/shots")).toStdString();
    videoCommand();
    windows.idle();
    auto pictures = [this] {
        std::error_code ec;
        auto files = std::filesystem::directory_iterator(video.snapshotDir, ec);
        return ec ? 0 : std::distance(begin(files), end(files));
    };
    auto press = [](QWidget* window) {
        QApplication::setActiveWindow(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->isActiveWindow(), kWaitMs);
        QTest::keyClick(window, Qt::Key_T, Qt::ControlModifier);
    };
    // The remote window receives nothing: it says so and writes no file.
    QWidget* remote = windows.remoteWindow();
    remote->show();
    int told = 0;
    whenShown<MessageDialog>([&told](MessageDialog& d) {
        told = d.definition().id;
        d.close();
    });
    press(remote);
    QTRY_COMPARE_WITH_TIMEOUT(told, 4230, kWaitMs);
    EXPECT_EQ(pictures(), 0);
    // The local window: its picture, through the Snapshot dialog over that window.
    QWidget* shownOver = nullptr;
    whenShown<SnapshotDialog>([&shownOver](SnapshotDialog& d) {
        shownOver = d.parentWidget();
        static_cast<QDialog&>(d).accept();  // keeps the picture under its name
    });
    press(windows.localWindow());
    EXPECT_EQ(shownOver, windows.localWindow());
    EXPECT_EQ(pictures(), 1);
}

// A card picture from the card editor goes through the Snapshot dialog too: kept under the
// name the card gave it, or thrown away with nothing left behind.
TEST_F(WindowPair, ACardPictureIsKeptOrThrownAwayInTheSnapshotDialog) {
    const std::string cards = (home.path() + QStringLiteral("/cards")).toStdString();
    std::filesystem::create_directories(cards);
    videoCommand();
    windows.idle();
    // No picture received: the reason is shown and nothing is written.
    int told = 0;
    whenShown<MessageDialog>([&told](MessageDialog& d) {
        told = d.definition().id;
        d.close();
    });
    EXPECT_EQ(windows.takeCardPicture(true, cards + "/Ann.bmp"), "");
    QTRY_COMPARE_WITH_TIMEOUT(told, 4230, kWaitMs);

    whenShown<SnapshotDialog>([](SnapshotDialog& d) { static_cast<QDialog&>(d).reject(); });
    EXPECT_EQ(windows.takeCardPicture(false, cards + "/Bob.bmp"), "");
    EXPECT_TRUE(std::filesystem::is_empty(cards));

    whenShown<SnapshotDialog>([](SnapshotDialog& d) { static_cast<QDialog&>(d).accept(); });
    EXPECT_EQ(windows.takeCardPicture(false, cards + "/Bob.bmp"), cards + "/Bob.bmp");
    EXPECT_EQ(
        QImage(QString::fromStdString(cards + "/Bob.bmp")).size(),
        QSize(windows.manager()->localPicture().width, windows.manager()->localPicture().height));
}

TEST(HoldAnimationClip, KeepsWhatFitsTheMemoryBudgetAndShowsTextWithoutAClip) {
    VideoFileReader whole;
    ASSERT_TRUE(whole.open(QStringLiteral(KRL_HOLD_CLIP)));
    EXPECT_EQ(whole.frameCount(), 16);
    EXPECT_EQ(whole.frameSize(), QSize(176, 144));
    // Room for two and a half pictures: two are kept, and the first always is.
    VideoFileReader budget(176 * 144 * 3 * 5 / 2);
    ASSERT_TRUE(budget.open(QStringLiteral(KRL_HOLD_CLIP)));
    EXPECT_EQ(budget.frameCount(), 2);
    VideoFileReader tiny(1);
    ASSERT_TRUE(tiny.open(QStringLiteral(KRL_HOLD_CLIP)));
    EXPECT_EQ(tiny.frameCount(), 1);

    // A missing clip says so in words.
    HoldAnimation animation;
    EXPECT_FALSE(animation.open(QStringLiteral("/nonexistent/vi_hold.avi")));
    animation.play();
    EXPECT_FALSE(animation.playing());
    EXPECT_EQ(animation.text(), "Call on hold");
}

}  // namespace
