#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/LivenessToken.h"
#include "base/MessagePresenter.h"
#include "base/TickSource.h"
#include "connection/IniFile.h"
#include "connection/ModemList.h"

namespace krl {

// Where the script run stands. DialStart: a dial was asked for while listening; the next step
// starts the connect commands.
enum class ScriptPhase { None, General, Init, Connect, Listen, Disconnect, DialStart };

// What the run does after the initialisation commands.
enum class ScriptGoal { Listen, Dial };

// The settings a script run reads (copied from the comms settings by the connection).
struct ScriptOptions {
    // The pump period in milliseconds, the unit of every script time-out. 0 (a damaged store)
    // counts as kDefaultTimeSlice.
    std::uint32_t timeSliceMs = 200;
    std::uint32_t ringsCount = 2;
    bool promptBeforeAnswer = false;
    bool speakerOff = false;
    bool playRings = true;
    std::string outsideLinePrefix;
};

inline constexpr std::uint32_t kDefaultTimeSlice = 200;

// What the script engine needs of the connection that runs it.
class ModemScriptHost {
public:
    virtual ~ModemScriptHost() = default;
    // Writes a command to the modem one byte per write.
    virtual void sendToModem(std::string_view bytes) = 0;
    // Connection log lines: what the script sent (and its phase markers), what it received.
    virtual void scriptLog(std::string_view text) = 0;
    virtual void scriptLogReceived(std::string_view text) = 0;
    // The initialisation commands are done; the run now dials or listens.
    virtual void scriptDialling() = 0;
    virtual void scriptListening() = 0;
    // The connect commands are done: the call is made.
    virtual void scriptConnected() = 0;
    // A command failed and the user did not continue: the call set-up is over and the line must
    // be hung up. stopListening: a mandatory general or initialisation command failed, so
    // listening must not restart by itself.
    virtual void scriptFailed(bool stopListening) = 0;
    // The user declined to answer a ringing call.
    virtual void answerDeclined() = 0;
    // The disconnect commands are done.
    virtual void scriptDisconnected() = 0;
    // About to send a connect command (the dialing window plays its animation).
    virtual void connectCommandSending() {}
    // A ring text arrived and the play-rings setting is on.
    virtual void ringHeard() {}
    // The rings are counted (and answering, if asked, agreed): the answering commands start.
    virtual void answering() {}
};

// Runs the commands of a modem description file: general, initialisation, then dialling or
// listening and answering, and the disconnect commands. It has no clock of its own: step() is
// called on every pump with the bytes that arrived since the last one.
//
// Time-outs. A file gives each answer time-out as a number n; the wait is n * 500 / TimeSlice
// pumps, which at one pump per TimeSlice is n half-seconds. Pumps here come far more often
// than once per TimeSlice (on every byte that arrives, and every few milliseconds while
// connected), so counting calls would cut waits short. The wait is therefore counted in
// TimeSlice periods of the tick source since the command was sent: the same length the pump
// count was meant to give, whatever the pump rate. A time-out of 0 still expires at the first
// step, and the ring-gap count (ResetTimes) is measured the same way.
//
// Questions. A failure and the answer-the-call prompt are asked through the message presenter
// and answered later; while one is open the script waits (it never asks a second one) and
// the bytes that arrive meanwhile are still collected. An answer that arrives after the run was
// stopped or restarted is ignored.
class ModemScript {
public:
    ModemScript(ModemScriptHost& host, MessagePresenter& messages, const TickSource& ticks);
    ~ModemScript();
    ModemScript(const ModemScript&) = delete;
    ModemScript& operator=(const ModemScript&) = delete;

    // Reads a modem description file; false when it cannot be read (the file then has no
    // commands and no name).
    bool load(const std::string& path);
    void setScript(IniFile file) { file_ = std::move(file); }
    const IniFile& script() const { return file_; }
    ConnectType connectType() const { return connectTypeOf(file_); }

    void setOptions(ScriptOptions options) { options_ = std::move(options); }
    const ScriptOptions& options() const { return options_; }
    // The number the connect commands dial (its dialling characters only are used).
    void setPhoneNumber(std::string number) { phoneNumber_ = std::move(number); }

    // Runs the general commands, then the initialisation commands, then dials or listens.
    void startGeneral(ScriptGoal goal);
    // From listening: the next step starts the dial commands.
    void startDial();
    // Runs the dial commands at once (a serial cable that is already listening).
    void startDialNow();
    // Runs the disconnect commands.
    void startDisconnect();
    // Forgets the run: no phase, nothing waited for.
    void stop();
    // Sends the SpeakerOff command when the setting is on; and, while listening, restarts the
    // ring count with the current setting.
    void listenSettingsChanged();

    // One pump's worth of received bytes (possibly none).
    void step(const std::uint8_t* bytes, std::size_t count);

    ScriptPhase phase() const { return phase_; }
    bool questionOpen() const { return openQuestions_ > 0; }
    // What arrived since the current (or last) command was sent, bounded; the connect speed is
    // read from it when the call is made.
    std::string_view received() const { return received_; }

private:
    enum class Section { General, Init, Connect, Disconnect };

    void startPhase(ScriptPhase phase, int firstKey);
    void runCommands();
    bool sendNextCommand();
    void endPhase();
    void answerStep(std::string_view fresh);
    void listenStep(std::string_view fresh);
    void startListening();
    void answerCall();
    void fail();
    void onFailureAnswer(MessageAnswer answer, bool mandatory);
    void onAnswerPrompt(MessageAnswer answer);
    bool answerDeadlinePassed() const;
    bool pauseOver() const;
    std::uint32_t timeSlice() const;
    long pumpsFor(long timeoutUnits) const;
    void appendReceived(std::string_view fresh);
    void ask(const Message& message, std::function<void(MessageAnswer)> onAnswer);
    std::string_view sectionName() const;

    ModemScriptHost& host_;
    MessagePresenter& messages_;
    const TickSource& ticks_;
    IniFile file_;
    ScriptOptions options_;
    std::string phoneNumber_;
    ScriptGoal goal_ = ScriptGoal::Listen;

    ScriptPhase phase_ = ScriptPhase::None;
    int phaseNumber_ = 0;  // 0 general, 1 init, 2 connect, 3 disconnect: names failures
    int nextKey_ = 1;
    std::string command_;
    std::string success_;
    std::string error_;
    std::string busy_;
    bool mandatory_ = false;
    long countdown_ = 0;  // answer time-out in TimeSlice periods
    std::uint32_t pauseMs_ = 0;
    std::uint64_t sentAt_ = 0;
    std::string received_;

    std::string ringText_;
    long ringsLeft_ = 0;
    long ringCountdown_ = -1;  // in TimeSlice periods; -1 before the first ring
    std::uint64_t ringCountdownFrom_ = 0;

    // Incremented whenever the run is started, stopped or changes direction, so that an answer
    // to a question of an earlier run is recognised and ignored.
    std::uint64_t generation_ = 0;
    int openQuestions_ = 0;
    // Lets an answer that arrives after this object is gone be ignored.
    LivenessToken liveness_;
};

}  // namespace krl
