#include "tools/linesim/HayesModem.h"

#include <cctype>

#include "serial/SerialDevice.h"

namespace krl::linesim {

HayesModem::HayesModem(Line& line, Timing timing) : line_(line), timing_(timing) {
    resetToDefaults();
}

void HayesModem::resetToDefaults() {
    settings_.restore();
    commandLine_.clear();
}

// ---------------------------------------------------------------- from the computer

void HayesModem::fromDte(const std::uint8_t* data, std::size_t count, std::uint64_t now) {
    if (!powered_)
        return;
    for (std::size_t i = 0; i < count; ++i) {
        if (inCommandMode()) {
            const State before = state_;
            commandByte(data[i], now);
            // A command that starts a call ends the line; what follows in the same burst (a
            // trailing line feed) must not abort the call it has just started.
            if (before == State::Command && state_ != State::Command)
                return;
        } else if (state_ == State::Online) {
            onlineBytes(data + i, count - i, now);
            return;
        } else if (data[i] != '\r' && data[i] != '\n') {
            // Any key pressed while dialling or training abandons the call.
            endCall(true);
            emitResult(Result::NoCarrier);
        }
    }
}

void HayesModem::commandByte(std::uint8_t c, std::uint64_t now) {
    if (settings_.echo)
        emit(c);
    const char ch = static_cast<char>(c & 0x7F);
    switch (commandLine_.add(ch, static_cast<char>(settings_.s[3]),
                             static_cast<char>(settings_.s[5]))) {
        case AtCommandLine::Event::LineEnded:
            executeLine(commandLine_.line(), now);
            break;
        case AtCommandLine::Event::Overflowed:
            emitResult(Result::Error);
            break;
        case AtCommandLine::Event::None:
            break;
    }
}

void HayesModem::executeLine(const std::string& line, std::uint64_t now) {
    Result result = Result::Ok;
    if (runCommands(line, now, result))
        emitResult(result);
}

bool HayesModem::runCommands(const std::string& text, std::uint64_t now, Result& result) {
    std::string line;
    for (char ch : text)
        line.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
    result = Result::Ok;
    std::size_t i = 0;
    auto fail = [&result] {
        result = Result::Error;
        return true;
    };
    while (i < line.size()) {
        const char c = line[i++];
        int n = 0;
        switch (c) {
            case ' ':
            case ';':
                break;
            case 'D':
                return startDial(line.substr(i), now, result);
            case 'A':
                return answer(now, result);
            case 'H':
                n = readAtNumber(line, i);
                if (n == 0) {
                    if (state_ != State::Command) {
                        endCall(true);
                    } else {
                        offHook_ = false;
                    }
                } else if (n == 1) {
                    if (state_ == State::Command)
                        offHook_ = true;
                } else {
                    return fail();
                }
                break;
            case 'O':
                n = readAtNumber(line, i);
                if (n < 0 || n > 1)
                    return fail();
                if (!callUp()) {
                    result = Result::NoCarrier;
                    return true;
                }
                state_ = State::Online;
                lastDataMs_ = now;
                plusCount_ = 0;
                result = Result::Connect;
                return true;
            case 'Z':
                if (readAtNumber(line, i) < 0)
                    return fail();
                if (state_ != State::Command)
                    endCall(true);
                offHook_ = false;
                resetToDefaults();
                return true;
            default:
                switch (settings_.run(c, line, i, out_)) {
                    case HayesSettings::Outcome::Refused:
                        return fail();
                    case HayesSettings::Outcome::Restored:
                        commandLine_.clear();
                        break;
                    case HayesSettings::Outcome::Done:
                        break;
                }
                break;
        }
    }
    return true;
}

bool HayesModem::startDial(const std::string& dialString, std::uint64_t now, Result& result) {
    if (callUp()) {
        result = Result::Error;
        return true;
    }
    std::string number;
    for (std::size_t i = 0; i < dialString.size(); ++i) {
        const char c = dialString[i];
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#') {
            number.push_back(c);
        } else if (c == 'L') {
            number = dialNumber_;  // redial
        } else if (c == 'S' && i + 1 < dialString.size() && dialString[i + 1] == '=') {
            ++i;  // stored numbers: none here
        }
        // T, P, W, ',', '@', '!', ';', blanks and punctuation change nothing here.
    }
    dialNumber_ = number;
    ringing_ = false;
    offHook_ = true;
    state_ = State::Dialing;
    stateSince_ = dialStartMs_ = now;
    return false;
}

