#pragma once

namespace krl {

class LineCommandServer;
class TransferFeature;

// The test channel's verbs for the file transfer (built only into the testable program, never
// into the shipped one). Paths are separated by TABs.
//
//   queued                           the queued files, TAB-separated
//   transfer drop<TAB>PATH...        the files as a drop gives them
//   transfer open | close | window   opens, closes (as its close box) or asks for the window
//   transfer clipboard               Send Clipboard Contents
//   transfer details 1|0             shows or hides the details area
//   transfer sending | receiving     name, percentage and rate as that side's pane shows them
//   transfer history sent|received   "path;party" of each line of that history, TAB-separated
//   transfer show sent|received      opens that history dialog
//   transfer modal                   the object name of the modal dialog in front
//   transfer set ID TEXT             sets edit idID of that dialog
//   transfer select ROW... | rows    selects rows of that dialog's list | counts them
//   transfer note                    the note of the Received File Exists dialog
//   transfer press ID|ok|cancel      presses a button of that dialog
//   transfer grab window|modal FILE  saves a picture of the window or the dialog
void addTransferTestCommands(LineCommandServer& channel, TransferFeature& transfer);

}  // namespace krl
