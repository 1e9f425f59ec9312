#pragma once

namespace krl {

class CMainFrame;
class CallController;
class LineCommandServer;

// The test channel's verbs for the main frame and the program's dialogs, read from the window
// tree as a user would see it (built only into the testable program, never into the shipped one):
//
//   status                  the status line's text
//   state                   the connection state number
//   command N               runs command N as its menu entry would (answers "ok" first)
//   key SEQUENCE            presses an accelerator ("Ctrl+D") as accelerator table 128 does
//   messages                the numbers of the open message dialogs, oldest first
//   answer yes|no|ok|cancel|retry   presses that button on the newest message dialog
//   modal                   the modal dialog in front ("CSetupWizard Page159", "CKestrelSettings")
//   set ID TEXT             sets control idID of that dialog (list entry, text, check 1/0, number)
//   press next|back|finish|ok|cancel   presses that button of that dialog
//   placeholders            the features of the open placeholder windows
//   queued                  the files the file transfer window holds, TAB-separated
//   card                    1 when the card panel is shown
//   dialing                 1 while the dialing window is up
//   grab frame|dialing|message|modal FILE   saves a picture of that window
//   quit                    exits as the Exit command does
void addFrameTestCommands(LineCommandServer& channel, CMainFrame& frame, CallController& call);

}  // namespace krl