bool HayesModem::answer(std::uint64_t now, Result& result) {
    if (callUp()) {
        result = Result::Error;
        return true;
    }
    if (!ringing_) {
        result = Result::NoCarrier;
        return true;
    }
    ringing_ = false;
    const std::uint32_t rate = line_.answerCall(*this);
    if (rate == 0) {
        settings_.s[1] = 0;
        result = Result::NoCarrier;
        return true;
    }
    enterHandshake(rate, now);
    return false;
}

void HayesModem::enterHandshake(std::uint32_t rate, std::uint64_t now) {
    offHook_ = true;
    ringing_ = false;
    settings_.s[1] = 0;
    rate_ = rate;
    state_ = State::Handshake;
    stateSince_ = now;
}

void HayesModem::onlineBytes(const std::uint8_t* data, std::size_t count, std::uint64_t now) {
    const std::uint64_t guard = settings_.guardMs();
    for (std::size_t i = 0; i < count; ++i) {
        const bool escapeChar = settings_.s[2] <= 127 && data[i] == settings_.s[2];
        if (escapeChar && plusCount_ == 0 && now - lastDataMs_ >= guard) {
            plusCount_ = 1;
            lastPlusMs_ = now;
        } else if (escapeChar && plusCount_ > 0 && plusCount_ < 3 && now - lastPlusMs_ < guard) {
            ++plusCount_;
            lastPlusMs_ = now;
        } else {
            plusCount_ = 0;
        }
        lastDataMs_ = now;
    }
    // The escape characters travel too, as on a real modem: the far side cannot tell yet.
    if (!carrierLost_)
        line_.sendToLine(*this, data, count);
}

