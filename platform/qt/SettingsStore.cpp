#include "platform/qt/SettingsStore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QVariant>
#include <algorithm>
#include <optional>
#include <set>

#include "platform/qt/BlockTable.h"
#include "platform/qt/SettingsGroup.h"

namespace krl {

const QString SettingsStore::kRootGroup = QStringLiteral("software/Brightmar/Kestrelcall/1.000.0");

namespace {

using settings_ini::BlockTable;
using settings_ini::bytes;
using settings_ini::dword;
using settings_ini::fields;
using settings_ini::GroupReader;
using settings_ini::GroupWriter;
using settings_ini::Outside;
using settings_ini::text;
using settings_ini::Value;

// Longest accepted pump period in milliseconds: it becomes a timer interval.
constexpr std::uint32_t kMaxTimeSlice = 60000;

QString subkey(const char* name) {
    return SettingsStore::kRootGroup + QLatin1Char('/') + name;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

std::string withTrailingSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

constexpr std::size_t kNumbersDialedBytes =
    CommsSettings::kNumbersDialedSlots * CommsSettings::kNumberSlotBytes;

// The list may have grown past what the value holds: the ten most recent distinct numbers are
// kept (the list grows at its end), each shortened to 31 bytes.
void putNumbersDialed(const CommsSettings& c, std::uint8_t* at) {
    std::vector<std::string> distinct;
    std::set<std::string> seen;
    for (const auto& number : c.numbersDialed) {
        std::string n(byte_record::truncateUtf8(number, CommsSettings::kNumberSlotBytes - 1));
        if (!n.empty() && seen.insert(n).second)
            distinct.push_back(n);
    }
    std::size_t first = distinct.size() > CommsSettings::kNumbersDialedSlots
                            ? distinct.size() - CommsSettings::kNumbersDialedSlots
                            : 0;
    for (std::size_t i = first; i < distinct.size(); ++i)
        byte_record::putText(at + (i - first) * CommsSettings::kNumberSlotBytes,
                             CommsSettings::kNumberSlotBytes, distinct[i]);
}

void getNumbersDialed(CommsSettings& c, const std::uint8_t* at) {
    c.numbersDialed.clear();
    for (std::size_t slot = 0; slot < CommsSettings::kNumbersDialedSlots; ++slot) {
        std::string n = byte_record::getText(at + slot * CommsSettings::kNumberSlotBytes,
                                             CommsSettings::kNumberSlotBytes);
        n = std::string(byte_record::truncateUtf8(n, CommsSettings::kNumberSlotBytes - 1));
        if (!n.empty())
            c.numbersDialed.push_back(std::move(n));
    }
}

// Every line the store writes ends with a line break and is blank, a [group] or a key=value:
// anything else was cut short or written by something other than a settings file.
bool looksDamaged(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return false;
    if (!bytes.endsWith('\n') || bytes.contains('\0'))
        return true;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        const bool fits = line.isEmpty() || line.startsWith(';') || line.startsWith('#') ||
                          (line.startsWith('[') && line.endsWith(']')) || line.contains('=');
        if (!fits)
            return true;
    }
    return false;
}

// Without a write bit a file is read-only for root too, whom access() lets write anything.
bool hasWriteBits(const QFileInfo& info) {
    constexpr auto kWriteBits =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return (info.permissions() & kWriteBits) != 0;
}

Message fileMessage(int id, const QString& path) {
    return Message{id, MessageKind::Error, path.toStdString(), std::nullopt};
}

// The pump and timer period: the block's default when the key is missing, another when only the
// value is; a stored 0 would divide the script time-outs, so it gives the default too.
template <class Block>
constexpr Value<Block> timeSlice() {
    return {"TimeSlice",
            [](const GroupReader& key, const Value<Block>& v, Block& b) {
                if (key.exists())
                    b.timeSlice = key.dword(v.name).value_or(Block::kTimeSliceWhenValueMissing);
                if (b.timeSlice == 0)
                    b.timeSlice = Block::kDefaultTimeSlice;
                b.timeSlice = std::min(b.timeSlice, kMaxTimeSlice);
            },
            [](GroupWriter& key, const Value<Block>& v, const Block& b) {
                key.dword(v.name, b.timeSlice);
            }};
}

using byte_record::flag;
using byte_record::raw;
using byte_record::record;

constexpr BlockTable<GeneralSettings> kGeneral{
    "General",
    {
        text<&GeneralSettings::homeDir>("HomeDir"),
        timeSlice<GeneralSettings>(),
        dword<&GeneralSettings::commandTimeOut>("CommandTimeOut"),
        fields<GeneralSettings::kFlagsLayout>("Flags"),
        bytes("Busniss Card", raw<&GeneralSettings::ownCard>()),
        bytes("Chat Settings", record<&GeneralSettings::chat>()),
    },
};

constexpr BlockTable<PlacementRecord> kPlacement{
    "General", {fields<PlacementRecord::kLayout>("ScreenSettings")}};

constexpr BlockTable<CommsSettings> kComms{
    "Comms",
    {
        text<&CommsSettings::homeDir>("HomeDir"),
        text<&CommsSettings::modemName, 63>("ModemName"),
        text<&CommsSettings::modemFile>("ModemFile"),
        text<&CommsSettings::portName, 63>("PortName"),
        text<&CommsSettings::outsideLinePrefix, 19>("Outsidelineprefix"),
        timeSlice<CommsSettings>(),
        dword<&CommsSettings::commandTimeOut>("CommandTimeOut"),
        dword<&CommsSettings::fileInActive, 0, CommsSettings::kMaxFileInActive, Outside::NearerEnd>(
            "FileInActive"),
        // A missing value keeps the default too: the 56700 it once gave is no port speed (and
        // a port that takes any rate would open at it). A rate of 0 would hang the line up
        // rather than open it.
        dword<&CommsSettings::baudRate, 1>("BaudeRate"),
        dword<&CommsSettings::stopBits, 0, 2>("StopBits"),
        dword<&CommsSettings::parity, 0, 4>("Parity"),
        dword<&CommsSettings::byteSize, 5, 8>("ByteSize"),
        dword<&CommsSettings::ringsCount, CommsSettings::kMinRings, CommsSettings::kMaxRings,
              Outside::NearerEnd>("RingsCount"),
        dword<&CommsSettings::promptBeforeAnswer>("PromptBeforeAnswer"),
        dword<&CommsSettings::alwaysListen>("AlwaysListen"),
        dword<&CommsSettings::speakerOff>("SpeakerOff"),
        dword<&CommsSettings::playRings>("PlayRings"),
        dword<&CommsSettings::xPos>("x_pos"),
        dword<&CommsSettings::yPos>("y_pos"),
        bytes<CommsSettings>("NumbersDialed",
                             {kNumbersDialedBytes, getNumbersDialed, putNumbersDialed}),
    },
};

constexpr BlockTable<TonebaySettings> kTonebay{
    "Tonebay",
    {
        text<&TonebaySettings::homeDir>("HomeDir"),
        text<&TonebaySettings::recDir>("RecDir"),
        timeSlice<TonebaySettings>(),
        dword<&TonebaySettings::commandTimeOut>("CommandTimeOut"),
        fields<TonebaySettings::kFlagsLayout>("Flags"),
    },
};

constexpr BlockTable<TransferWindowRecord> kTransferWindow{
    "Tonebay", {fields<TransferWindowRecord::kLayout>("ScreenSettings")}};

// The video options are two-byte values.
constexpr BlockTable<VideoSettings> kVideo{
    "Video",
    {
        text<&VideoSettings::driver, 255>("Driver"),
        bytes("LocalVideo", record<&VideoSettings::localVideo>()),
        bytes("RemoteVideo", record<&VideoSettings::remoteVideo>()),
        bytes("AutoSend", flag<&VideoSettings::autoSend, 2>()),
        bytes("PromptWhenReceive", flag<&VideoSettings::promptWhenReceive, 2>()),
        bytes("ShowVideoWhenRun", flag<&VideoSettings::showVideoWhenRun, 2>()),
        bytes("RemoteAlwaysOnTop", flag<&VideoSettings::remoteAlwaysOnTop, 2>()),
        bytes("lPos", record<&VideoSettings::localWindow>()),
        bytes("rPos", record<&VideoSettings::remoteWindow>()),
    },
};

}  // namespace

SettingsStore::SettingsStore(const QString& iniPath, FrameMetrics metrics)
    : path_(iniPath), metrics_(metrics) {}

QString SettingsStore::fileName() const {
    return path_;
}

std::optional<Message> SettingsStore::examine() {
    const QFileInfo info(path_);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    // A FIFO is never opened: it would hold the one thread until something wrote to it.
    QFile file(path_);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        leftAlone_ = true;
        return fileMessage(kSettingsUnreadableMessage, path_);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        leftAlone_ = true;
        return fileMessage(kSettingsUnreadableMessage, path_);
    }
    if (!info.isWritable() || !hasWriteBits(info)) {
        readOnly_ = true;
        return fileMessage(kSettingsReadOnlyMessage, path_);
    }
    if (!looksDamaged(bytes) && open()->status() != QSettings::FormatError)
        return std::nullopt;
    // Kept before anything replaces it; a copy left by an earlier start counts when it holds
    // the same bytes, and one holding others is never written over.
    const QString kept = path_ + QLatin1String(kDamagedSuffix);
    QFile copy(kept);
    if (copy.exists()) {
        if (!copy.open(QIODevice::ReadOnly) || copy.readAll() != bytes) {
            leftAlone_ = true;
            return fileMessage(kSettingsUnreadableMessage, path_);
        }
    } else if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
               copy.write(bytes) != bytes.size() || !copy.flush()) {
        copy.close();
        QFile::remove(kept);
        leftAlone_ = true;
        return fileMessage(kSettingsUnreadableMessage, path_);
    }
    return fileMessage(kSettingsDamagedMessage, path_);
}

