#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>

#include "fakes/TempFolder.h"
#include "platform/qt/SettingsStore.h"

using namespace krl;

namespace {

const std::string kHome = "/home/u/.local/share/Kestrelcall";

class SettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString iniPath() const { return dir.filePath("Brightmar/Kestrelcall.ini"); }
    SettingsStore store{iniPath(), metrics()};

    static FrameMetrics metrics() {
        FrameMetrics m;
        m.captionHeight = 20;
        m.menuHeight = 21;
        m.fixedFrameHeight = 3;
        m.sizingFrameHeight = 5;
        m.screenWidth = 1280;
        return m;
    }

    // Writes raw values as another program (or an older version) would have left them.
    void writeRaw(const QString& subkey, const QString& name, const QVariant& value) {
        QSettings raw(iniPath(), QSettings::IniFormat);
        raw.setValue(SettingsStore::kRootGroup + "/" + subkey + "/" + name, value);
        raw.sync();
    }

    // Every block loaded from one store and stored into another (or the same) one.
    static void copyEveryBlock(const SettingsStore& from, SettingsStore& to) {
        ASSERT_TRUE(to.storeGeneral(from.loadGeneral(kHome)));
        ASSERT_TRUE(to.storePlacement(from.loadPlacement()));
        ASSERT_TRUE(to.storeComms(from.loadComms(kHome)));
        ASSERT_TRUE(to.storeTonebay(from.loadTonebay(kHome)));
        ASSERT_TRUE(to.storeTransferWindow(from.loadTransferWindow()));
        ASSERT_TRUE(to.storeVideo(from.loadVideo(kHome)));
    }

    QVariant readRaw(const QString& subkey, const QString& name) {
        QSettings raw(iniPath(), QSettings::IniFormat);
        return raw.value(SettingsStore::kRootGroup + "/" + subkey + "/" + name);
    }
};

}  // namespace

