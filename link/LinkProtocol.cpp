#include "link/LinkProtocol.h"

#include "base/MessagePresenter.h"
#include "base/ReceivedName.h"
#include "link/ExtensionFrames.h"
#include "resources/StringTable.h"

namespace krl {
namespace {

constexpr std::size_t kMaxChatFrame = 15360;  // payload + 6 must stay below

std::string_view untilNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace

LinkProtocol::LinkProtocol(ProtocolPort& port, const StringTable& strings,
                           MessagePresenter& messages)
    : port_(port),
      tags_(strings),
      sender_(port, tags_, messages),
      receiver_(port, tags_, messages),
      video_(port, tags_) {
    sender_.setCardPictureSentHandler([this] { cardPictureSent_ = true; });
    receiver_.setCardPictureReceivedHandler([this](const std::string& name) {
        cardPictureReceived_ = true;
        cardPictureName_ = name;
    });
    setCommandTimeoutMs(timeoutMs_);
}

void LinkProtocol::setCommandTimeoutMs(std::uint64_t ms) {
    timeoutMs_ = ms;
    sender_.setCommandTimeoutMs(ms);
    receiver_.setCommandTimeoutMs(ms);
}

void LinkProtocol::setListener(LinkListener* listener) {
    listener_ = listener;
    sender_.setListener(listener);
    receiver_.setListener(listener);
}

void LinkProtocol::setChatListener(ChatListener* chat) {
    chat_ = chat;
    if (chat_ != nullptr)
        chat_->remoteName(received_.name);
}

// --- receiving ---------------------------------------------------------------------------

void LinkProtocol::onCommandFrame(std::string_view payload) {
    if (extensionEnabled_ && extension::looksLikeCommand(payload)) {
        onExtensionCommand(payload);
        return;
    }
    auto command = tags_.match(payload);
    if (!command)
        return;  // unrecognised: ignored, not logged
    dispatch(*command, payload);
}

void LinkProtocol::announceExtension() {
    if (!extensionEnabled_ || hereSent_)
        return;
    hereSent_ = true;
    const std::string here = extension::commandPayload({extension::Verb::Here});
    port_.writeCommand(here);
    port_.logSent(here);
    peerHasExtension();
}

void LinkProtocol::peerHasExtension() {
    sender_.setExtensionActive(extensionActive());
    receiver_.setExtensionActive(extensionActive());
}

void LinkProtocol::onExtensionCommand(std::string_view payload) {
    auto command = extension::parseCommand(payload);
    if (!command)
        return;  // damaged on the way
    // Whatever the peer sends of the extension shows that it announced it.
    peerHere_ = true;
    switch (command->verb) {
        case extension::Verb::Here:
            port_.logReceived(payload);
            break;
        case extension::Verb::Take:
            port_.logReceived(payload);
            if (hereSent_)
                sender_.onTake(command->first, static_cast<std::uint32_t>(command->second));
            break;
        case extension::Verb::Ack:
            if (hereSent_)
                sender_.onWindowAck(command->first, command->second);
            break;
    }
    announceExtension();
    peerHasExtension();
}

void LinkProtocol::dispatch(LinkCommand command, std::string_view payload) {
    switch (command) {
        case LinkCommand::SendFile:
        case LinkCommand::SendCardPicture:
        case LinkCommand::SendClipboard:
            receiver_.onOffer(payload);
            return;
        case LinkCommand::FileCheck:
            receiver_.onFileCheck(payload);
            return;
        case LinkCommand::MyCard:
            onCard(payload);
            return;
        default:
            break;
    }
    port_.logReceived(untilNul(payload));
    switch (command) {
        case LinkCommand::StopSending:
            receiver_.onSenderStopped();
            break;
        case LinkCommand::DoNotSend:
            sender_.onRefused();
            break;
        case LinkCommand::OkForSend:
            port_.greetingAnswered();
            sender_.onAccepted();
            break;
        case LinkCommand::BlockOk:
            sender_.onBlockConfirmed();
            break;
        case LinkCommand::BlockNotOk:
            sender_.onBlockRejected();
            break;
        case LinkCommand::Disconnect:
            onDisconnect();
            break;
        case LinkCommand::VideoOpen:
            port_.greetingAnswered();
            video_.onCommand(static_cast<int>(command), payload, isOnHold());
            if (listener_ != nullptr)
                listener_->videoOffered();
            break;
        case LinkCommand::OkVideoOpen:
            port_.greetingAnswered();
            video_.onCommand(static_cast<int>(command), payload, isOnHold());
            break;
        case LinkCommand::NoVideoOpen:
        case LinkCommand::CloseYourVideo:
        case LinkCommand::CloseMyVideo:
        case LinkCommand::MyVideoSettings:
        case LinkCommand::YourVideoSettings:
        case LinkCommand::VideoPause:
        case LinkCommand::VideoResume:
        case LinkCommand::KeyFrameError:
            video_.onCommand(static_cast<int>(command), payload, isOnHold());
            break;
        case LinkCommand::HoldCall:
            onRemoteHold(true);
            break;
        case LinkCommand::CancelHoldCall:
            onRemoteHold(false);
            break;
        case LinkCommand::Hello:
            sendCommand(LinkCommand::HelloOk);
            announceExtension();  // the greeting is done: the peer is there
            if (listener_ != nullptr)
                listener_->greetingReceived();
            break;
        case LinkCommand::CardReceived:
            port_.greetingAnswered();
            cardWaiting_ = false;
            cardDelivered_ = true;
            if (listener_ != nullptr)
                listener_->cardDelivered();
            break;
        case LinkCommand::Page:
            if (listener_ != nullptr)
                listener_->pageReceived();
            break;
        case LinkCommand::HelloOk:
            port_.greetingAnswered();
            announceExtension();
            break;
        default:
            break;  // "<VIDEOPALETTE>": logged, nothing else
    }
}

void LinkProtocol::onCard(std::string_view payload) {
    port_.logReceived(untilNul(payload));
    auto card = parseCardPayload(payload, tags_);
    if (!card)
        return;
    received_ = std::move(*card);
    cardReceived_ = true;
    sendCommand(LinkCommand::CardReceived);
    if (chat_ != nullptr)
        chat_->remoteName(received_.name);
    if (listener_ != nullptr)
        listener_->cardArrived();
}

void LinkProtocol::onRemoteHold(bool on) {
    auto apply = [on](std::uint8_t& hold) {
        hold = on ? std::uint8_t(hold | kRemoteHold) : std::uint8_t(hold & ~kRemoteHold);
    };
    if (video_.incoming() != IncomingVideoState::Idle)
        apply(holdIn_);
    if (video_.outgoing() != OutgoingVideoState::Idle)
        apply(holdOut_);
    notifyHold(HoldSide::Remote, on);
}

void LinkProtocol::notifyHold(HoldSide side, bool on) {
    for (VideoListener* video : {localVideo_, remoteVideo_}) {
        if (video != nullptr)
            video->holdChanged(side, on);
    }
    if (listener_ != nullptr)
        listener_->holdChanged(side, on);
}

void LinkProtocol::onDisconnect() {
    peerDisconnected_ = true;
    sender_.onPeerDisconnected();
    receiver_.onPeerDisconnected();
    video_.onPeerDisconnected();
    if (listener_ != nullptr)
        listener_->peerDisconnected();
}

void LinkProtocol::onFileBlockFrame(const CheckField& check, const std::uint8_t* payload,
                                    std::size_t length) {
    receiver_.onBlock(check, payload, length);
}

void LinkProtocol::onVideoFrame(bool keyFrame, const CheckField& check, const std::uint8_t* payload,
                                std::size_t length) {
    video_.onFrame(keyFrame, check, payload, length);
}

void LinkProtocol::onChatFrame(const std::uint8_t* payload, std::size_t length) {
    std::string_view text(reinterpret_cast<const char*>(payload), length);
    if (chat_ == nullptr && listener_ != nullptr)
        listener_->chatWindowWanted();
    if (chat_ != nullptr)
        chat_->chatText(text);
}

void LinkProtocol::runSteps() {
    sender_.setVideoSending(video_.outgoing() == OutgoingVideoState::Sending);
    sender_.step();
    receiver_.step();
    if (cardWaiting_ && port_.nowMs() - cardSentMs_ > timeoutMs_)
        sendCard();
}

void LinkProtocol::stopTransfers(StopCause cause) {
    if (sender_.active() || sender_.state() == SendState::FileSet)
        sender_.stop(cause);
    receiver_.stop(cause);
}

void LinkProtocol::resetCall() {
    peerDisconnected_ = false;
    sender_.resetForCall();
    receiver_.resetForCall();
    video_.resetForCall();
    holdIn_ = holdOut_ = 0;
    outgoingCard_ = BusinessCard{};
    received_ = BusinessCard{};
    cardReceived_ = cardWaiting_ = cardDelivered_ = false;
    cardPictureSent_ = cardPictureReceived_ = false;
    cardPictureName_.clear();
    cardSentMs_ = 0;
    hereSent_ = peerHere_ = false;
    peerHasExtension();
    if (chat_ != nullptr)
        chat_->remoteName(received_.name);
}

// --- sending -----------------------------------------------------------------------------

void LinkProtocol::sendCommand(LinkCommand command) {
    port_.writeCommand(tags_.tag(command));
    port_.logSent(tags_.tag(command));
}

void LinkProtocol::sendCard(const BusinessCard* card) {
    if (card != nullptr)
        outgoingCard_ = *card;
    std::string payload = buildCardPayload(outgoingCard_, tags_);
    port_.writeCommand(payload);
    port_.logSent(payload);
    cardWaiting_ = true;
    cardSentMs_ = port_.nowMs();
}

void LinkProtocol::sendDisconnect() {
    sendCommand(LinkCommand::Disconnect);
}

void LinkProtocol::setHold(HoldSide side, bool on) {
    if (side == HoldSide::Remote) {
        onRemoteHold(on);
        return;
    }
    sendCommand(on ? LinkCommand::HoldCall : LinkCommand::CancelHoldCall);
    if (on) {
        holdIn_ |= kLocalHold;
        holdOut_ |= kLocalHold;
    } else {
        holdIn_ &= static_cast<std::uint8_t>(~kLocalHold);
        holdOut_ &= static_cast<std::uint8_t>(~kLocalHold);
    }
    notifyHold(HoldSide::Local, on);
}

void LinkProtocol::sendPage() {
    sendCommand(LinkCommand::Page);
}

int LinkProtocol::sendChat(std::string_view text) {
    if (text.size() + 6 >= kMaxChatFrame)
        return 0;
    long n = port_.writeFrame(FrameType::Chat,
                              {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                              CheckField{});
    return n >= static_cast<long>(text.size()) ? 1 : 0;
}

void LinkProtocol::readReceivedCard(BusinessCard& into) {
    into.name = received_.name;
    into.phone = received_.phone;
    into.details = received_.details;
    if (cardPictureReceived_ && !cardPictureName_.empty()) {
        into.picture += cardPictureName_;
        cardPictureReceived_ = false;
        cardPictureSent_ = false;
    }
    cardReceived_ = false;
}

}  // namespace krl
