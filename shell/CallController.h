#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/LivenessToken.h"
#include "connection/Connection.h"
#include "link/LinkListener.h"
#include "settings/Settings.h"
#include "shell/CallHost.h"
#include "shell/CallListener.h"
#include "shell/FrameLogic.h"
#include "shell/PumpGuard.h"

namespace krl {

class VideoWindowPair;

// Where the own card's picture waits when the sender is busy with a file: the file transfer
// window's queue, as a "Business Card" item.
class CardPictureQueue {
public:
    virtual ~CardPictureQueue() = default;
    // False when the picture could not be queued (it is then sent once the sender is free).
    virtual bool queueCardPicture(const std::string& path) = 0;
};

// The program's call: owns the Connection, pumps it (the idle step, the light step of modal
// windows), reacts to each pump result, and runs the call commands: dial, pickup, listen,
// hold, page, both hang-ups and exit. It holds no window; what happens reaches the windows
// through CallListener, and what it needs from the event loop through CallHost.
//
// Both hang-ups (with and without the question) end in one path, endCall(): the video windows
// close the call's video, both hold marks go, the remote card is forgotten and the listeners
// hear callEnded(). The peer's disconnect, a silent peer, carrier loss, a modem switched off and
// the idle drop take the same path.
class CallController : private LinkListener, private ChatListener {
public:
    static constexpr std::uint32_t kExitRepostMs = 10;
    // Card flags of the running call (beside bit 0, the stored send-on-connect choice).
    static constexpr std::uint8_t kOwnCardSent = 0x2;
    static constexpr std::uint8_t kRemoteCardReceived = 0x4;

    struct Services {
        SerialDeviceFactory& devices;
        const TickSource& ticks;
        const StringTable& strings;
        MessagePresenter& messages;
        Settings& settings;
        CallHost& host;
        // Where received card pictures go; ends with '/'.
        std::string cardFolder;
    };

    explicit CallController(Services services);
    ~CallController() override;
    CallController(const CallController&) = delete;
    CallController& operator=(const CallController&) = delete;

    Connection& connection() { return connection_; }
    const Connection& connection() const { return connection_; }
    // The video windows; null (the default) when there are none.
    void setVideoPair(VideoWindowPair* pair) { videoPair_ = pair; }
    void setCardPictureQueue(CardPictureQueue* queue) { pictureQueue_ = queue; }
    void addListener(CallListener* listener);
    void removeListener(CallListener* listener);

    // Starts pumping: the settings reach the connection, and listening starts if so set. The
    // log file is opened by the caller (connection().openLog) before.
    void start();
    bool started() const { return started_; }

    // The idle step (from the event loop's pump timer and the port's readable notice).
    void idleStep();
    // The light step: modal windows with a loop of their own (the dialing window's timer).
    void pumpStep();

    // Commands.
    void dial();  // a cable: dial at once; the connect dialog calls dialNumber()
    void dialNumber(const std::string& number, const std::string& name);
    void pickup();  // DSVD: take over the call without dialling
    void listenCommand();
    void toggleHold();
    void page();
    // The send-card command (Send Now, a "Business Card" item at the head of the queue): the own
    // card goes at once; its picture follows, or waits in the queue while a file is being sent.
    void sendOwnCard();
    // Hang-up with confirmation 5190 (5180 when exiting); done(true) once the call is ended,
    // done(false) when the user kept it. A call that ends while the question is open (the peer
    // left, the line dropped) withdraws the question and ends the wait: done(true) then, and an
    // answer already on its way is ignored.
    // Only one question at a time: a second request while one is open is answered false at
    // once.
    void hangUpWithConfirmation(bool exiting, std::function<void(bool)> done = {});
    // Forced hang-up: no question (the dialing window's Hangup).
    void forcedHangUp();
    // Exit: walks the connection down to "not connected", asking first when a call is up, then
    // asks the host to close the program.
    void exit();
    // Exit without a question, for an end asked from outside (a termination signal, the session
    // ending): whatever call there is ends as for a closing program, then the host closes.
    void closeNow();
    bool exiting() const { return exiting_; }

    // Sends one chat text while a call is up; false when none is or the text is too long.
    bool sendChat(const Cp1252Text& text);

    const std::optional<BusinessCard>& remoteCard() const { return remoteCard_; }
    // Card flags of the call: kOwnCardSent, kRemoteCardReceived.
    std::uint8_t callCardFlags() const { return callCardFlags_; }
    // True while the port-open question or the Modem dialog it led to is open.
    bool portRetryOpen() const { return retry_.phase != RetryPhase::Idle; }

private:
    enum class RetryOperation { None, Dial, Listen, Pickup };
    enum class RetryPhase { Idle, Asking, Editing };
    struct Retry {
        RetryOperation operation = RetryOperation::None;
        RetryPhase phase = RetryPhase::Idle;
    };

    // LinkListener: calls arrive from inside the pump; the work is posted.
    void pageReceived() override;
    void sendEnded(SendState state, const std::string& path, int kind) override;
    void receiveEnded(ReceiveState state, const std::string& path, int kind) override;
    // ChatListener: the controller takes every chat text and hands it on, in order, from the
    // event loop; the listeners open the chat window if there is none.
    void chatText(std::string_view text) override;
    void remoteName(const Cp1252Text&) override {}

    void framePumpStep(PumpVariant variant);
    void connectedStep();
    void sendPendingCard();
    void remotePictureArrived(const std::string& path);
    void followState();
    void endCall(CallEnd why, bool tellPeer);
    void startOperation(RetryOperation operation);
    void portAbandoned(MessageAnswer answer);
    void settingsChanged(const CommsSettings& comms);
    template <class F>
    void each(F&& f);

    const TickSource& ticks_;
    MessagePresenter& messages_;
    Settings& settings_;
    CallHost& host_;
    std::string cardFolder_;
    Connection connection_;
    VideoWindowPair* videoPair_ = nullptr;
    std::vector<CallListener*> listeners_;
    Settings::Subscription commsSubscription_;
    PumpGuard guard_;

    std::string number_;
    std::string name_;
    std::optional<BusinessCard> remoteCard_;
    std::uint8_t callCardFlags_ = 0;
    bool cardOnConnectPending_ = false;
    bool cardPicturePending_ = false;
    bool cardPictureArriving_ = false;
    CardPictureQueue* pictureQueue_ = nullptr;
    bool started_ = false;
    bool exiting_ = false;
    bool videoFirst_ = false;  // whether this idle step lets video at the line before files
    bool listenPosted_ = false;
    // The open hang-up question: its message (5180 or 5190) while it is up, its count (an
    // answer to an earlier one is ignored) and whoever waits for its outcome.
    std::optional<int> questionOpen_;
    std::uint64_t question_ = 0;
    std::function<void(bool)> questionDone_;
    bool modemDialogOpen_ = false;
    bool offerNoticed_ = false;
    std::optional<ConnectionState> lastState_;
    std::uint64_t lastPumpMs_ = 0;
    Retry retry_;
    // Work posted to the event loop checks this first: the controller may be gone.
    LivenessToken liveness_;
};

}  // namespace krl
