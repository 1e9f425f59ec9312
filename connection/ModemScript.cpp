#include "connection/ModemScript.h"

#include <algorithm>
#include <cstdio>

#include "connection/ModemCommand.h"

namespace krl {
namespace {

// Bytes kept for the answer search since a command was sent. When more arrive the oldest are
// dropped, keeping enough that a text split by the cut is still found.
constexpr std::size_t kMaxReceived = 4096;
constexpr std::size_t kReceivedKeep = 1024;
// Phases end at the first missing key; this only stops a pathological file.
constexpr int kMaxKey = 10000;
// Time-outs beyond this many half-seconds (about 11 hours) are taken as this.
constexpr long kMaxTimeoutUnits = 80000;

constexpr int kMsgCommandFailedContinue = 4040;
constexpr int kMsgCommandFailedStop = 4190;
constexpr int kMsgBusy = 4200;
constexpr int kMsgAnswerCall = 5170;

std::string cut(std::string text, std::size_t limit) {
    if (text.size() > limit)
        text.resize(limit);
    return text;
}

}  // namespace

ModemScript::ModemScript(ModemScriptHost& host, MessagePresenter& messages, const TickSource& ticks)
    : host_(host), messages_(messages), ticks_(ticks) {}

ModemScript::~ModemScript() = default;

bool ModemScript::load(const std::string& path) {
    auto file = IniFile::load(path);
    file_ = file ? std::move(*file) : IniFile();
    return file.has_value();
}

std::uint32_t ModemScript::timeSlice() const {
    return options_.timeSliceMs == 0 ? kDefaultTimeSlice : options_.timeSliceMs;
}

long ModemScript::pumpsFor(long timeoutUnits) const {
    if (timeoutUnits <= 0)
        return 0;
    timeoutUnits = std::min(timeoutUnits, kMaxTimeoutUnits);
    return timeoutUnits * 500 / static_cast<long>(timeSlice());
}

std::string_view ModemScript::sectionName() const {
    switch (phase_) {
        case ScriptPhase::General:
            return "General Commands";
        case ScriptPhase::Init:
            return "Init Commands";
        case ScriptPhase::Disconnect:
            return "Disconnect Commands";
        default:
            return "Connect Commands";
    }
}

void ModemScript::startPhase(ScriptPhase phase, int firstKey) {
    ++generation_;
    phase_ = phase;
    switch (phase) {
        case ScriptPhase::General:
            phaseNumber_ = 0;
            break;
        case ScriptPhase::Init:
            phaseNumber_ = 1;
            break;
        case ScriptPhase::Disconnect:
            phaseNumber_ = 3;
            break;
        default:
            phaseNumber_ = 2;
            break;
    }
    nextKey_ = firstKey;
    success_.clear();
    error_.clear();
    busy_.clear();
    mandatory_ = false;
    pauseMs_ = 0;
    received_.clear();
}

void ModemScript::stop() {
    startPhase(ScriptPhase::None, 1);
    ringText_.clear();
}

void ModemScript::startGeneral(ScriptGoal goal) {
    goal_ = goal;
    host_.scriptLog("@General Commands");
    startPhase(ScriptPhase::General, 1);
    runCommands();
}

void ModemScript::startDial() {
    host_.scriptLog("@Connect Command");
    startPhase(ScriptPhase::DialStart, 1);
}

void ModemScript::startDialNow() {
    host_.scriptLog("@Connect Command");
    startPhase(ScriptPhase::Connect, 1);
    runCommands();
}

void ModemScript::startDisconnect() {
    host_.scriptLog("@Disconnect Command");
    startPhase(ScriptPhase::Disconnect, 1);
    runCommands();
}

void ModemScript::listenSettingsChanged() {
    if (options_.speakerOff) {
        if (auto command = scriptValue(file_, "Init Commands", "SpeakerOff")) {
            std::string text = cut(*command, kMaxCommandText);
            host_.sendToModem(encodeCommand(text).bytes);
            host_.scriptLog(text);
        }
    }
    if (phase_ == ScriptPhase::Listen) {
        ringsLeft_ = connectType() == ConnectType::SerialCable
                         ? 1
                         : std::max<long>(1, static_cast<long>(options_.ringsCount));
    }
}

// Sends commands of the current phase until one has to be waited for or the phase ends.
void ModemScript::runCommands() {
    while (true) {
        if (!sendNextCommand()) {
            endPhase();
            return;
        }
        if (!success_.empty() || pauseMs_ > 0)
            return;
    }
}

bool ModemScript::sendNextCommand() {
    if (nextKey_ > kMaxKey)
        return false;
    const std::string key = "Command" + std::to_string(nextKey_++);
    const std::string section(sectionName());
    auto command = scriptValue(file_, section, key);
    if (!command)
        return false;

    const std::size_t answerLimit =
        phase_ == ScriptPhase::Init ? kMaxInitAnswerText : kMaxCommandText;
    success_ = scriptValue(file_, section + " Success", key).value_or("");
    std::size_t mark = success_.find(",1");
    mandatory_ = mark != std::string::npos;
    if (mandatory_)
        success_.resize(mark);
    success_ = cut(success_, answerLimit);
    error_ = cut(scriptValue(file_, section + " Error", key).value_or(""), answerLimit);
    busy_ = phase_ == ScriptPhase::Connect
                ? cut(scriptValue(file_, "Connect Commands Error", "Busy").value_or(""),
                      kMaxCommandText)
                : std::string();
    countdown_ =
        pumpsFor(IniFile::toInteger(scriptValue(file_, section + " TimeOut", key).value_or("0")));
    // A general command keeps its answer text without a time-out and so fails on the first
    // step that lacks it; later phases then simply do not wait.
    if (countdown_ == 0 && phase_ != ScriptPhase::General)
        success_.clear();

    std::string text = cut(*command, kMaxCommandText);
    if (phase_ == ScriptPhase::Connect) {
        host_.connectCommandSending();
        text = substitutePhoneNumber(text, options_.outsideLinePrefix, phoneNumber_);
    }
    command_ = text;
    EncodedCommand encoded = encodeCommand(text);
    pauseMs_ = encoded.pauseMs;
    received_.clear();
    host_.sendToModem(encoded.bytes);
    sentAt_ = ticks_.nowMs();
    host_.scriptLog(text);
    return true;
}

void ModemScript::endPhase() {
    switch (phase_) {
        case ScriptPhase::General:
            host_.scriptLog("@Initialization Commands ");
            startPhase(ScriptPhase::Init, 1);
            runCommands();
            return;
        case ScriptPhase::Init:
            if (options_.speakerOff)
                listenSettingsChanged();
            if (goal_ == ScriptGoal::Dial) {
                host_.scriptLog("@Connect Command");
                host_.scriptDialling();
                startPhase(ScriptPhase::Connect, 1);
                runCommands();
            } else {
                host_.scriptListening();
                startListening();
            }
            return;
        case ScriptPhase::Connect: {
            // The connect speed is read from what the modem said: keep it past the phase.
            std::string said = std::move(received_);
            startPhase(ScriptPhase::None, 1);
            received_ = std::move(said);
            goal_ = ScriptGoal::Listen;
            host_.scriptConnected();
            return;
        }
        case ScriptPhase::Disconnect:
            startPhase(ScriptPhase::None, 1);
            host_.scriptDisconnected();
            return;
        default:
            return;
    }
}

void ModemScript::startListening() {
    startPhase(ScriptPhase::Listen, 1);
    host_.scriptLog("@Listening");
    ringText_ =
        cut(scriptValue(file_, "Listen Commands", "WaitCommand").value_or(""), kMaxCommandText);
    ringsLeft_ = connectType() == ConnectType::SerialCable
                     ? 1
                     : std::max<long>(1, static_cast<long>(options_.ringsCount));
    ringCountdown_ = -1;
}

void ModemScript::step(const std::uint8_t* bytes, std::size_t count) {
    std::string_view fresh(reinterpret_cast<const char*>(bytes), bytes ? count : 0);
    if (openQuestions_ > 0 && phase_ != ScriptPhase::Disconnect) {
        if (phase_ != ScriptPhase::Listen)
            appendReceived(fresh);
        return;
    }
    switch (phase_) {
        case ScriptPhase::None:
            return;
        case ScriptPhase::DialStart:
            startPhase(ScriptPhase::Connect, 1);
            runCommands();
            return;
        case ScriptPhase::Listen:
            listenStep(fresh);
            return;
        default:
            answerStep(fresh);
            return;
    }
}

void ModemScript::appendReceived(std::string_view fresh) {
    received_.append(fresh);
    if (received_.size() > kMaxReceived)
        received_.erase(0, received_.size() - kReceivedKeep);
}

bool ModemScript::answerDeadlinePassed() const {
    std::uint64_t elapsed = ticks_.nowMs() - sentAt_;
    return elapsed / timeSlice() >= static_cast<std::uint64_t>(countdown_);
}

bool ModemScript::pauseOver() const {
    return ticks_.nowMs() - sentAt_ >= pauseMs_;
}

void ModemScript::answerStep(std::string_view fresh) {
    if (!success_.empty() || !error_.empty()) {
        appendReceived(fresh);
        if (!fresh.empty())
            host_.scriptLogReceived(fresh);
    }
    if (!success_.empty()) {
        if (findNoCase(received_, success_) != std::string_view::npos) {
            success_.clear();
        } else {
            bool errorSeen = !error_.empty() && findNoCase(received_, error_) != std::string::npos;
            bool busySeen = phase_ == ScriptPhase::Connect && !busy_.empty() &&
                            findNoCase(received_, busy_) != std::string::npos;
            if (!errorSeen && !busySeen && !answerDeadlinePassed())
                return;
            if (phase_ != ScriptPhase::Disconnect) {
                fail();
                return;
            }
            success_.clear();  // hanging up goes on whatever the modem said
        }
    }
    if (!pauseOver())
        return;
    runCommands();
}

void ModemScript::ask(const Message& message, std::function<void(MessageAnswer)> onAnswer) {
    ++openQuestions_;
    std::uint64_t generation = generation_;
    auto answered = std::make_shared<bool>(false);
    messages_.show(message, [this, watch = liveness_.watch(), generation, answered,
                             onAnswer](MessageAnswer answer) {
        if (!watch.alive() || *answered)
            return;
        *answered = true;
        ModemScript& script = *this;
        --script.openQuestions_;
        if (generation != script.generation_)
            return;
        onAnswer(answer);
    });
}

void ModemScript::fail() {
    const bool connect = phase_ == ScriptPhase::Connect;
    const bool mandatory = connect || mandatory_;
    Message message;
    message.kind = MessageKind::Error;
    message.id = connect ? kMsgBusy : mandatory ? kMsgCommandFailedStop : kMsgCommandFailedContinue;
    if (!connect) {
        char label[64];
        std::snprintf(label, sizeof label,
                      phaseNumber_ == 0 ? "General %d : " : "Init %d : ", nextKey_ - 1);
        message.text = std::string(label) + command_ + (phaseNumber_ == 0 ? "" : " ");
    }
    ask(message, [this, mandatory](MessageAnswer answer) { onFailureAnswer(answer, mandatory); });
}

void ModemScript::onFailureAnswer(MessageAnswer answer, bool mandatory) {
    if (!mandatory && answer == MessageAnswer::Continue) {
        // Counts as success: go on with the next command once the pause is over.
        success_.clear();
        error_.clear();
        if (pauseOver())
            runCommands();
        return;
    }
    const bool stopListening =
        mandatory && (phase_ == ScriptPhase::General || phase_ == ScriptPhase::Init);
    stop();
    host_.scriptFailed(stopListening);
}

void ModemScript::listenStep(std::string_view fresh) {
    if (ringText_.empty())
        return;
    if (!fresh.empty())
        host_.scriptLogReceived(fresh);
    // Only a tail shorter than the ring text is carried over, so a ring text split between two
    // reads is found and no ring is counted twice.
    received_.append(fresh);
    const bool ring = findNoCase(received_, ringText_) != std::string::npos;
    if (ring) {
        received_.clear();
    } else if (received_.size() >= ringText_.size()) {
        received_.erase(0, received_.size() - (ringText_.size() - 1));
    }
    const long resetPumps = pumpsFor(
        IniFile::toInteger(scriptValue(file_, "Listen Commands", "ResetTimes").value_or("30")));
    const std::uint64_t now = ticks_.nowMs();
    if (!ring) {
        if (ringCountdown_ > 0 && (now - ringCountdownFrom_) / timeSlice() >=
                                      static_cast<std::uint64_t>(ringCountdown_)) {
            ringsLeft_ = connectType() == ConnectType::SerialCable
                             ? 1
                             : std::max<long>(1, static_cast<long>(options_.ringsCount));
            ringCountdown_ = resetPumps;
            ringCountdownFrom_ = now;
        }
        return;
    }
    if (options_.playRings)
        host_.ringHeard();
    --ringsLeft_;
    ringCountdown_ = resetPumps;
    ringCountdownFrom_ = now;
    if (ringsLeft_ > 0)
        return;
    if (options_.promptBeforeAnswer) {
        Message message;
        message.id = kMsgAnswerCall;
        message.kind = MessageKind::Confirmation;
        ask(message, [this](MessageAnswer answer) { onAnswerPrompt(answer); });
        return;
    }
    answerCall();
}

void ModemScript::onAnswerPrompt(MessageAnswer answer) {
    if (answer == MessageAnswer::Yes) {
        answerCall();
        return;
    }
    host_.answerDeclined();
}

void ModemScript::answerCall() {
    host_.scriptLog("@Answer Connect Command");
    host_.answering();
    startPhase(ScriptPhase::Connect, 10);
    runCommands();
}

}  // namespace krl
