// The shell's smaller pieces: launch options, the single-instance channel, the pump driver,
// the dialing window, the status bar, the Modem dialog and the clip reader.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

#include "connection/ui/DialingDialog.h"
#include "connection/ui/TransferStatusBar.h"
#include "platform/ffmpeg/VideoFileReader.h"
#include "platform/qt/PumpDriver.h"
#include "platform/qt/SingleInstance.h"
#include "resources/StringTable.h"
#include "settings/ui/ModemDialog.h"
#include "shell/ui/LaunchOptions.h"
#include "shell/ui/ModalDiscipline.h"

using namespace krl;

namespace {
const QString kClip = QStringLiteral(KRL_BUILD_ASSET_DIR "/vi_dial.avi");
}

TEST(LaunchOptions, PresetsAndFilesAreTold) {
    QString error;
    auto o = LaunchOptions::parse({"--port", "/dev/pts/3", "--modem", "SerialCable.mdm",
                                   "--always-listen", "--dial", "a b.txt", "--", "--odd"},
                                  &error);
    ASSERT_TRUE(o) << error.toStdString();
    EXPECT_EQ(o->port, "/dev/pts/3");
    EXPECT_EQ(o->modemFile, "SerialCable.mdm");
    EXPECT_EQ(o->alwaysListen, true);
    EXPECT_TRUE(o->dialAtStart && o->presetsComms());
    EXPECT_EQ(o->files, (QStringList{"a b.txt", "--odd"}));
    for (QStringList bad : {QStringList{"--port"},
                            {"--bogus"},
                            {"--splash-ms", "-5"},
                            {"--call"},
                            {"--call", ""},
                            {"file://host/x"}})
        EXPECT_FALSE(LaunchOptions::parse(bad, &error)) << bad.join(' ').toStdString();
    EXPECT_FALSE(LaunchOptions::parse({}, &error)->presetsComms());

    // --call and a tel: link from the desktop name the number; file: links are files. The
    // running copy is handed the number first, then the files.
    o = LaunchOptions::parse({"--call", "555 1000", "/tmp/a"}, &error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->callNumber, "555 1000");
    EXPECT_EQ(o->handOver(), (QStringList{"--call", "555 1000", "/tmp/a"}));
    o = LaunchOptions::parse({"tel://+1-555-0100;ext=12", "file:///tmp/b%20c.txt"}, &error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->callNumber, "+1-555-0100");
    EXPECT_EQ(o->files, QStringList{"/tmp/b c.txt"});
    EXPECT_EQ(LaunchOptions::telNumber("tel:%2B44%20555"), "+44 555");
}

TEST(SingleInstance, ArgumentListsSurviveWholeAndDamageIsRefused) {
    const QStringList list{"/tmp/a file with blanks.txt", "", "ünïcödé", "x\ny"};
    EXPECT_EQ(SingleInstance::decode(SingleInstance::encode(list)), list);
    QByteArray bytes = SingleInstance::encode(list);
    EXPECT_FALSE(SingleInstance::decode(bytes.left(bytes.size() - 1)));
    EXPECT_FALSE(SingleInstance::decode(bytes + "x"));
    EXPECT_FALSE(SingleInstance::decode(QByteArray("\xff\xff\xff\xff", 4)));
    EXPECT_FALSE(SingleInstance::decode({}));
}

TEST(SingleInstance, ASecondCopyHandsItsFilesToTheFirst) {
    QTemporaryDir home;
    const QString name = SingleInstance::serverName(home.path());
    EXPECT_EQ(name, SingleInstance::serverName(home.path() + "/"));
    EXPECT_NE(name, SingleInstance::serverName(home.path() + "x"));
    SingleInstance first(name);
    ASSERT_TRUE(first.listen());
    QSignalSpy spy(&first, &SingleInstance::argumentsReceived);
    // The second copy blocks while handing over, as it does in a process of its own; here it
    // runs on a thread of its own while the first copy's event loop runs.
    std::atomic<bool> handed{false};
    std::thread second([&] {
        SingleInstance copy(name);
        handed = copy.handOver({"/tmp/one two", "/tmp/three"}, 10000);
    });
    const bool arrived = QTest::qWaitFor([&] { return spy.count() == 1; }, 10000);
    second.join();
    ASSERT_TRUE(arrived);
    EXPECT_TRUE(handed);
    EXPECT_EQ(spy.at(0).at(0).toStringList(), (QStringList{"/tmp/one two", "/tmp/three"}));
    SingleInstance third(name);
    EXPECT_FALSE(third.listen());  // the name is served
}

