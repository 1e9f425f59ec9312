#include "tools/linesim/ModemExchange.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <sstream>

namespace krl::linesim {

ModemExchange::ModemExchange(Config config, std::unique_ptr<LineDirection> aToB,
                             std::unique_ptr<LineDirection> bToA)
    : ports_{Port(*this, config.timing), Port(*this, config.timing)},
      aToB_(std::move(aToB)),
      bToA_(std::move(bToA)),
      lineRate_(config.lineRate) {
    ports_[0].number = config.numberA;
    ports_[1].number = config.numberB;
}

void ModemExchange::setDteRate(int side, std::uint32_t baud) {
    ports_[side].dteRate = baud;
}

std::size_t ModemExchange::inFlightFrom(int side) const {
    return side == 0 ? aToB_->queued() : bToA_->queued();
}

void ModemExchange::tick(std::uint64_t nowMs) {
    now_ = nowMs;
    for (int side = 0; side < 2; ++side) {
        Port& p = ports_[side];
        if (p.dropping && p.dropUntil != 0 && nowMs >= p.dropUntil) {
            p.dropping = false;
            p.modem.setCarrierLost(false, nowMs);
        }
    }
    ports_[0].modem.tick(nowMs);
    ports_[1].modem.tick(nowMs);
    if (call_ == CallState::Clearing) {
        // Only the side that hung up still sends; the far modem takes it while it is online.
        const int side = clearingSide_;
        const std::vector<std::uint8_t> arrived = from(side).pull(nowMs);
        if (!arrived.empty())
            ports_[1 - side].modem.fromLine(arrived.data(), arrived.size());
        if (from(side).queued() == 0 || nowMs >= clearingUntil_)
            finishClearing();
        return;
    }
    if (call_ != CallState::Connected)
        return;
    for (int side = 0; side < 2; ++side) {
        const std::vector<std::uint8_t> arrived = from(side).pull(nowMs);
        if (arrived.empty())
            continue;
        // Bytes on the wire while the carrier is gone are lost.
        if (ports_[0].dropping || ports_[1].dropping)
            continue;
        ports_[1 - side].modem.fromLine(arrived.data(), arrived.size());
    }
}

void ModemExchange::finishClearing() {
    const int other = 1 - clearingSide_;
    endCall();
    ports_[other].modem.remoteHungUp(now_);
}

DialOutcome ModemExchange::placeCall(HayesModem& callerModem, const std::string& number) {
    const int side = sideOf(callerModem);
    if (ports_[side].noDialtone)
        return DialOutcome::NoDialtone;
    const int other = 1 - side;
    if (number.empty() || number != ports_[other].number)
        return DialOutcome::NoCarrier;
    Port& callee = ports_[other];
    if (callee.engaged || callee.modem.offHook() || call_ != CallState::None) {
        return DialOutcome::Busy;
    }
    call_ = CallState::Ringing;
    caller_ = side;
    // A modem that is switched off never rings: the caller hears ringing and no answer.
    if (callee.modem.poweredOn())
        callee.modem.incomingCall(now_);
    return DialOutcome::Ringing;
}

std::uint32_t ModemExchange::answerCall(HayesModem& answerer) {
    const int side = sideOf(answerer);
    if (call_ != CallState::Ringing || caller_ != 1 - side)
        return 0;
    std::uint32_t rate = lineRate_;
    for (const Port& p : ports_) {
        if (p.dteRate != 0)
            rate = std::min(rate, p.dteRate);
    }
    call_ = CallState::Connected;
    aToB_->clear();
    bToA_->clear();
    aToB_->setRate(rate);
    bToA_->setRate(rate);
    ports_[caller_].modem.callAnswered(rate, now_);
    return rate;
}

void ModemExchange::hangUp(HayesModem& modem) {
    const int side = sideOf(modem);
    const int other = 1 - side;
    if (call_ == CallState::Ringing && caller_ == side) {
        endCall();
        ports_[other].modem.callWithdrawn(now_);
    } else if (call_ == CallState::Connected) {
        const bool lineUp = !ports_[0].dropping && !ports_[1].dropping;
        if (lineUp && modem.poweredOn() && from(side).queued() > 0) {
            // A modem that hangs up first sends what it already has, then clears down.
            call_ = CallState::Clearing;
            clearingSide_ = side;
            clearingUntil_ = now_ + std::uint64_t{modem.sRegister(38)} * 1000;
            from(other).clear();
            return;
        }
        endCall();
        ports_[other].modem.remoteHungUp(now_);
    } else if (call_ == CallState::Clearing && side != clearingSide_) {
        // The far side hangs up too: nothing is left to wait for.
        endCall();
    }
    // Otherwise the modem was in no call (a give-up after BUSY, say): nothing to undo.
}

void ModemExchange::endCall() {
    call_ = CallState::None;
    caller_ = -1;
    clearingSide_ = -1;
    aToB_->clear();
    bToA_->clear();
    for (Port& p : ports_) {
        p.dropping = false;
        p.dropUntil = 0;
    }
}

void ModemExchange::sendToLine(HayesModem& modem, const std::uint8_t* data, std::size_t count) {
    if (call_ != CallState::Connected || ports_[0].dropping || ports_[1].dropping)
        return;
    from(sideOf(modem)).push(data, count, now_);
}

// ---------------------------------------------------------------- control

namespace {

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) {
        for (char& c : w)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        out.push_back(w);
    }
    return out;
}

}  // namespace

