#include <QProcessEnvironment>

#include "chat/ui/ChatTestCommands.h"
#include "platform/qt/LineCommandServer.h"
#include "shell/app/TestChannel.h"
#include "shell/ui/CardTestCommands.h"
#include "shell/ui/FrameTestCommands.h"
#include "transfer/ui/TransferTestCommands.h"
#include "video/ui/VideoTestCommands.h"

namespace krl {

std::unique_ptr<QObject> openTestChannel(const TestChannelParts& parts) {
    const QString name = qEnvironmentVariable("KRL_TEST_CHANNEL");
    if (name.isEmpty())
        return nullptr;
    auto channel = std::make_unique<LineCommandServer>();
    addFrameTestCommands(*channel, parts.frame, parts.call);
    addCardTestCommands(*channel, parts.frame, parts.call);
    if (parts.video != nullptr)
        addVideoTestCommands(*channel, *parts.video);
    if (parts.chat != nullptr)
        addChatTestCommands(*channel, *parts.chat);
    if (parts.transfer != nullptr)
        addTransferTestCommands(*channel, *parts.transfer);
    if (!channel->listen(name))
        qWarning("kestrelcall: cannot open the test channel %s", qPrintable(name));
    return channel;
}

}  // namespace krl
