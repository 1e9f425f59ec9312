// The settings file as the program finds it on disk, whatever is in it: every block loads
// within its rules (the defaults where a value is missing, damaged or of the wrong size), and
// what loaded can be stored and loads again the same; the file the store writes is never judged
// damaged.
#include <unistd.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fakes/TempFolder.h"
#include "platform/qt/SettingsStore.h"

namespace {

namespace fs = std::filesystem;

void require(bool condition) {
    if (!condition)
        std::abort();
}

struct Loaded {
    krl::GeneralSettings general;
    krl::PlacementRecord placement;
    krl::CommsSettings comms;
    krl::TonebaySettings tonebay;
    krl::TransferWindowRecord transfer;
    krl::VideoSettings video;
};

Loaded loadAll(const krl::SettingsStore& store) {
    Loaded l;
    l.general = store.loadGeneral("/home/user/.local/share/Kestrelcall");
    l.placement = store.loadPlacement();
    l.comms = store.loadComms(l.general.homeDir);
    l.tonebay = store.loadTonebay(l.general.homeDir);
    l.transfer = store.loadTransferWindow();
    l.video = store.loadVideo(l.general.homeDir);
    return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A new file name each time: the settings reader keeps files it has parsed by name.
    // Removed with what is left in it when the fuzzer ends.
    static const krl::test::TempFolder scratch;
    const fs::path& folder = scratch.path();
    static unsigned long serial = 0;
    const fs::path path = folder / ("settings" + std::to_string(++serial) + ".ini");
    const fs::path again = folder / ("again" + std::to_string(serial) + ".ini");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    // A regular file the fuzzer may write is usable or damaged, never unreadable or read-only.
    krl::SettingsStore store(QString::fromStdString(path.string()));
    const std::optional<krl::Message> told = store.examine();
    require(!told || told->id == krl::kSettingsDamagedMessage);
    const Loaded l = loadAll(store);
    require(l.general.timeSlice != 0 && l.comms.timeSlice != 0 && l.tonebay.timeSlice != 0);
    require(!l.tonebay.recDir.empty() && l.tonebay.recDir.back() == '/');
    const auto machine =
        krl::SettingsStore::loadMachineValues(QString::fromStdString(path.string()));
    require(machine.userName.size() <= 254 && machine.companyName.size() <= 254);

    krl::SettingsStore copy(QString::fromStdString(again.string()));
    require(copy.storeGeneral(l.general) && copy.storePlacement(l.placement) &&
            copy.storeComms(l.comms) && copy.storeTonebay(l.tonebay) &&
            copy.storeTransferWindow(l.transfer) && copy.storeVideo(l.video));
    const Loaded back = loadAll(copy);
    require(back.general.homeDir == l.general.homeDir && back.comms.portName == l.comms.portName &&
            back.comms.baudRate == l.comms.baudRate && back.tonebay.recDir == l.tonebay.recDir &&
            back.video.localVideo.toBytes() == l.video.localVideo.toBytes() &&
            back.general.ownCard == l.general.ownCard);
    // What the store writes is never taken for a damaged file.
    require(!krl::SettingsStore(QString::fromStdString(again.string())).examine());
    fs::remove(path.string() + krl::SettingsStore::kDamagedSuffix);
    fs::remove(path);
    fs::remove(again);
    return 0;
}
