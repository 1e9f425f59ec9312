#pragma once

#include <QObject>
#include <memory>

namespace krl {

class CMainFrame;
class CallController;
class ChatWindows;
class TransferFeature;
class VideoWindows;

struct TestChannelParts {
    CMainFrame& frame;
    CallController& call;
    VideoWindows* video = nullptr;  // none when the windows could not be made
    ChatWindows* chat = nullptr;
    TransferFeature* transfer = nullptr;
};

// The testable program opens its line-command test channel here when KRL_TEST_CHANNEL names a
// socket; each part of the program adds its own verbs. The shipped program is linked with a
// version that opens nothing, so no test code is in it.
std::unique_ptr<QObject> openTestChannel(const TestChannelParts& parts);

}  // namespace krl
