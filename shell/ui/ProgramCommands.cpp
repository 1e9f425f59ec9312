#include "shell/ui/ProgramCommands.h"

#include "base/Cp1252.h"
#include "resources/StringTable.h"
#include "settings/GeneralSettings.h"
#include "settings/Settings.h"
#include "shell/CallCommands.h"
#include "shell/CallController.h"
#include "shell/CommandRegistry.h"
#include "shell/ui/CAboutDialog.h"
#include "shell/ui/CMainFrame.h"
#include "shell/ui/SettingsCommands.h"
#include "video/VideoSettings.h"
#include "video/VideoWindowPair.h"

namespace krl {
void addProgramCommands(CommandRegistry& commands, CMainFrame& frame, CallController& call,
                        Settings& settings, VideoWindowPair& video) {
    // A modem's Dial opens the connect dialog once AddressBookCommands has added it.
    addCallCommands(commands, call, {[&frame] { return frame.connectType(); }, {}});
    frame.addCommands(commands);
    commands.add(CommandId::About, [&frame] {
        CAboutDialog about(
            StringTable::builtIn(), [&frame] { frame.runCommand(CommandId::Statistics); }, &frame);
        about.exec();
    });
    addSettingsCommands(commands, frame, settings, video, [&call, &settings, &video] {
        video.setup(call.connection(), settings.get<VideoSettings>(),
                    settings.get<GeneralSettings>().homeDir);
    });

    commands.add(CommandId::Video, [&frame, &call, &settings, &video] {
        frame.setFocus();
        video.setup(call.connection(), settings.get<VideoSettings>(),
                    settings.get<GeneralSettings>().homeDir);
        video.start();
    });
    commands.add(CommandId::Statistics, [&call, &settings, &video] {
        // A cable reports no connect speed: its port rate is the line's.
        const std::uint32_t connectSpeed = call.connection().lastConnectSpeed();
        const std::uint32_t speed =
            connectSpeed != 0 ? connectSpeed : settings.get<CommsSettings>().baudRate;
        const auto& card = call.remoteCard();
        video.showStatistics(speed, card ? cp1252ToUtf8(card->name) : "",
                             card ? cp1252ToUtf8(card->phone) : "");
    });
    for (CommandId id : video.commands())
        commands.add(id, [&video, id] { video.videoCommand(id); });
}

}  // namespace krl
