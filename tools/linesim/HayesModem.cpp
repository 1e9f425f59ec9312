// Longer than our other files on purpose: one Hayes command interpreter, its S-registers and the
// call states a test needs, kept together like the modem manual it follows.
#include "tools/linesim/HayesModem.h"

#include <cctype>

#include "serial/SerialDevice.h"

namespace krl::linesim {

namespace {

const char* resultText(HayesModem::Result r) {
    switch (r) {
        case HayesModem::Result::Ok:
            return "OK";
        case HayesModem::Result::Connect:
            return "CONNECT";
        case HayesModem::Result::Ring:
            return "RING";
        case HayesModem::Result::NoCarrier:
            return "NO CARRIER";
        case HayesModem::Result::Error:
            return "ERROR";
        case HayesModem::Result::NoDialtone:
            return "NO DIALTONE";
        case HayesModem::Result::Busy:
            return "BUSY";
        case HayesModem::Result::NoAnswer:
            return "NO ANSWER";
    }
    return "ERROR";
}

// Reads an optional decimal number at line[i]; absent reads as 0. -1 when it is absurdly long.
int readNumber(const std::string& line, std::size_t& i) {
    int value = 0;
    int digits = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
        if (++digits > 5)
            return -1;
        value = value * 10 + (line[i] - '0');
        ++i;
    }
    return value;
}

}  // namespace

HayesModem::HayesModem(Line& line, Timing timing) : line_(line), timing_(timing) {
    resetToDefaults();
}

void HayesModem::resetToDefaults() {
    s_.fill(0);
    s_[2] = '+';  // escape character
    s_[3] = 13;   // carriage return
    s_[4] = 10;   // line feed
    s_[5] = 8;    // backspace
    s_[6] = 2;    // seconds to wait for the dial tone
    s_[7] = 50;   // seconds to wait for the carrier after dialling
    s_[8] = 2;    // comma pause, seconds
    s_[9] = 6;    // carrier detect time, tenths
    // Tenths of a second without carrier before the modem hangs up. Two seconds, so that a
    // short fade on the line never ends a call.
    s_[10] = 20;
    s_[11] = 95;  // tone dialling speed, ms
    s_[12] = 50;  // escape guard time, fiftieths of a second
    // Seconds a hang-up waits for data already sent to reach the far modem (error-controlled
    // calls clear down only once the buffers are empty).
    s_[38] = 20;
    echo_ = true;
    quiet_ = false;
    verbose_ = true;
    resultLevel_ = 4;
    dcdMode_ = 1;
    dtrMode_ = 2;
    prefix_ = Prefix::None;
    lineBuffer_.clear();
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
    if (echo_)
        emit(c);
    const char ch = static_cast<char>(c & 0x7F);
    switch (prefix_) {
        case Prefix::None:
            if (ch == 'A' || ch == 'a')
                prefix_ = Prefix::GotA;
            break;
        case Prefix::GotA:
            if (ch == 'T' || ch == 't') {
                prefix_ = Prefix::InLine;
                lineBuffer_.clear();
                lineOverflow_ = false;
            } else if (ch == '/') {
                prefix_ = Prefix::None;
                executeLine(lastLine_, now);
            } else if (ch != 'A' && ch != 'a') {
                prefix_ = Prefix::None;
            }
            break;
        case Prefix::InLine:
            if (ch == static_cast<char>(s_[3])) {
                prefix_ = Prefix::None;
                if (lineOverflow_) {
                    emitResult(Result::Error);
                } else {
                    lastLine_ = lineBuffer_;
                    executeLine(lineBuffer_, now);
                }
            } else if (ch == static_cast<char>(s_[5])) {
                if (!lineBuffer_.empty())
                    lineBuffer_.pop_back();
            } else if (static_cast<unsigned char>(ch) >= 32) {
                if (lineBuffer_.size() < 255) {
                    lineBuffer_.push_back(ch);
                } else {
                    lineOverflow_ = true;
                }
            }
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
                n = readNumber(line, i);
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
                n = readNumber(line, i);
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
                if (readNumber(line, i) < 0)
                    return fail();
                if (state_ != State::Command)
                    endCall(true);
                offHook_ = false;
                resetToDefaults();
                return true;
            case 'E':
            case 'Q':
            case 'V':
                n = readNumber(line, i);
                if (n < 0 || n > 1)
                    return fail();
                (c == 'E' ? echo_ : c == 'Q' ? quiet_ : verbose_) = (n == 1);
                break;
            case 'X':
                n = readNumber(line, i);
                if (n < 0 || n > 4)
                    return fail();
                resultLevel_ = n;
                break;
            case 'M':
            case 'L':
                n = readNumber(line, i);
                if (n < 0 || n > 3)
                    return fail();
                break;
            case 'B':
            case 'C':
            case 'F':
            case 'K':
            case 'N':
            case 'P':
            case 'R':
            case 'T':
            case 'U':
            case 'W':
            case 'Y':
                // Accepted and without effect here (protocol, speaker, dial mode, ...).
                if (readNumber(line, i) < 0)
                    return fail();
                break;
            case 'I':
                n = readNumber(line, i);
                if (n < 0 || n > 9)
                    return fail();
                emitText(n == 0 ? "28800" : "Kestrelcall linesim modem");
                break;
            case 'S': {
                n = readNumber(line, i);
                if (n < 0 || n > 255)
                    return fail();
                if (i < line.size() && line[i] == '=') {
                    ++i;
                    const int v = readNumber(line, i);
                    if (v < 0 || v > 255)
                        return fail();
                    s_[static_cast<std::size_t>(n)] = static_cast<std::uint8_t>(v);
                } else if (i < line.size() && line[i] == '?') {
                    ++i;
                    char value[4];
                    const unsigned v = s_[static_cast<std::size_t>(n)];
                    value[0] = static_cast<char>('0' + v / 100);
                    value[1] = static_cast<char>('0' + v / 10 % 10);
                    value[2] = static_cast<char>('0' + v % 10);
                    value[3] = 0;
                    emitText(value);
                } else {
                    return fail();
                }
                break;
            }
            case '&': {
                if (i >= line.size() || !std::isalpha(static_cast<unsigned char>(line[i]))) {
                    return fail();
                }
                const char sub = line[i++];
                n = readNumber(line, i);
                if (n < 0)
                    return fail();
                if (sub == 'C') {
                    if (n > 1)
                        return fail();
                    dcdMode_ = n;
                } else if (sub == 'D') {
                    if (n > 3)
                        return fail();
                    dtrMode_ = n;
                } else if (sub == 'F') {
                    resetToDefaults();
                } else if (sub == 'V') {
                    emitText("E" + std::to_string(echo_) + " Q" + std::to_string(quiet_) + " V" +
                             std::to_string(verbose_) + " X" + std::to_string(resultLevel_) +
                             " &C" + std::to_string(dcdMode_) + " &D" + std::to_string(dtrMode_) +
                             " S0=" + std::to_string(s_[0]));
                }
                // &K, &Q, &S, &W and the rest: accepted, no effect.
                break;
            }
            case '\\':
            case '%':
                if (i >= line.size() || !std::isalpha(static_cast<unsigned char>(line[i]))) {
                    return fail();
                }
                ++i;
                if (readNumber(line, i) < 0)
                    return fail();
                break;
            case '+':
            case '#':
            case '*':
            case '-':
                // Extended-syntax commands (+MS=..., #CID=...): accepted up to the next ';'.
                while (i < line.size() && line[i] != ';')
                    ++i;
                break;
            default:
                return fail();
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
        s_[1] = 0;
        result = Result::NoCarrier;
        return true;
    }
    enterHandshake(rate, now);
    return false;
}

