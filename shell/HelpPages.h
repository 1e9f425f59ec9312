#pragma once

#include <array>
#include <string_view>

namespace krl {

// Every window with a Help entry and the user guide page it opens: one table, so each window
// asks for its own page and a test can see that every page named here is shipped.
enum class HelpWindow {
    MainFrame,
    Messages,
    Chat,
    FileTransfer,
    Wizard,
    SettingsKestrelcall,
    SettingsCamera,
    SettingsRemote,
    SettingsTransfer,
    Video,
    AddressBook,
    AddressBookEntry,
    AddressBookCards,
};

struct HelpPage {
    HelpWindow window;
    std::string_view page;  // file of the guide, optionally "#part" (an id on that page)
};

inline constexpr std::array<HelpPage, 13> kHelpPages{{
    {HelpWindow::MainFrame, "index.html"},
    {HelpWindow::Messages, "messages.html"},
    {HelpWindow::Chat, "chat.html"},
    {HelpWindow::FileTransfer, "transfer.html"},
    {HelpWindow::Wizard, "wizard.html"},
    {HelpWindow::SettingsKestrelcall, "settings.html#kestrelcall"},
    {HelpWindow::SettingsCamera, "settings.html#camera"},
    {HelpWindow::SettingsRemote, "settings.html#remote"},
    {HelpWindow::SettingsTransfer, "settings.html#transfer"},
    {HelpWindow::Video, "video.html"},
    {HelpWindow::AddressBook, "addressbook.html#book"},
    {HelpWindow::AddressBookEntry, "addressbook.html#entry"},
    {HelpWindow::AddressBookCards, "addressbook.html#cards"},
}};

constexpr std::string_view helpPage(HelpWindow window) {
    for (const HelpPage& p : kHelpPages)
        if (p.window == window)
            return p.page;
    return "index.html";
}

}  // namespace krl
