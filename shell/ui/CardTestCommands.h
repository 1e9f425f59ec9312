#pragma once

namespace krl {

class CMainFrame;
class CallController;
class LineCommandServer;

// The test channel's verbs for the connect dialog, the address book windows and the cards
// (built only into the testable program):
//
//   pick TEXT               selects the tree node named TEXT in the modal dialog
//   click ID                clicks button idID of the modal dialog
//   text ID TEXT            types TEXT into the text box idID of the modal dialog
//   cardpicture PATH        makes PATH the picture of the card the modal editor edits
//   remote                  the peer's card: name, phone and picture path, TAB-separated
//   remotepicture           1 when the card panel shows a picture of the peer's
void addCardTestCommands(LineCommandServer& channel, CMainFrame& frame, CallController& call);

}  // namespace krl
