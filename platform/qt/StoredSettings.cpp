#include "platform/qt/StoredSettings.h"

#include "platform/qt/SettingsStore.h"
#include "settings/Settings.h"

namespace krl {

void addStoredBlocks(Settings& settings, SettingsStore& store, const std::string& home) {
    settings.add<PlacementRecord>(
        {[&store] { return store.loadPlacement(); },
         [&store](const PlacementRecord& p) { return store.storePlacement(p); }});
    settings.add<GeneralSettings>(
        {[&store, home] {
             GeneralSettings g = store.loadGeneral(home);
             g.homeDir = home;
             return g;
         },
         [&store](const GeneralSettings& g) { return store.storeGeneral(g); }});
    settings.add<CommsSettings>({[&store, home] {
                                     CommsSettings c = store.loadComms(home);
                                     if (c.homeDir.empty())
                                         c.homeDir = home;
                                     return c;
                                 },
                                 [&store](const CommsSettings& c) { return store.storeComms(c); }});
    settings.add<TonebaySettings>(
        {[&store, home] { return store.loadTonebay(home); },
         [&store](const TonebaySettings& t) { return store.storeTonebay(t); }});
    settings.add<TransferWindowRecord>(
        {[&store] { return store.loadTransferWindow(); },
         [&store](const TransferWindowRecord& r) { return store.storeTransferWindow(r); }});
    settings.add<VideoSettings>({[&store, home] { return store.loadVideo(home); },
                                 [&store](const VideoSettings& v) { return store.storeVideo(v); }});
}

}  // namespace krl
