#pragma once

namespace krl {

class ChatWindows;
class LineCommandServer;

// The test channel's verb "chat" for the chat window (built only into the testable program,
// never into the shipped one):
//
//   chat open                the Chat command
//   chat window              1 while the chat window exists
//   chat say TEXT            types TEXT into the input field and presses Enter
//   chat log                 the log's lines as shown, each "RRGGBB text", TAB-separated
//   chat title               the window title
//   chat capture PATH|off    starts capturing to PATH without the file dialog, or stops
//   chat grab FILE           saves a picture of the window
//   chat close               closes the window as its Close does
void addChatTestCommands(LineCommandServer& channel, ChatWindows& windows);

}  // namespace krl