// The defaults that are worked out: from the home folder, the frame's metrics, the screen.
TEST_F(SettingsStoreTest, EmptyStoreGivesDefaultsFittedToHomeAndScreen) {
    auto general = store.loadGeneral(kHome);
    EXPECT_EQ(general.homeDir, kHome);
    EXPECT_TRUE(general.sendCardOnConnect());
    EXPECT_EQ(general.chat.bottom, 20 + 2 * 5 + 484);
    EXPECT_EQ(store.loadPlacement().height, 20 + 21 + 2 * 3 + 97);
    EXPECT_EQ(store.loadComms(general.homeDir).homeDir, kHome);

    auto tonebay = store.loadTonebay(general.homeDir);
    EXPECT_EQ(tonebay.recDir, kHome + "/Receive/");
    general.fillChatCaptureDefault(tonebay.recDir);
    EXPECT_EQ(general.chat.capturePath, kHome + "/Receive/chat.txt");

    auto video = store.loadVideo(general.homeDir);
    EXPECT_EQ(video.snapshotDir, kHome + "/Snapshots");
    EXPECT_EQ(video.localVideo, VideoSettings::defaultLocalRecord());
    EXPECT_EQ(video.localWindow, (ScreenRect{1280 - 205, 0, 1280 - 205 + 184, 26 + 173}));
    EXPECT_EQ(video.remoteWindow, (ScreenRect{1280 - 205, 26 + 178, 1280 - 205 + 184, 52 + 351}));

    // Loading never creates the file.
    EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(SettingsStoreTest, DefaultsThatDependOnTheKeyExisting) {
    writeRaw("Comms", "PortName", "COM2");
    writeRaw("General", "CommandTimeOut", 30000);
    writeRaw("Tonebay", "RecDir", "/srv/in");

    auto comms = store.loadComms(kHome);
    EXPECT_EQ(comms.portName, "COM2");
    // A port speed of 56700 exists nowhere: a key without the value reads as 57600 too.
    EXPECT_EQ(comms.baudRate, 57600u);
    ASSERT_TRUE(store.storeComms(comms));
    EXPECT_EQ(readRaw("Comms", "BaudeRate").toString(), "57600");
    EXPECT_EQ(comms.timeSlice, 200u);
    EXPECT_EQ(store.loadGeneral(kHome).timeSlice, 200u);
    auto tonebay = store.loadTonebay(kHome);
    EXPECT_EQ(tonebay.timeSlice, 200u);
    EXPECT_EQ(tonebay.recDir, "/srv/in/");
    // Video has no key yet: everything default.
    EXPECT_TRUE(store.loadVideo(kHome).autoSend);
}

TEST_F(SettingsStoreTest, EveryBlockSurvivesARoundTrip) {
    GeneralSettings general = store.loadGeneral(kHome);
    general.homeDir = "/data/krl home";
    general.timeSlice = 150;
    general.commandTimeOut = 12345;
    general.cardFlags = 0;
    general.allowPaging = false;
    general.ownCard[0] = 'A';
    general.ownCard[876] = 0x7F;
    general.chat.left = -30;
    general.chat.capturePath = "/tmp/Bücher/chat.txt";
    ASSERT_TRUE(store.storeGeneral(general));
    EXPECT_EQ(store.loadGeneral(kHome), general);

    PlacementRecord placement = store.loadPlacement();
    placement.left = -1;
    placement.restored = 0;
    placement.cardPanelShown = 1;
    ASSERT_TRUE(store.storePlacement(placement));
    EXPECT_EQ(store.loadPlacement(), placement);
    // The placement shares the General key without disturbing it.
    EXPECT_EQ(store.loadGeneral(kHome), general);

    CommsSettings comms = store.loadComms(kHome);
    comms.modemFile = "/x/hayes.mdm";
    comms.portName = "rfc2217://localhost:7000";
    comms.outsideLinePrefix = "9,";
    comms.fileInActive = 0;
    comms.baudRate = 115200;
    comms.stopBits = StopBits::Two;
    comms.parity = Parity::Even;
    comms.byteSize = 7;
    comms.alwaysListen = false;
    comms.xPos = -20;
    comms.numbersDialed = {"5551234", "0044 20 7946 0000"};
    ASSERT_TRUE(store.storeComms(comms));
    EXPECT_EQ(store.loadComms(kHome), comms);

    TonebaySettings tonebay = store.loadTonebay(kHome);
    tonebay.recDir = "/y/in/";
    tonebay.autoSend = false;
    tonebay.clearQueueAfterDisconnecting = true;
    tonebay.overwriteExisting = false;
    tonebay.launchMode = LaunchMode::Launch;
    ASSERT_TRUE(store.storeTonebay(tonebay));
    EXPECT_EQ(store.loadTonebay(kHome), tonebay);

    TransferWindowRecord window;
    window.left = 33;
    window.sentColumns = {1, 2, 3, 4};
    ASSERT_TRUE(store.storeTransferWindow(window));
    EXPECT_EQ(store.loadTransferWindow(), window);
    EXPECT_EQ(store.loadTonebay(kHome), tonebay);

    VideoSettings video = store.loadVideo(kHome);
    video.driver = "Test Pattern";
    video.localVideo.set(VideoSetting::PictureQuality, 77);
    video.localVideo.set(VideoSetting::Fresh, 0xDEADBEEF);
    video.remoteVideo.set(VideoSetting::Width, 176);
    video.autoSend = false;
    video.remoteAlwaysOnTop = true;
    video.remoteWindow = {-5, -6, 7, 8};
    ASSERT_TRUE(store.storeVideo(video));
    EXPECT_EQ(store.loadVideo(kHome), video);

    // The whole file read back and written anew by a second store is the same text.
    SettingsStore copy{dir.filePath("copy.ini"), metrics()};
    copyEveryBlock(store, copy);
    EXPECT_EQ(test::readText(copy.fileName().toStdString()),
              test::readText(iniPath().toStdString()));
}

TEST_F(SettingsStoreTest, ByteRecordsKeepTheirSizes) {
    copyEveryBlock(store, store);

    const struct {
        const char* subkey;
        const char* name;
        int size;
    } records[] = {
        {"General", "Flags", 100},
        {"General", "Busniss Card", 877},
        {"General", "Chat Settings", 280},
        {"General", "ScreenSettings", 36},
        {"Comms", "NumbersDialed", 320},
        {"Tonebay", "Flags", 100},
        {"Tonebay", "ScreenSettings", 60},
        {"Video", "LocalVideo", 48},
        {"Video", "RemoteVideo", 48},
        {"Video", "AutoSend", 2},
        {"Video", "PromptWhenReceive", 2},
        {"Video", "ShowVideoWhenRun", 2},
        {"Video", "RemoteAlwaysOnTop", 2},
        {"Video", "lPos", 16},
        {"Video", "rPos", 16},
    };
    for (const auto& r : records) {
        QVariant v = readRaw(r.subkey, r.name);
        EXPECT_EQ(v.typeId(), QMetaType::QByteArray) << r.subkey << "/" << r.name;
        EXPECT_EQ(v.toByteArray().size(), r.size) << r.subkey << "/" << r.name;
    }
    // Video records hold their twelve values little-endian in record order.
    QByteArray local = readRaw("Video", "LocalVideo").toByteArray();
    EXPECT_EQ(static_cast<std::uint8_t>(local[3 * 4]), 160);
    EXPECT_EQ(static_cast<std::uint8_t>(local[11 * 4]), 150);
    // Dwords are plain numbers.
    EXPECT_EQ(readRaw("Comms", "BaudeRate").toString(), "57600");
}

TEST_F(SettingsStoreTest, StoredValuesAreBroughtIntoRange) {
    writeRaw("Comms", "TimeSlice", 0);
    writeRaw("Comms", "BaudeRate", 0);
    writeRaw("Comms", "ByteSize", 12);
    writeRaw("Comms", "Parity", 9);
    writeRaw("Comms", "RingsCount", 0);
    writeRaw("Comms", "FileInActive", "4000000000");
    writeRaw("General", "TimeSlice", 0);
    writeRaw("Tonebay", "TimeSlice", "4294967295");
    auto comms = store.loadComms(kHome);
    EXPECT_EQ(comms.timeSlice, 100u);
    EXPECT_EQ(comms.baudRate, 57600u);
    EXPECT_EQ(comms.byteSize, 8);
    EXPECT_EQ(comms.parity, Parity::None);
    // Clamped to the ranges the Modem dialog's controls take.
    EXPECT_EQ(comms.ringsCount, 1u);
    EXPECT_EQ(comms.fileInActive, 9999u);
    writeRaw("Comms", "RingsCount", 1000);
    EXPECT_EQ(store.loadComms(kHome).ringsCount, 255u);
    EXPECT_EQ(store.loadGeneral(kHome).timeSlice, 100u);
    EXPECT_EQ(store.loadTonebay(kHome).timeSlice, 60000u);

    VideoSettings video = store.loadVideo(kHome);
    video.remoteVideo.set(VideoSetting::Width, 200);
    video.remoteVideo.set(VideoSetting::Height, 150);
    video.remoteVideo.set(VideoSetting::RefreshPercentage, 6);
    video.remoteVideo.set(VideoSetting::LuminanceOnly, 3);
    video.localVideo.set(VideoSetting::Width, 0);
    video.localVideo.set(VideoSetting::ChangeSensitivity, 101);
    video.localVideo.set(VideoSetting::PaletteDisplay, 2);
    ASSERT_TRUE(store.storeVideo(video));
    auto loaded = store.loadVideo(kHome);
    EXPECT_EQ(loaded.remoteVideo.get(VideoSetting::Width), 120u);
    EXPECT_EQ(loaded.remoteVideo.get(VideoSetting::Height), 90u);
    EXPECT_EQ(loaded.remoteVideo.get(VideoSetting::RefreshPercentage), 2u);
    EXPECT_EQ(loaded.remoteVideo.get(VideoSetting::LuminanceOnly), 1u);
    EXPECT_EQ(loaded.localVideo.get(VideoSetting::Width), 160u);
    EXPECT_EQ(loaded.localVideo.get(VideoSetting::ChangeSensitivity), 40u);
    EXPECT_EQ(loaded.localVideo.get(VideoSetting::PaletteDisplay), 1u);

    video.remoteVideo.set(VideoSetting::Width, 0);
    ASSERT_TRUE(store.storeVideo(video));
    EXPECT_EQ(store.loadVideo(kHome).remoteVideo.get(VideoSetting::Width), 120u);
}

TEST_F(SettingsStoreTest, DamagedValuesCountAsMissing) {
    writeRaw("General", "CommandTimeOut", "soon");
    writeRaw("General", "Flags", QByteArray(3, '\0'));                // too short
    writeRaw("General", "ScreenSettings", QByteArray(40, '\1'));      // wrong size
    writeRaw("Video", "LocalVideo", QByteArray(47, '\0'));            // one byte short
    writeRaw("Video", "AutoSend", "0");                               // text, not bytes
    writeRaw("Tonebay", "Flags", QByteArray("\1\1\0\1\0\0\1\7", 8));  // unknown launch mode
    auto general = store.loadGeneral(kHome);
    EXPECT_EQ(general.commandTimeOut, 60000u);
    EXPECT_TRUE(general.allowPaging);
    EXPECT_EQ(store.loadPlacement(), PlacementRecord::defaults(metrics()));
    auto video = store.loadVideo(kHome);
    EXPECT_EQ(video.localVideo, VideoSettings::defaultLocalRecord());
    EXPECT_TRUE(video.autoSend);
    EXPECT_EQ(store.loadTonebay(kHome).launchMode, LaunchMode::Ask);
}

TEST_F(SettingsStoreTest, DialledNumbersKeepOrderAndNeverDuplicate) {
    CommsSettings comms = store.loadComms(kHome);
    comms.numbersDialed = {"111", "222", "111", "333"};
    ASSERT_TRUE(store.storeComms(comms));
    auto loaded = store.loadComms(kHome);
    EXPECT_EQ(loaded.numbersDialed, (std::vector<std::string>{"111", "222", "333"}));
    // Storing what was loaded, again and again, changes nothing.
    ASSERT_TRUE(store.storeComms(loaded));
    ASSERT_TRUE(store.storeComms(store.loadComms(kHome)));
    EXPECT_EQ(store.loadComms(kHome).numbersDialed, loaded.numbersDialed);

    // More than ten: the ten most recent are kept; long numbers are cut to 31 bytes.
    comms.numbersDialed.clear();
    for (int i = 0; i < 12; ++i)
        comms.numbersDialed.push_back("n" + std::to_string(i));
    comms.numbersDialed.push_back(std::string(40, '7'));
    ASSERT_TRUE(store.storeComms(comms));
    auto numbers = store.loadComms(kHome).numbersDialed;
    ASSERT_EQ(numbers.size(), 10u);
    EXPECT_EQ(numbers.front(), "n3");
    EXPECT_EQ(numbers.back(), std::string(31, '7'));
}

TEST_F(SettingsStoreTest, StoresReplaceTheFileWhole) {
    ASSERT_TRUE(store.storeGeneral(store.loadGeneral(kHome)));
    struct stat before {};
    ASSERT_EQ(stat(iniPath().toLocal8Bit().constData(), &before), 0);
    auto comms = store.loadComms(kHome);
    comms.portName = "COM3";
    ASSERT_TRUE(store.storeComms(comms));
    struct stat after {};
    ASSERT_EQ(stat(iniPath().toLocal8Bit().constData(), &after), 0);
    // A new file renamed into place, not the old one rewritten where a crash could cut it.
    EXPECT_NE(before.st_ino, after.st_ino);
    QStringList left = QDir(dir.filePath("Brightmar")).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList{"Kestrelcall.ini"});
    EXPECT_EQ(store.loadComms(kHome).portName, "COM3");
}

TEST_F(SettingsStoreTest, AStoreThatCannotWriteFailsAndKeepsTheOldFile) {
    // The settings folder's place is taken by a plain file: nothing can be written there.
    test::writeText(dir.filePath("blocked").toStdString(), "");
    SettingsStore blocked(dir.filePath("blocked/Kestrelcall.ini"));
    EXPECT_FALSE(blocked.storeGeneral(blocked.loadGeneral(kHome)));
}

TEST_F(SettingsStoreTest, MachineValuesFallBackToABlank) {
    QString machine = dir.filePath("machine.ini");
    auto none = SettingsStore::loadMachineValues(machine);
    EXPECT_EQ(none.userName, " ");
    EXPECT_EQ(none.companyName, " ");
    {
        QSettings raw(machine, QSettings::IniFormat);
        raw.setValue(SettingsStore::kRootGroup + "/UserName", "Ada Lovelace");
        raw.sync();
    }
    auto some = SettingsStore::loadMachineValues(machine);
    EXPECT_EQ(some.userName, "Ada Lovelace");
    EXPECT_EQ(some.companyName, " ");
}
