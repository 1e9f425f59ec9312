#include "shell/CallController.h"

#include <algorithm>
#include <utility>

#include "addressbook/CardRecord.h"
#include "settings/GeneralSettings.h"
#include "video/VideoWindowPair.h"

namespace krl {

CallController::CallController(Services services)
    : ticks_(services.ticks),
      messages_(services.messages),
      settings_(services.settings),
      host_(services.host),
      cardFolder_(std::move(services.cardFolder)),
      connection_(services.devices, services.ticks, services.strings, services.messages) {
    connection_.protocol().setListener(this);
    connection_.protocol().setChatListener(this);
    connection_.protocol().setCardPictureFolder(cardFolder_);
    connection_.applySettings(settings_.get<CommsSettings>());
    commsSubscription_ = settings_.subscribe<CommsSettings>(
        [this](const CommsSettings& comms) { settingsChanged(comms); });
    connection_.setListeningStoppedHandler([this] {
        settings_.update<CommsSettings>([](CommsSettings& c) { c.alwaysListen = false; });
    });
    connection_.setPortOpenAbandonedHandler([this](MessageAnswer answer) {
        // Runs inside the pump or inside the question's answer. From here until the Modem
        // dialog is done and the operation tried again, nothing starts another attempt: no
        // listen restart, so no second question, and so no second Modem dialog.
        if (answer == MessageAnswer::Ok && !exiting_)
            retry_.phase = RetryPhase::Editing;
        const LivenessToken::Watch watch = liveness_.watch();
        host_.post([this, watch, answer] {
            if (watch.alive())
                portAbandoned(answer);
        });
    });
}

CallController::~CallController() {
    liveness_.end();
    connection_.protocol().setListener(nullptr);
    connection_.protocol().setChatListener(nullptr);
    connection_.setPortOpenAbandonedHandler({});
    connection_.setListeningStoppedHandler({});
}

void CallController::addListener(CallListener* listener) {
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void CallController::removeListener(CallListener* listener) {
    std::erase(listeners_, listener);
}

template <class F>
void CallController::each(F&& f) {
    // A listener may add or remove listeners: call a copy of the list.
    const std::vector<CallListener*> now = listeners_;
    for (CallListener* l : now) {
        if (std::find(listeners_.begin(), listeners_.end(), l) != listeners_.end())
            f(*l);
    }
}

void CallController::chatText(std::string_view text) {
    if (text.empty())
        return;
    const LivenessToken::Watch watch = liveness_.watch();
    host_.post([this, watch, received = Cp1252Text(text)] {
        if (watch.alive())
            each([&received](CallListener& l) { l.chatArrived(received); });
    });
}

bool CallController::sendChat(const Cp1252Text& text) {
    if (connection_.state() != ConnectionState::Connected)
        return false;
    return connection_.protocol().sendChat(text.bytes()) > 0;
}

void CallController::settingsChanged(const CommsSettings& comms) {
    // The connection's own copy already follows what it changed itself (alwaysListen off).
    if (comms == connection_.settings())
        return;
    connection_.applySettings(comms);
    followState();
}

void CallController::start() {
    const CommsSettings& comms = settings_.get<CommsSettings>();
    connection_.applySettings(comms);
    connection_.protocol().setCommandTimeoutMs(comms.commandTimeOut);
    started_ = true;
    lastPumpMs_ = ticks_.nowMs();
    followState();
}

// --- the pump -----------------------------------------------------------------------------

void CallController::idleStep() {
    if (!started_)
        return;
    // A step already running further up (a window it opened runs the event loop) is left
    // alone; the timers come back here.
    PumpGuard::Scope scope(guard_);
    if (!scope.entered())
        return;
    // Video frames and file blocks each go out only while the line holds little, so whichever
    // steps first at a drained line takes it: the two take turns at going first (video always
    // first let a line-bound picture keep every file block waiting for the whole call).
    videoFirst_ = !videoFirst_;
    if (videoPair_ && videoFirst_)
        videoPair_->idle();
    const std::uint64_t now = ticks_.nowMs();
    if (FrameLogic::pumpDue(connection_.displayState(), now, lastPumpMs_)) {
        framePumpStep(host_.modalOpen() ? PumpVariant::Light : PumpVariant::Full);
        lastPumpMs_ = connection_.displayState() == DisplayState::Connected ? 0 : now;
    }
    if (videoPair_)
        videoPair_->idle();
}

void CallController::pumpStep() {
    PumpGuard::Scope scope(guard_);
    if (!scope.entered() || !started_)
        return;
    framePumpStep(PumpVariant::Light);
    host_.portChanged();
}

void CallController::framePumpStep(PumpVariant variant) {
    const PumpResult result = connection_.pump();
    const PumpReaction r = FrameLogic::reactTo(result, variant);
    if (r.end)
        endCall(*r.end, false);
    if (r.message)
        messages_.show(Message{*r.message, MessageKind::Acknowledgment, std::nullopt, std::nullopt},
                       {});
    if (r.callMade) {
        cardOnConnectPending_ = settings_.get<GeneralSettings>().sendCardOnConnect();
        each([](CallListener& l) { l.callMade(); });
    }
    if (r.handResultToTransferWindow)
        each([result](CallListener& l) { l.pumped(result); });
    if (r.openTransferWindowIfPeerSends) {
        // Told once for each file the peer starts sending.
        const TransferStatus status = connection_.protocol().receiver().status();
        const bool offered = status.state == 2 && status.kind >= 0;
        if (offered && !offerNoticed_)
            each([](CallListener& l) { l.fileOffered(); });
        offerNoticed_ = offered;
    }
    if (r.connectedStep)
        connectedStep();
    if (r.updateStatusAndButtons)
        followState();
    if (r.inactivityCheck && connection_.idleTimeUp()) {
        endCall(CallEnd::Idle, false);
        messages_.show(
            Message{Connection::kMsgIdle, MessageKind::Acknowledgment, std::nullopt, std::nullopt},
            {});
    }
    if (result != PumpResult::Ok || r.end)
        host_.portChanged();
}

void CallController::connectedStep() {
    if (connection_.state() != ConnectionState::Connected)
        return;
    LinkProtocol& protocol = connection_.protocol();
    // The card waits for the peer's answer to the greeting: bytes sent before the peer's link is
    // up are read as modem answers there and lost, and the card would go again only after the
    // command time-out.
    if ((cardOnConnectPending_ || cardPicturePending_) && connection_.greeting().answered)
        sendPendingCard();
    if (protocol.cardReceived()) {
        BusinessCard card;
        card.picture = cardFolder_;
        protocol.readReceivedCard(card);
        remoteCard_ = card;
        callCardFlags_ |= kRemoteCardReceived;
        each([&card](CallListener& l) { l.cardReceived(card); });
    }
    // The peer's picture is on its way: the progress dialog shows it, once a picture.
    const TransferStatus receiving = protocol.receiver().status();
    const bool arriving =
        receiving.state == static_cast<int>(ReceiveState::Receiving) && receiving.kind < 0;
    if (arriving && !cardPictureArriving_)
        each([](CallListener& l) { l.cardTransferStarted(); });
    cardPictureArriving_ = arriving;
}

void CallController::sendPendingCard() {
    LinkProtocol& protocol = connection_.protocol();
    const GeneralSettings& general = settings_.get<GeneralSettings>();
    const CardRecord own = CardRecord::fromBytes(general.ownCard.data(), general.ownCard.size());
    if (cardOnConnectPending_ && !own.name.empty())
        protocol.sendCard(&own);
    cardOnConnectPending_ = false;
    callCardFlags_ |= kOwnCardSent;
    if (own.picture.empty()) {
        cardPicturePending_ = false;
        return;
    }
    // A file on its way keeps the sender: the picture waits for the next free step.
    cardPicturePending_ = true;
    if (protocol.sender().control(SendControl::Start, kCardPicture, own.picturePath()) != 1)
        return;
    cardPicturePending_ = false;
    each([](CallListener& l) { l.cardTransferStarted(); });
}

void CallController::sendOwnCard() {
    if (connection_.state() != ConnectionState::Connected)
        return;
    LinkProtocol& protocol = connection_.protocol();
    const GeneralSettings& general = settings_.get<GeneralSettings>();
    const CardRecord own = CardRecord::fromBytes(general.ownCard.data(), general.ownCard.size());
    if (!own.name.empty())
        protocol.sendCard(&own);
    if (own.picture.empty())
        return;
    const int sending = protocol.sender().status().state;
    const bool busy = sending == static_cast<int>(SendState::FileSet) ||
                      sending == static_cast<int>(SendState::ReadyForBlock);
    if (busy && pictureQueue_ && pictureQueue_->queueCardPicture(own.picturePath()))
        return;
    cardPicturePending_ = true;
}

void CallController::remotePictureArrived(const std::string& path) {
    // The picture came after the card: the card shown now gets it. Only a file the receiver put
    // in the card folder is taken.
    if (!remoteCard_ || path.size() <= cardFolder_.size() ||
        path.compare(0, cardFolder_.size(), cardFolder_) != 0 ||
        path.find('/', cardFolder_.size()) != std::string::npos)
        return;
    remoteCard_->picture = path;
    const BusinessCard card = *remoteCard_;
    each([&card](CallListener& l) { l.cardReceived(card); });
}

void CallController::followState() {
    const ConnectionState state = connection_.state();
    if (lastState_ != state) {
        lastState_ = state;
        each([state](CallListener& l) { l.callStateChanged(state); });
    }
    if (!started_ || listenPosted_ || retry_.phase != RetryPhase::Idle ||
        !FrameLogic::restartListening(settings_.get<CommsSettings>().alwaysListen, state, exiting_))
        return;
    // Posted, as the command would be; once only until it has run.
    listenPosted_ = true;
    const LivenessToken::Watch watch = liveness_.watch();
    host_.post([this, watch] {
        if (!watch.alive())
            return;
        CallController& c = *this;
        c.listenPosted_ = false;
        if (c.retry_.phase == RetryPhase::Idle &&
            FrameLogic::restartListening(c.settings_.get<CommsSettings>().alwaysListen,
                                         c.connection_.state(), c.exiting_))
            c.startOperation(RetryOperation::Listen);
    });
}

// --- hanging up ---------------------------------------------------------------------------

void CallController::endCall(CallEnd why, bool tellPeer) {
    // The call's video ends and both hold marks go, whatever ended the call; one video step
    // lets the outgoing side tell the peer while the line is still up.
    if (videoPair_) {
        videoPair_->closeVideo();
        videoPair_->setHoldMark(HoldSide::Local, false);
        videoPair_->setHoldMark(HoldSide::Remote, false);
        videoPair_->idle();
    }
    const bool connected = connection_.displayState() == DisplayState::Connected;
    if (tellPeer && connected && exiting_) {
        // A closing program stops the file on the move ("<Stop Sending>" or "<Do Not Send>",
        // the partial file removed) before it tells the peer and hangs up.
        connection_.closeCall();
    } else {
        if (tellPeer && connected)
            connection_.protocol().sendDisconnect();
        connection_.hangUp();
    }
    host_.portChanged();
    remoteCard_.reset();
    callCardFlags_ = 0;
    cardOnConnectPending_ = false;
    cardPicturePending_ = false;
    cardPictureArriving_ = false;
    offerNoticed_ = false;
    each([why](CallListener& l) { l.callEnded(why); });
    followState();
    // A hang-up question still open asks about a call that is gone: it leaves the screen,
    // whoever waits for it (the exit) goes on now, and an answer already on its way changes
    // nothing.
    if (const std::optional<int> open = std::exchange(questionOpen_, std::nullopt)) {
        ++question_;
        messages_.withdraw(*open);
        if (std::function<void(bool)> done = std::exchange(questionDone_, {}))
            done(true);
    }
}

void CallController::hangUpWithConfirmation(bool exiting, std::function<void(bool)> done) {
    const auto question = FrameLogic::hangUpQuestion(connection_.displayState(), exiting);
    if (!question) {
        endCall(CallEnd::HungUp, false);
        if (done)
            done(true);
        return;
    }
    if (questionOpen_) {
        if (done)
            done(false);
        return;
    }
    questionOpen_ = *question;
    questionDone_ = std::move(done);
    const LivenessToken::Watch watch = liveness_.watch();
    messages_.show(Message{*question, MessageKind::Confirmation, std::nullopt, std::nullopt},
                   [this, watch, asked = ++question_](MessageAnswer answer) {
                       if (!watch.alive())
                           return;
                       CallController& c = *this;
                       // The call ended under the question and its waiter was told then.
                       if (asked != c.question_)
                           return;
                       c.questionOpen_.reset();
                       std::function<void(bool)> waiter = std::exchange(c.questionDone_, {});
                       if (answer != MessageAnswer::Yes) {
                           if (waiter)
                               waiter(false);
                           return;
                       }
                       c.endCall(CallEnd::HungUp, true);
                       if (waiter)
                           waiter(true);
                   });
}

void CallController::forcedHangUp() {
    endCall(CallEnd::HungUp, false);
}

void CallController::exit() {
    exiting_ = true;
    const LivenessToken::Watch watch = liveness_.watch();
    auto again = [this, watch] {
        if (watch.alive())
            exit();
    };
    switch (FrameLogic::exitStep(connection_.displayState())) {
        case ExitStep::Destroy:
            host_.closeProgram();
            return;
        case ExitStep::PumpOnce:
            pumpStep();
            break;
        case ExitStep::HangUpFirst:
            hangUpWithConfirmation(true, [this, watch, again](bool ended) {
                if (!watch.alive())
                    return;
                // Only a No while the call is still up keeps the program. A question whose
                // call ended under it (the peer left, the line dropped) has nothing left to
                // keep: the user's exit goes on.
                if (!ended && FrameLogic::hangUpQuestion(connection_.displayState(), true)) {
                    exiting_ = false;
                    followState();
                    return;
                }
                host_.post(again, kExitRepostMs);
            });
            return;
    }
    followState();
    host_.post(again, kExitRepostMs);
}

void CallController::closeNow() {
    exiting_ = true;
    if (connection_.displayState() != DisplayState::NotConnected &&
        connection_.displayState() != DisplayState::Disconnecting)
        endCall(CallEnd::HungUp, true);
    exit();
}

// --- starting calls -----------------------------------------------------------------------

void CallController::startOperation(RetryOperation operation) {
    retry_.operation = operation;
    if (operation == RetryOperation::Listen)
        connection_.listen();
    else if (operation == RetryOperation::Dial && !number_.empty())
        connection_.dial(number_, name_);
    else
        connection_.dial({}, {});
    host_.portChanged();
    followState();
}

void CallController::dial() {
    number_.clear();
    name_.clear();
    startOperation(RetryOperation::Dial);
}

void CallController::dialNumber(const std::string& number, const std::string& name) {
    number_ = number;
    name_ = name;
    startOperation(RetryOperation::Dial);
}

void CallController::pickup() {
    if (connection_.displayState() == DisplayState::Connected)
        return;
    number_.clear();
    name_.clear();
    startOperation(RetryOperation::Pickup);
}

void CallController::listenCommand() {
    const ConnectionState s = connection_.state();
    if (s == ConnectionState::OpeningPort || s == ConnectionState::Initialising ||
        s == ConnectionState::Listening) {
        settings_.update<CommsSettings>([](CommsSettings& c) { c.alwaysListen = false; });
        endCall(CallEnd::HungUp, false);
        return;
    }
    settings_.update<CommsSettings>([](CommsSettings& c) { c.alwaysListen = true; });
    startOperation(RetryOperation::Listen);
}

// The port could not be opened and the user gave up (Cancel) or asked for the settings (OK):
// with OK the Modem dialog runs and the same operation is tried again, whatever the dialog's
// result. A listen that was given up switches always-listen off, so that the restart after
// each call cannot ask the same question for ever.
void CallController::portAbandoned(MessageAnswer answer) {
    const RetryOperation operation = retry_.operation;
    if (answer != MessageAnswer::Ok || exiting_) {
        if (operation == RetryOperation::Listen)
            settings_.update<CommsSettings>([](CommsSettings& c) { c.alwaysListen = false; });
        retry_ = {};
        followState();
        return;
    }
    if (modemDialogOpen_)
        return;
    modemDialogOpen_ = true;
    host_.editModemSettings();
    modemDialogOpen_ = false;
    retry_ = {};
    if (exiting_ || operation == RetryOperation::None)
        return;
    startOperation(operation);
}

// --- in a call ----------------------------------------------------------------------------

void CallController::toggleHold() {
    if (connection_.state() != ConnectionState::Connected)
        return;
    LinkProtocol& protocol = connection_.protocol();
    const bool on = !protocol.localHold();
    if (videoPair_)
        videoPair_->setHoldMark(HoldSide::Local, on);
    protocol.setHold(HoldSide::Local, on);
}

void CallController::page() {
    if (connection_.state() == ConnectionState::Connected)
        connection_.protocol().sendPage();
}

// --- from the link ------------------------------------------------------------------------

void CallController::pageReceived() {
    const LivenessToken::Watch watch = liveness_.watch();
    host_.post([this, watch] {
        if (watch.alive())
            each([](CallListener& l) { l.pageArrived(); });
    });
}

void CallController::sendEnded(SendState state, const std::string& path, int kind) {
    const LivenessToken::Watch watch = liveness_.watch();
    host_.post([this, watch, state, path, kind] {
        if (watch.alive())
            each([&](CallListener& l) { l.sendFinished(state, path, kind); });
    });
}

void CallController::receiveEnded(ReceiveState state, const std::string& path, int kind) {
    const LivenessToken::Watch watch = liveness_.watch();
    host_.post([this, watch, state, path, kind] {
        if (!watch.alive())
            return;
        if (kind < 0 && state == ReceiveState::Complete)
            remotePictureArrived(path);
        each([&](CallListener& l) { l.receiveFinished(state, path, kind); });
    });
}

}  // namespace krl
