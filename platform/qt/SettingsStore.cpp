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
#include <type_traits>

#include "platform/qt/SettingsGroup.h"

namespace krl {

const QString SettingsStore::kRootGroup = QStringLiteral("software/Brightmar/Kestrelcall/1.000.0");

namespace {

using settings_ini::GroupReader;
using settings_ini::GroupWriter;

// Longest accepted pump period in milliseconds: it becomes a timer interval.
constexpr std::uint32_t kMaxTimeSlice = 60000;

QString subkey(const char* name) {
    return SettingsStore::kRootGroup + QLatin1Char('/') + name;
}

const std::uint8_t* data(const QByteArray& b) {
    return reinterpret_cast<const std::uint8_t*>(b.constData());
}

std::size_t size(const QByteArray& b) {
    return static_cast<std::size_t>(b.size());
}

// The pump and timer period: 100 when the key is missing, 200 when only the value is; a stored 0
// would divide the script time-outs, so it gives the default too.
std::uint32_t loadTimeSlice(const GroupReader& key, std::uint32_t whenKeyMissing,
                            std::uint32_t whenValueMissing) {
    if (!key.exists())
        return whenKeyMissing;
    std::uint32_t value = key.dword("TimeSlice").value_or(whenValueMissing);
    if (value == 0)
        return whenKeyMissing;
    return std::min(value, kMaxTimeSlice);
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

// The video options are two-byte values; any bit set means on.
bool readBool2(const GroupReader& key, const char* name, bool fallback) {
    auto b = key.bytes(name, 2);
    if (!b)
        return fallback;
    return (*b)[0] != 0 || (*b)[1] != 0;
}

std::array<std::uint8_t, 2> bool2(bool value) {
    return {std::uint8_t(value ? 1 : 0), 0};
}

std::vector<std::string> readNumbersDialed(const QByteArray& b) {
    std::vector<std::string> numbers;
    for (std::size_t slot = 0; slot < CommsSettings::kNumbersDialedSlots; ++slot) {
        std::string n = byte_record::getText(data(b) + slot * CommsSettings::kNumberSlotBytes,
                                             CommsSettings::kNumberSlotBytes);
        n = std::string(byte_record::truncateUtf8(n, CommsSettings::kNumberSlotBytes - 1));
        if (!n.empty())
            numbers.push_back(std::move(n));
    }
    return numbers;
}

// The list may have grown past what the value holds: the ten most recent distinct numbers are
// kept (the list grows at its end), each shortened to 31 bytes.
std::array<std::uint8_t, CommsSettings::kNumbersDialedSlots * CommsSettings::kNumberSlotBytes>
numbersDialedBytes(const std::vector<std::string>& list) {
    std::vector<std::string> distinct;
    std::set<std::string> seen;
    for (const auto& number : list) {
        std::string n(byte_record::truncateUtf8(number, CommsSettings::kNumberSlotBytes - 1));
        if (!n.empty() && seen.insert(n).second)
            distinct.push_back(n);
    }
    std::size_t first = distinct.size() > CommsSettings::kNumbersDialedSlots
                            ? distinct.size() - CommsSettings::kNumbersDialedSlots
                            : 0;
    std::array<std::uint8_t, CommsSettings::kNumbersDialedSlots * CommsSettings::kNumberSlotBytes>
        out{};
    for (std::size_t i = first; i < distinct.size(); ++i)
        byte_record::putText(&out[(i - first) * CommsSettings::kNumberSlotBytes],
                             CommsSettings::kNumberSlotBytes, distinct[i]);
    return out;
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

// One record's values as a table that a single loader and a single storer walk, so a value is
// named once and read and written with the same key. A text is taken when present and non-empty
// (shortened to maxBytes when that is given); a number is handed to its setter, which keeps its
// default for a value out of range; a flag is a two-byte value, any bit set meaning on.
template <class Record>
struct TextField {
    const char* key;
    std::size_t maxBytes;
    std::string Record::*member;
};

template <class Record>
struct DwordField {
    const char* key;
    std::uint32_t (*get)(const Record&);
    void (*set)(Record&, std::uint32_t);
};

template <class Record>
struct Bool2Field {
    const char* key;
    bool Record::*member;
};

template <class Record>
struct FieldTable {
    std::initializer_list<TextField<Record>> texts;
    std::initializer_list<DwordField<Record>> dwords;
    std::initializer_list<Bool2Field<Record>> flags = {};
};

template <class Record>
void loadFields(const GroupReader& key, const FieldTable<Record>& table, Record& r) {
    for (const auto& f : table.texts)
        if (auto v = key.text(f.key, f.maxBytes))
            r.*f.member = *v;
    for (const auto& f : table.dwords)
        if (auto v = key.dword(f.key))
            f.set(r, *v);
    for (const auto& f : table.flags)
        r.*f.member = readBool2(key, f.key, r.*f.member);
}

template <class Record>
void storeFields(GroupWriter& key, const FieldTable<Record>& table, const Record& r) {
    for (const auto& f : table.texts)
        key.text(f.key, r.*f.member);
    for (const auto& f : table.dwords)
        key.dword(f.key, f.get(r));
    for (const auto& f : table.flags)
        key.bytes(f.key, bool2(r.*f.member));
}

// A plain number or flag member: stored as it is, any stored value taken.
template <class Record, class T, T Record::*member>
constexpr DwordField<Record> plain(const char* key) {
    return {key, [](const Record& r) { return static_cast<std::uint32_t>(r.*member); },
            [](Record& r, std::uint32_t v) {
                if constexpr (std::is_same_v<T, bool>)
                    r.*member = v != 0;
                else
                    r.*member = static_cast<T>(v);
            }};
}

const FieldTable<GeneralSettings> kGeneralFields{
    {{"HomeDir", 0, &GeneralSettings::homeDir}},
    {plain<GeneralSettings, std::uint32_t, &GeneralSettings::commandTimeOut>("CommandTimeOut")},
};

const FieldTable<CommsSettings> kCommsFields{
    {
        {"HomeDir", 0, &CommsSettings::homeDir},
        {"ModemName", 63, &CommsSettings::modemName},
        {"ModemFile", 0, &CommsSettings::modemFile},
        {"PortName", 63, &CommsSettings::portName},
        {"Outsidelineprefix", 19, &CommsSettings::outsideLinePrefix},
    },
    {
        plain<CommsSettings, std::uint32_t, &CommsSettings::commandTimeOut>("CommandTimeOut"),
        {"FileInActive", [](const CommsSettings& c) { return c.fileInActive; },
         [](CommsSettings& c, std::uint32_t v) {
             c.fileInActive = std::min(v, CommsSettings::kMaxFileInActive);
         }},
        // A missing value keeps the default too: the 56700 it once gave is no port speed (and
        // a port that takes any rate would open at it). A rate of 0 would hang the line up
        // rather than open it.
        {"BaudeRate", [](const CommsSettings& c) { return c.baudRate; },
         [](CommsSettings& c, std::uint32_t v) {
             if (v != 0)
                 c.baudRate = v;
         }},
        {"StopBits", [](const CommsSettings& c) { return std::uint32_t(c.stopBits); },
         [](CommsSettings& c, std::uint32_t v) {
             if (v <= 2)
                 c.stopBits = static_cast<StopBits>(v);
         }},
        {"Parity", [](const CommsSettings& c) { return std::uint32_t(c.parity); },
         [](CommsSettings& c, std::uint32_t v) {
             if (v <= 4)
                 c.parity = static_cast<Parity>(v);
         }},
        {"ByteSize", [](const CommsSettings& c) { return std::uint32_t(c.byteSize); },
         [](CommsSettings& c, std::uint32_t v) {
             if (v >= 5 && v <= 8)
                 c.byteSize = static_cast<std::uint8_t>(v);
         }},
        {"RingsCount", [](const CommsSettings& c) { return c.ringsCount; },
         [](CommsSettings& c, std::uint32_t v) {
             c.ringsCount = std::clamp(v, CommsSettings::kMinRings, CommsSettings::kMaxRings);
         }},
        plain<CommsSettings, bool, &CommsSettings::promptBeforeAnswer>("PromptBeforeAnswer"),
        plain<CommsSettings, bool, &CommsSettings::alwaysListen>("AlwaysListen"),
        plain<CommsSettings, bool, &CommsSettings::speakerOff>("SpeakerOff"),
        plain<CommsSettings, bool, &CommsSettings::playRings>("PlayRings"),
        plain<CommsSettings, std::int32_t, &CommsSettings::xPos>("x_pos"),
        plain<CommsSettings, std::int32_t, &CommsSettings::yPos>("y_pos"),
    },
};

const FieldTable<TonebaySettings> kTonebayFields{
    {{"HomeDir", 0, &TonebaySettings::homeDir}},
    {plain<TonebaySettings, std::uint32_t, &TonebaySettings::commandTimeOut>("CommandTimeOut")},
};

const FieldTable<VideoSettings> kVideoFields{
    {{"Driver", 255, &VideoSettings::driver}},
    {},
    {
        {"AutoSend", &VideoSettings::autoSend},
        {"PromptWhenReceive", &VideoSettings::promptWhenReceive},
        {"ShowVideoWhenRun", &VideoSettings::showVideoWhenRun},
        {"RemoteAlwaysOnTop", &VideoSettings::remoteAlwaysOnTop},
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

GeneralSettings SettingsStore::loadGeneral(const std::string& defaultHome) const {
    GeneralSettings g;
    g.homeDir = defaultHome;
    g.chat = ChatWindowRecord::defaults(metrics_);
    auto settings = open();
    GroupReader key(*settings, subkey("General"));
    g.timeSlice = loadTimeSlice(key, GeneralSettings::kDefaultTimeSlice,
                                GeneralSettings::kTimeSliceWhenValueMissing);
    if (!key.exists())
        return g;
    loadFields(key, kGeneralFields, g);
    if (auto flags = key.bytes("Flags", 5, GeneralSettings::kFlagsBytes))
        g.flagsFromBytes(data(*flags), size(*flags));
    if (auto card = key.bytes("Busniss Card", GeneralSettings::kOwnCardBytes))
        std::copy_n(data(*card), GeneralSettings::kOwnCardBytes, g.ownCard.begin());
    if (auto chat = key.bytes("Chat Settings", ChatWindowRecord::kByteSize))
        g.chat = *ChatWindowRecord::fromBytes(data(*chat), size(*chat));
    return g;
}

bool SettingsStore::storeGeneral(const GeneralSettings& g) {
    if (!mayWrite())
        return false;
    auto settings = open();
    {
        GroupWriter key(*settings, subkey("General"));
        storeFields(key, kGeneralFields, g);
        key.dword("TimeSlice", g.timeSlice);
        key.bytes("Flags", g.flagsToBytes());
        key.bytes("Busniss Card", g.ownCard);
        key.bytes("Chat Settings", g.chat.toBytes());
    }
    return commit(*settings);
}

PlacementRecord SettingsStore::loadPlacement() const {
    auto settings = open();
    GroupReader key(*settings, subkey("General"));
    if (auto b = key.bytes("ScreenSettings", PlacementRecord::kByteSize))
        return *PlacementRecord::fromBytes(data(*b), size(*b));
    return PlacementRecord::defaults(metrics_);
}

bool SettingsStore::storePlacement(const PlacementRecord& placement) {
    if (!mayWrite())
        return false;
    auto settings = open();
    {
        GroupWriter key(*settings, subkey("General"));
        key.bytes("ScreenSettings", placement.toBytes());
    }
    return commit(*settings);
}

CommsSettings SettingsStore::loadComms(const std::string& generalHome) const {
    CommsSettings c;
    c.homeDir = generalHome;
    auto settings = open();
    GroupReader key(*settings, subkey("Comms"));
    c.timeSlice = loadTimeSlice(key, CommsSettings::kDefaultTimeSlice,
                                CommsSettings::kTimeSliceWhenValueMissing);
    if (!key.exists())
        return c;
    loadFields(key, kCommsFields, c);
    if (auto b = key.bytes("NumbersDialed",
                           CommsSettings::kNumbersDialedSlots * CommsSettings::kNumberSlotBytes))
        c.numbersDialed = readNumbersDialed(*b);
    return c;
}

bool SettingsStore::storeComms(const CommsSettings& c) {
    if (!mayWrite())
        return false;
    auto settings = open();
    {
        GroupWriter key(*settings, subkey("Comms"));
        storeFields(key, kCommsFields, c);
        key.dword("TimeSlice", c.timeSlice);
        key.bytes("NumbersDialed", numbersDialedBytes(c.numbersDialed));
    }
    return commit(*settings);
}

TonebaySettings SettingsStore::loadTonebay(const std::string& generalHome) const {
    TonebaySettings t;
    t.homeDir = generalHome;
    auto settings = open();
    GroupReader key(*settings, subkey("Tonebay"));
    t.timeSlice = loadTimeSlice(key, TonebaySettings::kDefaultTimeSlice,
                                TonebaySettings::kTimeSliceWhenValueMissing);
    std::optional<std::string> recDir;
    if (key.exists()) {
        loadFields(key, kTonebayFields, t);
        recDir = key.text("RecDir");
        if (auto flags = key.bytes("Flags", 8, TonebaySettings::kFlagsBytes))
            t.flagsFromBytes(data(*flags), size(*flags));
    }
    t.recDir = withTrailingSeparator(recDir.value_or(joinPath(t.homeDir, "Receive")));
    return t;
}

bool SettingsStore::storeTonebay(const TonebaySettings& t) {
    if (!mayWrite())
        return false;
    auto settings = open();
    {
        GroupWriter key(*settings, subkey("Tonebay"));
        storeFields(key, kTonebayFields, t);
        key.text("RecDir", t.recDir);
        key.dword("TimeSlice", t.timeSlice);
        key.bytes("Flags", t.flagsToBytes());
    }
    return commit(*settings);
}

TransferWindowRecord SettingsStore::loadTransferWindow() const {
    auto settings = open();
    GroupReader key(*settings, subkey("Tonebay"));
    if (auto b = key.bytes("ScreenSettings", TransferWindowRecord::kByteSize))
        return *TransferWindowRecord::fromBytes(data(*b), size(*b));
    return {};
}

bool SettingsStore::storeTransferWindow(const TransferWindowRecord& record) {
    if (!mayWrite())
        return false;
    auto settings = open();
    {
        GroupWriter key(*settings, subkey("Tonebay"));
        key.bytes("ScreenSettings", record.toBytes());
    }
    return commit(*settings);
}

VideoSettings SettingsStore::loadVideo(const std::string& generalHome) const {
    VideoSettings v;
    v.localWindow = VideoSettings::defaultLocalWindow(metrics_);
    v.remoteWindow = VideoSettings::defaultRemoteWindow(metrics_);
    v.snapshotDir = joinPath(generalHome, "Snapshots");
    auto settings = open();
    GroupReader key(*settings, subkey("Video"));
    if (key.exists()) {
        loadFields(key, kVideoFields, v);
        if (auto b = key.bytes("LocalVideo", VideoSettingsRecord::kByteSize))
            v.localVideo = *VideoSettingsRecord::fromBytes(data(*b), size(*b));
        if (auto b = key.bytes("RemoteVideo", VideoSettingsRecord::kByteSize))
            v.remoteVideo = *VideoSettingsRecord::fromBytes(data(*b), size(*b));
        if (auto b = key.bytes("lPos", ScreenRect::kByteSize))
            v.localWindow = *ScreenRect::fromBytes(data(*b), size(*b));
        if (auto b = key.bytes("rPos", ScreenRect::kByteSize))
            v.remoteWindow = *ScreenRect::fromBytes(data(*b), size(*b));
    }
    VideoSettings::applyRangeRules(v.localVideo, false);
    VideoSettings::applyRangeRules(v.remoteVideo, true);
    return v;
}

bool SettingsStore::storeVideo(const VideoSettings& v) {
    if (!mayWrite())
        return false;
    auto settings = open();
    {
        GroupWriter key(*settings, subkey("Video"));
        storeFields(key, kVideoFields, v);
        key.bytes("LocalVideo", v.localVideo.toBytes());
        key.bytes("RemoteVideo", v.remoteVideo.toBytes());
        key.bytes("lPos", v.localWindow.toBytes());
        key.bytes("rPos", v.remoteWindow.toBytes());
    }
    return commit(*settings);
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
