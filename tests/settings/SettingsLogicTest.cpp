#include <gtest/gtest.h>

#include <array>

#include "addressbook/CardRecord.h"
#include "base/ByteRecord.h"
#include "settings/ControlRanges.h"
#include "settings/ModemChoice.h"
#include "settings/PortChoices.h"
#include "settings/SetupWizardLogic.h"
#include "transfer/TonebaySettings.h"

namespace krl {
namespace {

struct ListedDevices : SerialPortLister {
    std::vector<PortChoice> found;
    std::vector<PortChoice> devices() const override { return found; }
};

TEST(PortChoices, ClassicNamesFirstThenTheDevicesThatExist) {
    ListedDevices lister;
    lister.found = {
        {"/dev/ttyUSB0", "FT232R USB UART"}, {"/dev/ttyS0", "16550A"}, {"/dev/ttyACM0", "Modem"}};
    const std::vector<PortChoice> expected = {
        {"Com1", "/dev/ttyS0 16550A"}, {"Com2", "/dev/ttyS1"},
        {"Com3", "/dev/ttyS2"},        {"Com4", "/dev/ttyS3"},
        {"/dev/ttyACM0", "Modem"},     {"/dev/ttyUSB0", "FT232R USB UART"}};
    EXPECT_EQ(portChoices(lister), expected);
}

TEST(PortChoices, AcceptedNames) {
    const struct {
        const char* name;
        bool accepted;
    } cases[] = {
        {"Com1", true},
        {"COM4", true},
        {"com12", true},
        {" Com2 ", true},
        {"COM0", false},
        {"COM01", false},
        {"COM257", false},
        {"COM", false},
        {"/dev/ttyUSB0", true},
        {"/tmp/linesim/a", true},
        {"/", false},
        {"/dev/", false},
        {"ttyUSB0", false},
        {"", false},
        {"rfc2217://localhost:7000", true},
        {"rfc2217://[::1]:7000", true},
        {"rfc2217://host:0", false},
        {"rfc2217://host:65536", false},
        {"rfc2217://host:", false},
        {"rfc2217://:7000", false},
        {"rfc2217://host", false},
        {"rfc2217://ho st:7000", false},
        {"telnet://host:7000", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isAcceptablePortName(c.name), c.accepted) << c.name;
}

TEST(ModemChoice, ExactNameBeforePrefixThenFirst) {
    const std::vector<ModemEntry> modems = {
        {"Hayes Accura", "/h/a.mdm"}, {"Hayes", "/h/b.mdm"}, {"Serial Cable", "/h/c.mdm"}};
    const struct {
        const char* stored;
        int selected;
    } cases[] = {
        {"Hayes", 1}, {"Hayes Acc", 0}, {"Serial Cable", 2}, {"Unknown", 0}, {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(selectModem(modems, c.stored), c.selected) << c.stored;
    EXPECT_EQ(selectModem({}, "Hayes"), -1);
}

TEST(ModemChoice, PortSelectedWithoutRegardToCase) {
    const std::vector<std::string> ports = {"Com1", "Com2", "/dev/ttyUSB0"};
    EXPECT_EQ(selectPort(ports, "COM2"), 1);
    EXPECT_EQ(selectPort(ports, "/dev/ttyUSB0"), 2);
    EXPECT_EQ(selectPort(ports, "rfc2217://h:1"), -1);
}

TEST(ControlRanges, ValuesOutsideTheControlsAreBroughtInsideOnLoad) {
    CommsSettings comms;
    comms.ringsCount = 0;
    comms.fileInActive = 100000;
    comms.outsideLinePrefix = std::string(30, '9');
    const CommsSettings c = ControlRanges::forControls(comms);
    EXPECT_EQ(c.ringsCount, 1u);
    EXPECT_EQ(c.fileInActive, 9999u);
    EXPECT_EQ(c.outsideLinePrefix, std::string(20, '9'));
    comms.ringsCount = 4000;
    EXPECT_EQ(ControlRanges::forControls(comms).ringsCount, 255u);

    VideoSettings video;
    video.remoteVideo.set(VideoSetting::Width, 40);
    video.remoteVideo.set(VideoSetting::Height, 1000);
    video.remoteVideo.set(VideoSetting::MeanRemovedChange, 7);
    video.localVideo.set(VideoSetting::LuminanceOnly, 9);
    const VideoSettings v = ControlRanges::forControls(video);
    EXPECT_EQ(v.remoteVideo.get(VideoSetting::Width), 80u);
    EXPECT_EQ(v.remoteVideo.get(VideoSetting::Height), 144u);
    EXPECT_EQ(v.remoteVideo.get(VideoSetting::MeanRemovedChange), 1u);
    EXPECT_EQ(v.localVideo.get(VideoSetting::LuminanceOnly), 1u);
    // Values inside stay as they are.
    EXPECT_EQ(ControlRanges::forControls(VideoSettings{}), VideoSettings{});
    EXPECT_EQ(ControlRanges::forControls(CommsSettings{}), CommsSettings{});
}

// The option bytes as settings files hold them: a round trip cannot tell two options swapped.
TEST(StoredOptionBytes, EachOptionAtItsOwnByte) {
    using byte_record::fromBytes;
    // The five options alone are read, four or 101 bytes are not; of byte 1 only bit 0 is ours.
    const std::array<std::uint8_t, 101> general{0xA1, 0xFF, 0xB2, 0xC3, 0x00};
    GeneralSettings g;
    g.flagsByte0 = 0xA1;
    g.flagsByte2 = 0xB2;
    g.flagsByte3 = 0xC3;
    g.allowPaging = false;
    EXPECT_EQ(fromBytes(GeneralSettings::kFlagsLayout, general.data(), 5), g);
    EXPECT_FALSE(fromBytes(GeneralSettings::kFlagsLayout, general.data(), 4));
    EXPECT_FALSE(fromBytes(GeneralSettings::kFlagsLayout, general.data(), 101));

    std::array<std::uint8_t, 100> tonebay{0, 1, 0, 9, 1, 0, 0x80, 1};
    TonebaySettings t;
    t.autoSend = false;
    t.flagsByte3 = 9;
    t.clearQueueAfterDisconnecting = true;
    t.launchMode = LaunchMode::DoNotLaunch;
    EXPECT_EQ(fromBytes(TonebaySettings::kFlagsLayout, tonebay.data(), 100), t);
    tonebay[6] = 1;  // any bit set means on; written as 1
    EXPECT_EQ(byte_record::toBytes<100>(TonebaySettings::kFlagsLayout, t), tonebay);
    // A launch mode this program does not know asks rather than launches.
    tonebay[7] = 7;
    EXPECT_EQ(fromBytes(TonebaySettings::kFlagsLayout, tonebay.data(), 8)->launchMode,
              LaunchMode::Ask);
}

TEST(SetupWizardLogic, ButtonsOfEachPage) {
    const struct {
        WizardPage page;
        WizardButtons buttons;
    } cases[] = {
        {WizardPage::Welcome, {false, true, false}}, {WizardPage::Modem, {true, true, false}},
        {WizardPage::Dialling, {true, true, false}}, {WizardPage::Video, {true, true, false}},
        {WizardPage::Card, {true, false, true}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SetupWizardLogic::buttons(c.page), c.buttons) << static_cast<int>(c.page);
}

TEST(SetupWizardLogic, NeededWhilePortModemOrCameraIsUnset) {
    CommsSettings comms;
    comms.portName = "Com1";
    comms.modemName = "Hayes";
    VideoSettings video;
    video.driver = "None";
    EXPECT_FALSE(SetupWizardLogic::needed(comms, video));
    for (auto clear : {+[](CommsSettings&c, VideoSettings&) { c.portName.clear(); },
                       +[](CommsSettings&c, VideoSettings&) { c.modemName.clear(); },
                       +[](CommsSettings&, VideoSettings&v) { v.driver.clear(); }}) {
        CommsSettings c = comms;
        VideoSettings v = video;
        clear(c, v);
        EXPECT_TRUE(SetupWizardLogic::needed(c, v));
    }
    EXPECT_FALSE(SetupWizardLogic::cameraChosen("None"));
    EXPECT_FALSE(SetupWizardLogic::cameraChosen(""));
    EXPECT_TRUE(SetupWizardLogic::cameraChosen("Test Pattern"));
    EXPECT_EQ(SetupWizardLogic::driverShown(""), "None");
}

TEST(SetupWizardLogic, AnUnnamedCardStartsFromTheAccount) {
    SetupWizardLogic fromAccount({}, {}, {}, "Zoë Brightmar", "Brightmar Ltd");
    EXPECT_EQ(fromAccount.cardFields(), (CardFields{"Zoë Brightmar", "", "Brightmar Ltd"}));
    SetupWizardLogic unreadable({}, {}, {}, "", "");
    EXPECT_EQ(unreadable.cardFields(), (CardFields{" ", "", " "}));

    GeneralSettings named;
    CardRecord card;
    card.name = Cp1252Text("Jos\xE9");
    card.phone = "555"_cp1252;
    card.details = "d"_cp1252;
    named.ownCard = card.toBytes();
    SetupWizardLogic stored({}, {}, named, "Other", "Co");
    EXPECT_EQ(stored.cardFields(), (CardFields{"José", "555", "d"}));
}

TEST(SetupWizardLogic, CardTakenBackAsWindows1252WithinItsFieldsAndFlagsByteWhole) {
    GeneralSettings general;
    general.cardFlags = 0x07;
    SetupWizardLogic wizard({}, {}, general, "", "");
    wizard.setCard({"José " + std::string(100, 'n'), "1", std::string(600, 'd')}, false);
    const CardRecord card =
        CardRecord::fromBytes(wizard.general().ownCard.data(), wizard.general().ownCard.size());
    EXPECT_EQ(card.name.size(), CardRecord::kNameChars);
    EXPECT_EQ(card.name.bytes().substr(0, 4), "Jos\xE9");
    EXPECT_EQ(card.details.size(), CardRecord::kDetailsChars);
    EXPECT_EQ(wizard.general().cardFlags, 0);
    wizard.setCard({"a", "b", "c"}, true);
    EXPECT_EQ(wizard.general().cardFlags, 1);
}

}  // namespace
}  // namespace krl
