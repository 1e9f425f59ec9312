#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "base/FrameMetrics.h"
#include "base/MessagePresenter.h"
#include "connection/CommsSettings.h"
#include "settings/GeneralSettings.h"
#include "shell/PlacementRecord.h"
#include "transfer/TonebaySettings.h"
#include "transfer/TransferWindowRecord.h"
#include "video/VideoSettings.h"

class QSettings;

namespace krl {

namespace settings_ini {
template <class Block>
struct BlockTable;
}

inline constexpr int kSettingsUnreadableMessage = 4270;  // "The settings file (%s) cannot be read."
inline constexpr int kSettingsDamagedMessage = 4280;     // "The settings file (%s) is damaged."
inline constexpr int kSettingsReadOnlyMessage = 4290;    // "... is read-only."

// The program's persistent settings: one INI file standing in for the registry key
// software\Brightmar\Kestrelcall\1.000.0, with a group for the key and one for each of its
// subkeys General, Comms, Tonebay and Video. Byte records are stored as byte arrays of their
// exact sizes.
//
// Loads start from the defaults and take each value that is present and readable; a value of
// the wrong type or size counts as missing. A few defaults depend on whether the block's key
// exists at all (TimeSlice, BaudeRate). Stores write every value of the block and replace the
// file as a whole (written beside it, then renamed), so a crash never leaves it half-written.
// A store that cannot write returns false and leaves the previous file as it was; what the user
// is told comes from examine(), once, at start.
class SettingsStore {
public:
    // The group that stands for the registry key.
    static const QString kRootGroup;

    // iniPath: the settings file, normally HomeFolders::settingsFile(). metrics: the window
    // decoration sizes the default window rectangles derive from.
    explicit SettingsStore(const QString& iniPath, FrameMetrics metrics = {});
    QString fileName() const;

    // Looks at the file as it stands, before the first load, and tells what the user must know:
    // - kSettingsUnreadableMessage, it cannot be read (no permission, or a folder or FIFO in its
    // place): the store
    //   leaves it alone from then on; loads give the defaults and stores fail;
    // - kSettingsDamagedMessage, it is damaged (cut mid-line, or lines no settings file holds): its
    // bytes are kept
    //   beside it under kDamagedSuffix, then it is read as far as it goes and replaced by the
    //   next store (the unreadable message instead when the copy cannot be made);
    // - kSettingsReadOnlyMessage, it is read-only (no write permission bit, which counts for root
    // too): loads read
    //   it and stores fail;
    // and nothing for a usable or missing file.
    std::optional<Message> examine();
    static constexpr const char* kDamagedSuffix = ".damaged";

    // defaultHome: the home folder to use when none is stored.
    GeneralSettings loadGeneral(const std::string& defaultHome) const;
    bool storeGeneral(const GeneralSettings& general);

    // The main frame's placement record (ScreenSettings of the General key).
    PlacementRecord loadPlacement() const;
    bool storePlacement(const PlacementRecord& placement);

    // generalHome: the General block's home folder, the default of the Comms home.
    CommsSettings loadComms(const std::string& generalHome) const;
    bool storeComms(const CommsSettings& comms);

    // generalHome: the General block's home folder, the default of the Tonebay home. The
    // receive folder defaults to the Tonebay home followed by "Receive" and always ends with
    // '/'. The window-state record is not part of the block (see loadTransferWindow).
    TonebaySettings loadTonebay(const std::string& generalHome) const;
    bool storeTonebay(const TonebaySettings& tonebay);

    // The file transfer window's state record (ScreenSettings of the Tonebay key).
    TransferWindowRecord loadTransferWindow() const;
    bool storeTransferWindow(const TransferWindowRecord& record);

    // generalHome: the General block's home folder; the snapshot folder is built from it.
    VideoSettings loadVideo(const std::string& generalHome) const;
    bool storeVideo(const VideoSettings& video);

    // The two values the installation writes under the machine-wide key; the program only reads
    // them. A value that cannot be read gives a single blank. At most 254 bytes each.
    struct MachineValues {
        std::string userName = " ";
        std::string companyName = " ";
    };
    static MachineValues loadMachineValues(const QString& machineIniPath);

private:
    // A settings object of its own for every load and store: a failed write or a damaged file
    // seen once must not colour the result of the next operation.
    std::unique_ptr<QSettings> open() const;
    static bool commit(QSettings& settings);
    bool mayWrite() const;
    // Every block is loaded and stored by these two, walking the block's table of values.
    template <class Block>
    Block load(const settings_ini::BlockTable<Block>& table, Block defaults) const;
    template <class Block>
    bool store(const settings_ini::BlockTable<Block>& table, const Block& block);

    QString path_;
    FrameMetrics metrics_;
    bool leftAlone_ = false;  // the file could not be read: never opened again
    bool readOnly_ = false;
};

}  // namespace krl