bool SettingsStore::mayWrite() const {
    if (leftAlone_ || readOnly_)
        return false;
    // Made read-only while the program ran (the stores at exit come long after examine()): Qt's
    // own check asks access(), which lets root write anything, and the rename that replaces the
    // file needs only the folder's permission.
    // Checked before any value is set, as a settings object writes them when it is destroyed.
    const QFileInfo info(path_);
    return !info.exists() || hasWriteBits(info);
}

std::unique_ptr<QSettings> SettingsStore::open() const {
    // A file that could not be read is not opened again: an object over no file gives the
    // defaults.
    auto settings =
        std::make_unique<QSettings>(leftAlone_ ? QString() : path_, QSettings::IniFormat);
    // Never write the file in place: a crash mid-write must leave the old file whole.
    settings->setAtomicSyncRequired(true);
    return settings;
}

bool SettingsStore::commit(QSettings& settings) {
    QDir().mkpath(QFileInfo(settings.fileName()).absolutePath());
    settings.sync();
    // A damaged file read earlier is replaced by the write, so only an access error fails.
    return settings.status() != QSettings::AccessError;
}

template <class Block>
Block SettingsStore::load(const BlockTable<Block>& table, Block block) const {
    auto settings = open();
    GroupReader key(*settings, subkey(table.subkey));
    for (const Value<Block>& v : table.values)
        v.load(key, v, block);
    return block;
}

