#include "shell/ui/SettingsCommands.h"

#include "platform/posix/AccountNames.h"
#include "platform/posix/SysfsSerialPortLister.h"
#include "settings/Settings.h"
#include "settings/ui/CSetupWizard.h"
#include "shell/CommandRegistry.h"
#include "shell/ui/UserGuide.h"
#include "video/VideoWindowPair.h"

namespace krl {
namespace {

// The Comms fields the settings dialogs edit, laid over the block as it is now: the pump runs
// under a dialog and may have changed the rest (the listening setting, the dialled numbers).
CommsSettings mergeEditedComms(CommsSettings now, const CommsSettings& edited) {
    now.modemName = edited.modemName;
    now.modemFile = edited.modemFile;
    now.portName = edited.portName;
    now.outsideLinePrefix = edited.outsideLinePrefix;
    now.fileInActive = edited.fileInActive;
    now.baudRate = edited.baudRate;
    now.ringsCount = edited.ringsCount;
    now.promptBeforeAnswer = edited.promptBeforeAnswer;
    now.alwaysListen = edited.alwaysListen;
    now.speakerOff = edited.speakerOff;
    now.playRings = edited.playRings;
    return now;
}

}  // namespace

SettingsCommands::SettingsCommands(Settings& settings, VideoWindowPair& video,
                                   std::function<void()> onVideoChanged)
    : settings_(settings), video_(video), onVideoChanged_(std::move(onVideoChanged)) {}

bool SettingsCommands::runSetupWizard(QWidget* owner) {
    // A Linux account records no company (the password database's comment field holds the name,
    // room and phones only): the card's details start with what ORGANIZATION says, else blank.
    SetupWizardLogic logic(settings_.get<CommsSettings>(), settings_.get<VideoSettings>(),
                           settings_.get<GeneralSettings>(), accountFullName(),
                           accountCompanyName());
    CSetupWizard wizard(std::move(logic),
                        {portChoices(SysfsSerialPortLister()), video_.cameraNames(), {}}, owner);
    wizard.setHelp([](WizardPage) { UserGuide().open(HelpWindow::Wizard); });
    if (wizard.exec() != QDialog::Accepted)
        return false;
    const SetupWizardLogic& done = wizard.logic();
    settings_.setAndStore(mergeEditedComms(settings_.get<CommsSettings>(), done.comms()));
    settings_.setAndStore(done.video());
    settings_.setAndStore(done.general());
    if (onVideoChanged_)
        onVideoChanged_();
    return true;
}

bool SettingsCommands::openSettingsSheet(SheetPage page, QWidget* owner) {
    SheetBlocks blocks{settings_.get<GeneralSettings>(), settings_.get<CommsSettings>(),
                       settings_.get<VideoSettings>(), settings_.get<TonebaySettings>()};
    CKestrelSettings::Choices choices{
        portChoices(SysfsSerialPortLister()), video_.cameraNames(), video_.capturing(),
        [this](int control) { video_.videoCommand(static_cast<CommandId>(control)); }};
    CKestrelSettings sheet(std::move(blocks), page, std::move(choices), owner);
    sheet.setHelp([](SheetPage shown) {
        static constexpr HelpWindow kPages[] = {
            HelpWindow::SettingsKestrelcall, HelpWindow::SettingsCamera, HelpWindow::SettingsRemote,
            HelpWindow::SettingsTransfer};
        UserGuide().open(kPages[static_cast<int>(shown)]);
    });
    if (sheet.exec() != QDialog::Accepted)
        return false;
    const SheetBlocks& done = sheet.blocks();
    settings_.setAndStore(done.general);
    settings_.setAndStore(mergeEditedComms(settings_.get<CommsSettings>(), done.comms));
    settings_.setAndStore(done.tonebay);
    settings_.setAndStore(done.video);
    if (onVideoChanged_)
        onVideoChanged_();
    return true;
}

void addSettingsCommands(CommandRegistry& commands, QWidget& owner, Settings& settings,
                         VideoWindowPair& video, std::function<void()> onVideoChanged) {
    auto windows = std::make_shared<SettingsCommands>(settings, video, std::move(onVideoChanged));
    const struct {
        CommandId id;
        SheetPage page;
    } sheet[] = {{CommandId::Options, SheetPage::Kestrelcall},
                 {CommandId::OptionsCamera, SheetPage::Camera},
                 {CommandId::OptionsRemote, SheetPage::RemoteImage},
                 {CommandId::OptionsTransfer, SheetPage::FileTransfer}};
    for (const auto& s : sheet) {
        commands.add(s.id, [windows, &owner, page = s.page] {
            owner.setFocus();
            windows->openSettingsSheet(page, &owner);
        });
    }
    commands.add(CommandId::SetupWizard, [windows, &owner] { windows->runSetupWizard(&owner); });
    commands.add(CommandId::HelpTopics, [] { UserGuide().open(HelpWindow::MainFrame); });
}

}  // namespace krl