TEST(PumpDriver, PeriodFollowsTheCallAndStepsNeverNest) {
    bool fast = false;
    int depth = 0, maxDepth = 0, steps = 0;
    PumpDriver driver(PumpDriver::Hooks{[&] {
                                            ++steps;
                                            maxDepth = std::max(maxDepth, ++depth);
                                            // A step that runs the event loop (a dialog).
                                            QTest::qWait(20);
                                            --depth;
                                        },
                                        [] { return -1; }, [&] { return fast; }});
    driver.start();
    EXPECT_EQ(driver.periodMs(), PumpDriver::kSlowPeriodMs);
    ASSERT_TRUE(QTest::qWaitFor([&] { return steps >= 2; }, 5000));
    fast = true;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return driver.periodMs() == PumpDriver::kFastPeriodMs; }, 5000));
    const int before = steps;
    QTest::qWait(200);
    EXPECT_GT(steps, before);
    EXPECT_EQ(maxDepth, 1);
    driver.stop();
}

TEST(PumpDriver, AReadablePortWakesTheStepWithoutSpinning) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    int steps = 0;
    PumpDriver driver(
        PumpDriver::Hooks{[&] { ++steps; }, [&] { return fds[0]; }, [] { return false; }});
    driver.start();
    EXPECT_EQ(driver.watchedHandle(), fds[0]);
    ASSERT_EQ(::write(fds[1], "x", 1), 1);  // never read: the step leaves it waiting
    QTest::qWait(1000);
    // About one step per 100 ms tick plus the wake-ups, not thousands.
    EXPECT_GE(steps, 2);
    EXPECT_LT(steps, 60);
    driver.stop();
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(VideoFileReader, ReadsTheDialingClip) {
    VideoFileReader reader;
    ASSERT_TRUE(reader.open(kClip)) << reader.error().toStdString();
    EXPECT_EQ(reader.frameCount(), 12);
    EXPECT_NEAR(reader.frameRate(), 8.0, 0.01);
    EXPECT_NE(reader.frame(0), reader.frame(11));
    EXPECT_TRUE(reader.frame(12).isNull() && reader.frame(-1).isNull());
    // A damaged or missing file is refused and leaves the reader closed.
    QTemporaryDir dir;
    QFile junk(dir.filePath("junk.avi"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("RIFF not really a video");
    junk.close();
    EXPECT_FALSE(reader.open(junk.fileName()));
    EXPECT_FALSE(reader.isOpen());
    EXPECT_FALSE(reader.open(dir.filePath("missing.avi")));
}

TEST(DialingDialog, NamedAndUnnamedCallsAndTheHangupButton) {
    int pumps = 0;
    DialingDialog named(StringTable::builtIn(), "Ann Lee", "9 555 0100", kClip, 20,
                        [&] { ++pumps; });
    EXPECT_EQ(named.findChild<QLineEdit*>("id353")->text(), "Ann Lee");
    named.show();
    named.playConnectAnimation();
    EXPECT_TRUE(named.animationRunning());
    QTest::qWait(300);
    QDir().mkpath(KRL_SCREENSHOT_DIR);
    named.grab().save(KRL_SCREENSHOT_DIR "/dialing-window.png");
    // Its own timer pumps the connection.
    EXPECT_TRUE(QTest::qWaitFor([&] { return pumps >= 3; }, 5000));
    // Three plays of 12 frames at 8 a second end in about 4.5 s.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !named.animationRunning(); }, 20000));
    EXPECT_EQ(named.animationFrame(), named.animationFrameCount() - 1);

    QSignalSpy hangups(&named, &DialingDialog::hangupRequested);
    named.findChild<QPushButton*>("id1")->click();
    EXPECT_EQ(hangups.count(), 1);
    static_cast<QDialog&>(named).reject();  // a second close asks nothing more
    EXPECT_EQ(hangups.count(), 1);

    DialingDialog unnamed(StringTable::builtIn(), "", "555", kClip, 20, {});
    EXPECT_EQ(unnamed.findChild<QLineEdit*>("id353")->text(), "Connecting...");
    EXPECT_EQ(unnamed.findChild<QLabel*>("id1099")->text(), "");
    QSignalSpy quiet(&unnamed, &DialingDialog::hangupRequested);
    unnamed.finish();  // the call was made: no hang-up
    EXPECT_EQ(quiet.count(), 0);
}

TEST(TransferStatusBar, PanesProgressAndOneUpdatePerText) {
    const auto e = TransferStatusBar::paneEdges(400);
    EXPECT_EQ(e, (std::array<int, 5>{60, 180, 200, 280, 400}));
    EXPECT_EQ(TransferStatusBar::paneEdges(99), (std::array<int, 5>{13, 40, 44, 62, 89}));
    TransferStatusBar bar;
    bar.resize(400, 20);
    bar.startTransfer(TransferStatusBar::Side::Sending, "report.pdf");
    EXPECT_EQ(bar.paneText(0), "Sending:");
    EXPECT_TRUE(bar.bar(TransferStatusBar::Side::Sending)->isVisibleTo(&bar));
    EXPECT_EQ(bar.bar(TransferStatusBar::Side::Sending)->toolTip(), "report.pdf");
    const int updates = bar.textUpdates();
    bar.startTransfer(TransferStatusBar::Side::Sending, "report.pdf");
    EXPECT_EQ(bar.textUpdates(), updates);
    bar.setProgress(TransferStatusBar::Side::Sending, 150);
    EXPECT_EQ(bar.bar(TransferStatusBar::Side::Sending)->value(), 100);
    bar.startTransfer(TransferStatusBar::Side::Receiving, "in.txt");
    EXPECT_EQ(bar.paneText(3), "Receiving:");
    bar.clearTransfer(TransferStatusBar::Side::Sending);
    EXPECT_FALSE(bar.bar(TransferStatusBar::Side::Sending)->isVisibleTo(&bar));
    EXPECT_EQ(bar.paneText(0), " ");
    EXPECT_EQ(bar.paneText(3), "Receiving:");
}

TEST(ModemDialog, FillsFromTheBlockAndReadsBack) {
    CommsSettings c;
    c.homeDir = KRL_BUILD_ASSET_DIR;
    c.modemName = "Serial";
    c.portName = "/dev/ttyUSB0";
    c.baudRate = 19200;
    c.ringsCount = 3;
    ModemDialog d(c, {}, StringTable::builtIn());
    auto* modem = d.findChild<QComboBox*>("id349");
    ASSERT_GE(modem->count(), 3);
    EXPECT_EQ(modem->currentText(), "Serial Cable");
    EXPECT_EQ(d.findChild<QComboBox*>("id1077")->currentText(), "/dev/ttyUSB0");
    EXPECT_EQ(d.findChild<QComboBox*>("id352")->currentText(), "19200");
    d.findChild<QLineEdit*>("id1248")->setText(QString(30, '9'));
    d.findChild<QComboBox*>("id352")->setCurrentText("115200");
    d.accept();
    EXPECT_EQ(d.settings().outsideLinePrefix, std::string(20, '9'));
    EXPECT_EQ(d.settings().baudRate, 115200u);
    EXPECT_EQ(d.settings().modemName, "Serial Cable");
    EXPECT_NE(d.settings().modemFile.find("SerialCable.mdm"), std::string::npos);
    EXPECT_EQ(d.settings().ringsCount, 3u);

    CommsSettings empty;
    empty.homeDir = QDir::tempPath().toStdString() + "/no-such-folder-krl";
    ModemDialog none(empty, {}, StringTable::builtIn());
    EXPECT_EQ(none.findChild<QComboBox*>("id349")->count(), 0);
    EXPECT_EQ(none.findChild<QComboBox*>("id349")->currentIndex(), -1);
}

// A modal question: the program's other windows are disabled and the window kept on top leaves
// the top band until it is answered; the window it belongs to is held by the modality alone.
TEST(ModalDiscipline, AModalWindowDisablesTheOthersAndLowersTheTopOne) {
    ModalDiscipline discipline;
    QWidget frame;
    QWidget other;
    QWidget onTop(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    for (QWidget* w : {&frame, &other, &onTop})
        w->show();
    QDialog question(&frame);
    question.setWindowModality(Qt::ApplicationModal);
    question.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return discipline.active(); }, 5000));
    EXPECT_FALSE(other.isEnabled());
    EXPECT_FALSE(onTop.isEnabled());
    EXPECT_FALSE(onTop.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(onTop.isVisible());
    EXPECT_TRUE(frame.isEnabled());
    EXPECT_TRUE(question.isEnabled());

    question.hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !discipline.active(); }, 5000));
    EXPECT_TRUE(other.isEnabled());
    EXPECT_TRUE(onTop.isEnabled());
    EXPECT_TRUE(onTop.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(onTop.isVisible());
}