void HayesModem::setDtr(bool on, std::uint64_t now) {
    const bool dropped = dtr_ && !on;
    dtr_ = on;
    if (!dropped || !powered_)
        return;
    switch (settings_.dtrMode) {
        case 1:
            if (state_ == State::Online) {
                state_ = State::OnlineCommand;
                plusCount_ = 0;
                emitResult(Result::Ok);
            }
            break;
        case 2:
            if (state_ != State::Command || offHook_) {
                const bool inCall = state_ != State::Command;
                endCall(inCall);
                if (inCall)
                    emitResult(Result::NoCarrier);
            }
            break;
        case 3:
            if (state_ != State::Command)
                endCall(true);
            offHook_ = false;
            resetToDefaults();
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------- timers

void HayesModem::tick(std::uint64_t now) {
    if (!powered_)
        return;
    switch (state_) {
        case State::Dialing:
            if (now - stateSince_ >= timing_.dialMs) {
                // Set first: the exchange may answer for the far modem before it returns.
                state_ = State::WaitingAnswer;
                const DialOutcome outcome = line_.placeCall(*this, dialNumber_);
                if (outcome != DialOutcome::Ringing && state_ == State::WaitingAnswer) {
                    endCall(false);
                    emitResult(outcome == DialOutcome::Busy         ? Result::Busy
                               : outcome == DialOutcome::NoDialtone ? Result::NoDialtone
                                                                    : Result::NoCarrier);
                }
            }
            break;
        case State::WaitingAnswer:
            if (now - dialStartMs_ >= static_cast<std::uint64_t>(settings_.s[7]) * 1000) {
                endCall(true);
                emitResult(Result::NoAnswer);
            }
            break;
        case State::Handshake:
            if (now - stateSince_ >= timing_.handshakeMs) {
                state_ = State::Online;
                lastDataMs_ = now;
                plusCount_ = 0;
                emitResult(Result::Connect);
            }
            break;
        case State::Online:
            if (plusCount_ == 3 && now - lastPlusMs_ >= settings_.guardMs()) {
                plusCount_ = 0;
                state_ = State::OnlineCommand;
                commandLine_.clear();
                emitResult(Result::Ok);
            }
            break;
        default:
            break;
    }
    if (callUp() && carrierLost_ && settings_.s[10] != 255 &&
        now - carrierLostSince_ >= static_cast<std::uint64_t>(settings_.s[10]) * 100) {
        endCall(true);
        emitResult(Result::NoCarrier);
    }
    if (ringing_ && state_ == State::Command && !offHook_ && now >= nextRingMs_) {
        rangOnce_ = true;
        lastRingMs_ = now;
        nextRingMs_ = now + timing_.ringIntervalMs;
        if (settings_.s[1] < 255)
            ++settings_.s[1];
        emitResult(Result::Ring);
        if (settings_.s[0] > 0 && settings_.s[1] >= settings_.s[0] && autoAnswerAllowed()) {
            Result result = Result::Ok;
            if (answer(now, result))
                emitResult(result);
        }
    }
}

bool HayesModem::autoAnswerAllowed() const {
    // With DTR watched (&D2, &D3) a modem whose computer is not there does not pick up.
    return dtr_ || settings_.dtrMode < 2;
}

// ---------------------------------------------------------------- from the exchange

void HayesModem::incomingCall(std::uint64_t now) {
    if (!powered_)
        return;
    ringing_ = true;
    rangOnce_ = false;
    nextRingMs_ = now;  // the first ring is reported by the next tick
}

void HayesModem::callWithdrawn(std::uint64_t) {
    ringing_ = false;
    settings_.s[1] = 0;
}

void HayesModem::callAnswered(std::uint32_t rate, std::uint64_t now) {
    if (state_ == State::Dialing || state_ == State::WaitingAnswer)
        enterHandshake(rate, now);
}

void HayesModem::remoteHungUp(std::uint64_t now) {
    if (ringing_)
        callWithdrawn(now);
    if (state_ == State::Command)
        return;
    endCall(false);
    emitResult(Result::NoCarrier);
}

void HayesModem::fromLine(const std::uint8_t* data, std::size_t count) {
    if (!powered_ || state_ != State::Online || carrierLost_)
        return;
    out_.insert(out_.end(), data, data + count);
}

void HayesModem::setCarrierLost(bool lost, std::uint64_t now) {
    if (lost && !callUp())
        return;
    if (lost && !carrierLost_)
        carrierLostSince_ = now;
    carrierLost_ = lost;
}

bool HayesModem::preset(const std::string& commands, std::uint64_t now) {
    if (!powered_ || state_ != State::Command)
        return false;
    // Dialling (D) and answering (A) are calls, not settings; &D and the like are settings.
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(commands[i])));
        if ((upper == 'D' || upper == 'A') && (i == 0 || commands[i - 1] != '&'))
            return false;
    }
    Result result = Result::Ok;
    return runCommands(commands, now, result) && result == Result::Ok;
}

void HayesModem::setPower(bool on, std::uint64_t now) {
    if (on == powered_)
        return;
    if (!on) {
        // Off first: a modem without power clears nothing down, the call just dies.
        powered_ = false;
        if (state_ != State::Command || offHook_)
            line_.hangUp(*this);
        state_ = State::Command;
        offHook_ = false;
        ringing_ = false;
        carrierLost_ = false;
        plusCount_ = 0;
        rate_ = 0;
        powered_ = false;
        return;
    }
    powered_ = true;
    resetToDefaults();
}

void HayesModem::endCall(bool tellLine) {
    if (tellLine)
        line_.hangUp(*this);
    state_ = State::Command;
    offHook_ = false;
    carrierLost_ = false;
    plusCount_ = 0;
    rate_ = 0;
    commandLine_.clear();
}

// ---------------------------------------------------------------- output

void HayesModem::emitResult(Result result) {
    settings_.printResult(result, rate_, out_);
}

std::vector<std::uint8_t> HayesModem::takeDteOutput() {
    std::vector<std::uint8_t> out;
    out.swap(out_);
    return out;
}

std::uint32_t HayesModem::modemLines(std::uint64_t now) const {
    if (!powered_)
        return 0;
    std::uint32_t lines = modem_line::kCts | modem_line::kDsr;
    if (settings_.dcdMode == 0 || (callUp() && !carrierLost_))
        lines |= modem_line::kDcd;
    if (ringing_ && rangOnce_ && now - lastRingMs_ < timing_.ringOnMs)
        lines |= modem_line::kRing;
    return lines;
}

}  // namespace krl::linesim