void HayesModem::enterHandshake(std::uint32_t rate, std::uint64_t now) {
    offHook_ = true;
    ringing_ = false;
    s_[1] = 0;
    rate_ = rate;
    state_ = State::Handshake;
    stateSince_ = now;
}

void HayesModem::onlineBytes(const std::uint8_t* data, std::size_t count, std::uint64_t now) {
    const std::uint64_t guard = guardMs();
    for (std::size_t i = 0; i < count; ++i) {
        const bool escapeChar = s_[2] <= 127 && data[i] == s_[2];
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
    switch (dtrMode_) {
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
            if (now - dialStartMs_ >= static_cast<std::uint64_t>(s_[7]) * 1000) {
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
            if (plusCount_ == 3 && now - lastPlusMs_ >= guardMs()) {
                plusCount_ = 0;
                state_ = State::OnlineCommand;
                prefix_ = Prefix::None;
                emitResult(Result::Ok);
            }
            break;
        default:
            break;
    }
    if (callUp() && carrierLost_ && s_[10] != 255 &&
        now - carrierLostSince_ >= static_cast<std::uint64_t>(s_[10]) * 100) {
        endCall(true);
        emitResult(Result::NoCarrier);
    }
    if (ringing_ && state_ == State::Command && !offHook_ && now >= nextRingMs_) {
        rangOnce_ = true;
        lastRingMs_ = now;
        nextRingMs_ = now + timing_.ringIntervalMs;
        if (s_[1] < 255)
            ++s_[1];
        emitResult(Result::Ring);
        if (s_[0] > 0 && s_[1] >= s_[0] && autoAnswerAllowed()) {
            Result result = Result::Ok;
            if (answer(now, result))
                emitResult(result);
        }
    }
}

bool HayesModem::autoAnswerAllowed() const {
    // With DTR watched (&D2, &D3) a modem whose computer is not there does not pick up.
    return dtr_ || dtrMode_ < 2;
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
    s_[1] = 0;
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
    prefix_ = Prefix::None;
    lineBuffer_.clear();
}

// ---------------------------------------------------------------- output

void HayesModem::emitResult(Result result) {
    if (quiet_)
        return;
    if (resultLevel_ < 4) {
        const bool dialtone = resultLevel_ >= 2;
        const bool busy = resultLevel_ >= 3;
        if ((result == Result::NoDialtone && !dialtone) ||
            ((result == Result::Busy || result == Result::NoAnswer) && !busy)) {
            result = Result::NoCarrier;
        }
    }
    if (!verbose_) {
        const std::string code = std::to_string(static_cast<int>(result));
        out_.insert(out_.end(), code.begin(), code.end());
        emit(s_[3]);
        return;
    }
    std::string text = resultText(result);
    if (result == Result::Connect && resultLevel_ > 0 && rate_ > 0) {
        text += " " + std::to_string(rate_);
    }
    emitText(text);
}

void HayesModem::emitText(const std::string& text) {
    emit(s_[3]);
    emit(s_[4]);
    out_.insert(out_.end(), text.begin(), text.end());
    emit(s_[3]);
    emit(s_[4]);
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
    if (dcdMode_ == 0 || (callUp() && !carrierLost_))
        lines |= modem_line::kDcd;
    if (ringing_ && rangOnce_ && now - lastRingMs_ < timing_.ringOnMs)
        lines |= modem_line::kRing;
    return lines;
}

}  // namespace krl::linesim
