// The setup wizard and the settings sheet as windows (offscreen): every page's controls filled
// from the blocks and read back, moving back and forth through the wizard, and Cancel.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

#include "addressbook/CardRecord.h"
#include "settings/ui/CKestrelSettings.h"
#include "settings/ui/CSetupWizard.h"

namespace krl {
namespace {

void saveScreenshot(QWidget& w, const QString& name) {
    QDir().mkpath(QStringLiteral(KRL_SCREENSHOT_DIR));
    w.grab().save(QStringLiteral(KRL_SCREENSHOT_DIR "/%1.png").arg(name));
}

template <typename W>
W* control(QWidget& in, int id) {
    auto* w = in.findChild<W*>(QStringLiteral("id%1").arg(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
}

const std::vector<PortChoice> kPorts = {{"Com1", "/dev/ttyS0"},
                                        {"Com2", "/dev/ttyS1"},
                                        {"Com3", "/dev/ttyS2"},
                                        {"Com4", "/dev/ttyS3"},
                                        {"/dev/ttyUSB0", "FTDI FT232R USB UART"}};

CSetupWizard::Choices wizardChoices() {
    return {kPorts, {"Test Pattern"}, {}};
}

CommsSettings freshComms() {
    CommsSettings c;
    c.homeDir = KRL_BUILD_ASSET_DIR;
    return c;
}

TEST(SetupWizard, EveryPageKeepsItsValuesBackAndForthAndFinishReturnsThem) {
    CSetupWizard w(SetupWizardLogic(freshComms(), {}, {}, "Zoë Brightmar", ""), wizardChoices());
    w.show();
    EXPECT_EQ(w.windowTitle(), "Kestrelcall Setup");
    EXPECT_EQ(w.currentId(), static_cast<int>(WizardPage::Welcome));
    saveScreenshot(w, "wizard-1-welcome");

    w.next();
    auto* modem = control<QComboBox>(w, 349);
    ASSERT_GE(modem->count(), 3);
    modem->setCurrentIndex(modem->findText("Serial Cable"));
    auto* port = control<QComboBox>(w, 1077);
    EXPECT_EQ(port->count(), 5);
    port->setEditText("rfc2217://modems.local:7000");
    saveScreenshot(w, "wizard-2-modem");
    // A port nothing can open keeps the page.
    port->setEditText("ttyUSB0");
    w.next();
    EXPECT_EQ(w.currentId(), static_cast<int>(WizardPage::Modem));
    port->setEditText("/dev/ttyUSB0");
    w.next();

    control<QLineEdit>(w, 1248)->setText("9");
    control<QSpinBox>(w, 1264)->setValue(4);
    control<QCheckBox>(w, 1271)->setChecked(true);
    saveScreenshot(w, "wizard-3-dialling");
    w.back();  // left by Back: kept
    EXPECT_EQ(control<QComboBox>(w, 1077)->currentText(), "/dev/ttyUSB0");
    w.next();
    EXPECT_EQ(control<QLineEdit>(w, 1248)->text(), "9");
    EXPECT_EQ(control<QSpinBox>(w, 1264)->value(), 4);
    w.next();

    auto* camera = control<QComboBox>(w, 1104);
    EXPECT_EQ(camera->currentText(), "None");  // nothing stored yet
    EXPECT_FALSE(control<QCheckBox>(w, 1162)->isEnabled());
    camera->setCurrentText("Test Pattern");
    for (int id : {1275, 1162, 1225})
        EXPECT_TRUE(control<QCheckBox>(w, id)->isEnabled()) << id;
    control<QCheckBox>(w, 1275)->setChecked(false);
    saveScreenshot(w, "wizard-4-video");
    w.next();

    EXPECT_EQ(control<QLineEdit>(w, 353)->text(), "Zoë Brightmar");
    EXPECT_EQ(control<QPlainTextEdit>(w, 1088)->toPlainText(), " ");
    control<QLineEdit>(w, 1193)->setText("555 0100");
    control<QCheckBox>(w, 1250)->setChecked(false);
    saveScreenshot(w, "wizard-5-card");
    // Back through every page to the first and forward again loses nothing.
    for (int i = 0; i < 4; ++i)
        w.back();
    for (int i = 0; i < 4; ++i)
        w.next();
    EXPECT_EQ(control<QLineEdit>(w, 1193)->text(), "555 0100");
    w.accept();  // Finish
    ASSERT_EQ(w.result(), QDialog::Accepted);

    const SetupWizardLogic& done = w.logic();
    EXPECT_EQ(done.comms().modemName, "Serial Cable");
    EXPECT_NE(done.comms().modemFile.find("SerialCable.mdm"), std::string::npos);
    EXPECT_EQ(done.comms().portName, "/dev/ttyUSB0");
    EXPECT_EQ(done.comms().outsideLinePrefix, "9");
    EXPECT_EQ(done.comms().ringsCount, 4u);
    EXPECT_TRUE(done.comms().speakerOff);
    EXPECT_EQ(done.video().driver, "Test Pattern");
    EXPECT_EQ(done.video().localVideo.get(VideoSetting::LuminanceOnly), 0u);
    const CardRecord card =
        CardRecord::fromBytes(done.general().ownCard.data(), done.general().ownCard.size());
    EXPECT_EQ(card.name, Cp1252Text("Zo\xEB Brightmar"));
    EXPECT_EQ(card.phone, "555 0100"_cp1252);
    EXPECT_EQ(done.general().cardFlags, 0);
}

TEST(SetupWizard, StoredChoicesAreShownAndOutOfRangeValuesBroughtInside) {
    CommsSettings c = freshComms();
    c.modemName = "Serial";  // the start of a name selects it
    c.portName = "COM2";
    c.ringsCount = 0;
    VideoSettings v;
    v.driver = "USB Camera (gone)";
    CSetupWizard w(SetupWizardLogic(c, v, {}, "", ""), wizardChoices());
    w.show();
    w.next();
    EXPECT_EQ(control<QComboBox>(w, 349)->currentText(), "Serial Cable");
    EXPECT_EQ(control<QComboBox>(w, 1077)->currentText(), "Com2");
    w.next();
    EXPECT_EQ(control<QSpinBox>(w, 1264)->value(), 1);
    w.next();
    EXPECT_EQ(control<QComboBox>(w, 1104)->currentText(), "USB Camera (gone)");
}

SheetBlocks sheetBlocks() {
    SheetBlocks b;
    b.comms = freshComms();
    b.tonebay.recDir = "/tmp/in/";
    return b;
}

TEST(SettingsSheet, EveryPageReadsBackItsControls) {
    SheetBlocks in = sheetBlocks();
    in.video.remoteVideo.set(VideoSetting::Width, 400);  // out of range in the file
    CKestrelSettings s(in, SheetPage::Kestrelcall, {kPorts, {"Test Pattern"}, false, {}});
    s.show();
    EXPECT_EQ(s.windowTitle(), "Kestrelcall Settings");
    auto* tabs = s.findChild<QTabWidget*>();
    ASSERT_EQ(tabs->count(), 4);
    const char* names[] = {"sheet-1-kestrelcall", "sheet-2-camera", "sheet-3-remote-image",
                           "sheet-4-file-transfer"};
    for (int i = 0; i < 4; ++i) {
        tabs->setCurrentIndex(i);
        saveScreenshot(s, names[i]);
    }
    control<QCheckBox>(s, 1082)->setChecked(false);
    control<QCheckBox>(s, 1272)->setChecked(false);
    control<QCheckBox>(s, 1286)->setChecked(false);
    control<QComboBox>(s, 1104)->setCurrentText("Test Pattern");
    control<QCheckBox>(s, 1101)->setChecked(false);
    control<QCheckBox>(s, 1161)->setChecked(true);
    EXPECT_FALSE(control<QAbstractButton>(s, 1121)->isEnabled());  // capture not running
    auto* width = control<QSpinBox>(s, 1035);
    EXPECT_EQ(width->value(), 176);
    width->setValue(88);
    control<QSpinBox>(s, 1100)->setValue(72);
    control<QCheckBox>(s, 1239)->setChecked(true);
    control<QCheckBox>(s, 1238)->setChecked(true);
    control<QCheckBox>(s, 1247)->setChecked(false);
    control<QLineEdit>(s, 344)->setText("/tmp/received");
    control<QRadioButton>(s, 1244)->setChecked(true);
    control<QCheckBox>(s, 1081)->setChecked(true);
    s.accept();

    const SheetBlocks& out = s.blocks();
    EXPECT_FALSE(out.comms.alwaysListen);
    EXPECT_FALSE(out.comms.playRings);
    EXPECT_FALSE(out.general.allowPaging);
    EXPECT_EQ(out.video.driver, "Test Pattern");
    EXPECT_EQ(out.video.localVideo.get(VideoSetting::LuminanceOnly), 0u);
    EXPECT_EQ(out.video.localVideo.get(VideoSetting::AcceptPeerSize), 1u);
    EXPECT_EQ(out.video.remoteVideo.get(VideoSetting::Width), 88u);
    EXPECT_EQ(out.video.remoteVideo.get(VideoSetting::Height), 72u);
    EXPECT_EQ(out.video.remoteVideo.get(VideoSetting::MeanRemovedChange), 1u);
    EXPECT_TRUE(out.video.remoteAlwaysOnTop);
    EXPECT_FALSE(out.tonebay.overwriteExisting);
    EXPECT_EQ(out.tonebay.recDir, "/tmp/received/");
    EXPECT_EQ(out.tonebay.launchMode, LaunchMode::DoNotLaunch);
    EXPECT_TRUE(out.tonebay.clearQueueAfterDisconnecting);
}

TEST(SettingsSheet, OpensOnTheAskedPageAndGreysWhatDoesNotApply) {
    SheetBlocks in = sheetBlocks();
    in.video.remoteVideo.set(VideoSetting::AcceptPeerSize, 0);
    CKestrelSettings s(in, SheetPage::RemoteImage, {kPorts, {}, true, {}});
    EXPECT_EQ(s.currentPage(), SheetPage::RemoteImage);
    EXPECT_FALSE(control<QSpinBox>(s, 1035)->isEnabled());
    EXPECT_FALSE(control<QSpinBox>(s, 1100)->isEnabled());
    // No camera: its boxes and buttons are greyed even while capture runs.
    EXPECT_EQ(control<QComboBox>(s, 1104)->currentText(), "None");
    EXPECT_FALSE(control<QCheckBox>(s, 1101)->isEnabled());
    EXPECT_FALSE(control<QAbstractButton>(s, 1116)->isEnabled());
}

}  // namespace
}  // namespace krl