template <class Block>
bool SettingsStore::store(const BlockTable<Block>& table, const Block& block) {
    if (!mayWrite())
        return false;
    auto settings = open();
    {
        GroupWriter key(*settings, subkey(table.subkey));
        for (const Value<Block>& v : table.values)
            v.store(key, v, block);
    }
    return commit(*settings);
}

GeneralSettings SettingsStore::loadGeneral(const std::string& defaultHome) const {
    GeneralSettings g;
    g.homeDir = defaultHome;
    g.chat = ChatWindowRecord::defaults(metrics_);
    return load(kGeneral, g);
}

bool SettingsStore::storeGeneral(const GeneralSettings& g) {
    return store(kGeneral, g);
}

PlacementRecord SettingsStore::loadPlacement() const {
    return load(kPlacement, PlacementRecord::defaults(metrics_));
}

bool SettingsStore::storePlacement(const PlacementRecord& placement) {
    return store(kPlacement, placement);
}

CommsSettings SettingsStore::loadComms(const std::string& generalHome) const {
    CommsSettings c;
    c.homeDir = generalHome;
    return load(kComms, c);
}

bool SettingsStore::storeComms(const CommsSettings& c) {
    return store(kComms, c);
}

TonebaySettings SettingsStore::loadTonebay(const std::string& generalHome) const {
    TonebaySettings t;
    t.homeDir = generalHome;
    t = load(kTonebay, t);
    if (t.recDir.empty())
        t.recDir = joinPath(t.homeDir, "Receive");
    t.recDir = withTrailingSeparator(t.recDir);
    return t;
}

bool SettingsStore::storeTonebay(const TonebaySettings& t) {
    return store(kTonebay, t);
}

TransferWindowRecord SettingsStore::loadTransferWindow() const {
    return load(kTransferWindow, TransferWindowRecord{});
}

bool SettingsStore::storeTransferWindow(const TransferWindowRecord& record) {
    return store(kTransferWindow, record);
}

VideoSettings SettingsStore::loadVideo(const std::string& generalHome) const {
    VideoSettings v;
    v.localWindow = VideoSettings::defaultLocalWindow(metrics_);
    v.remoteWindow = VideoSettings::defaultRemoteWindow(metrics_);
    v.snapshotDir = joinPath(generalHome, "Snapshots");
    v = load(kVideo, v);
    VideoSettings::applyRangeRules(v.localVideo, false);
    VideoSettings::applyRangeRules(v.remoteVideo, true);
    return v;
}

bool SettingsStore::storeVideo(const VideoSettings& v) {
    return store(kVideo, v);
}

SettingsStore::MachineValues SettingsStore::loadMachineValues(const QString& machineIniPath) {
    MachineValues values;
    if (machineIniPath.isEmpty())
        return values;
    QSettings settings(machineIniPath, QSettings::IniFormat);
    GroupReader key(settings, kRootGroup);
    if (auto v = key.text("UserName", 254))
        values.userName = *v;
    if (auto v = key.text("CompanyName", 254))
        values.companyName = *v;
    return values;
}

}  // namespace krl