std::string ModemExchange::control(const std::string& command, std::uint64_t nowMs) {
    now_ = nowMs;
    const std::vector<std::string> w = words(command);
    if (w.empty())
        return "ERROR empty command";
    const std::string& verb = w[0];
    if (w.size() < 2)
        return "ERROR usage: " + verb + " A|B";
    int side = -1;
    if (w[1] == "a")
        side = 0;
    if (w[1] == "b")
        side = 1;
    if (side < 0)
        return "ERROR no modem " + w[1] + " (A or B)";
    Port& p = ports_[side];

    if (verb == "status")
        return status(side, nowMs);
    if (verb == "off" || verb == "on") {
        if (verb == "off") {
            p.dropping = false;
            p.modem.setPower(false, nowMs);
        } else {
            p.modem.setPower(true, nowMs);
        }
        return "OK";
    }
    if (verb == "preset") {
        if (w.size() < 3)
            return "ERROR usage: preset A|B COMMANDS";
        return p.modem.preset(w[2], nowMs) ? "OK" : "ERROR not taken";
    }
    if (verb == "busy" || verb == "free") {
        p.engaged = verb == "busy";
        return "OK";
    }
    if (verb == "nodialtone" || verb == "dialtone") {
        p.noDialtone = verb == "nodialtone";
        return "OK";
    }
    if (verb == "hangup") {
        // The telephone line is cut: both modems lose the call at once.
        if (call_ != CallState::Connected && call_ != CallState::Clearing)
            return "ERROR not connected";
        endCall();
        ports_[0].modem.remoteHungUp(nowMs);
        ports_[1].modem.remoteHungUp(nowMs);
        return "OK";
    }
    if (verb == "drop") {
        if (call_ != CallState::Connected)
            return "ERROR not connected";
        unsigned ms = 0;
        if (w.size() >= 3) {
            const auto [end, ec] = std::from_chars(w[2].data(), w[2].data() + w[2].size(), ms);
            if (ec != std::errc() || end != w[2].data() + w[2].size() || ms > 3600000) {
                return "ERROR bad duration " + w[2];
            }
        }
        p.dropping = true;
        p.dropUntil = ms == 0 ? 0 : nowMs + ms;
        p.modem.setCarrierLost(true, nowMs);
        return "OK";
    }
    return "ERROR unknown command " + verb;
}

std::string ModemExchange::status(int side, std::uint64_t nowMs) const {
    static const char* const kStates[] = {"command",  "dialing", "waiting",
                                          "training", "online",  "online-command"};
    const Port& p = ports_[side];
    char lines[8];
    std::snprintf(lines, sizeof lines, "0x%02x", p.modem.modemLines(nowMs));
    std::string s = std::string(side == 0 ? "A " : "B ") + p.number + " ";
    if (!p.modem.poweredOn())
        return s + "off lines=0x00";
    s += kStates[static_cast<int>(p.modem.state())];
    s += p.modem.offHook() ? " offhook" : " onhook";
    if (p.modem.ringing())
        s += " ringing";
    if (p.dropping)
        s += " carrier-dropped";
    if (p.modem.connectRate() != 0)
        s += " rate=" + std::to_string(p.modem.connectRate());
    return s + " lines=" + lines;
}

}  // namespace krl::linesim
