#include "tools/linesim/HayesSettings.h"

#include <cctype>

#include "tools/linesim/AtCommandLine.h"

namespace krl::linesim {
namespace {

const char* resultText(HayesResult r) {
    switch (r) {
        case HayesResult::Ok:
            return "OK";
        case HayesResult::Connect:
            return "CONNECT";
        case HayesResult::Ring:
            return "RING";
        case HayesResult::NoCarrier:
            return "NO CARRIER";
        case HayesResult::Error:
            return "ERROR";
        case HayesResult::NoDialtone:
            return "NO DIALTONE";
        case HayesResult::Busy:
            return "BUSY";
        case HayesResult::NoAnswer:
            return "NO ANSWER";
    }
    return "ERROR";
}

}  // namespace

void HayesSettings::restore() {
    s.fill(0);
    s[2] = '+';  // escape character
    s[3] = 13;   // carriage return
    s[4] = 10;   // line feed
    s[5] = 8;    // backspace
    s[6] = 2;    // seconds to wait for the dial tone
    s[7] = 50;   // seconds to wait for the carrier after dialling
    s[8] = 2;    // comma pause, seconds
    s[9] = 6;    // carrier detect time, tenths
    // Tenths of a second without carrier before the modem hangs up. Two seconds, so that a
    // short fade on the line never ends a call.
    s[10] = 20;
    s[11] = 95;  // tone dialling speed, ms
    s[12] = 50;  // escape guard time, fiftieths of a second
    // Seconds a hang-up waits for data already sent to reach the far modem (error-controlled
    // calls clear down only once the buffers are empty).
    s[38] = 20;
    echo = true;
    quiet = false;
    verbose = true;
    resultLevel = 4;
    dcdMode = 1;
    dtrMode = 2;
}

HayesSettings::Outcome HayesSettings::run(char c, const std::string& line, std::size_t& i,
                                          std::vector<std::uint8_t>& out) {
    int n = 0;
    switch (c) {
        case 'E':
        case 'Q':
        case 'V':
            n = readAtNumber(line, i);
            if (n < 0 || n > 1)
                return Outcome::Refused;
            (c == 'E' ? echo : c == 'Q' ? quiet : verbose) = (n == 1);
            break;
        case 'X':
            n = readAtNumber(line, i);
            if (n < 0 || n > 4)
                return Outcome::Refused;
            resultLevel = n;
            break;
        case 'M':
        case 'L':
            n = readAtNumber(line, i);
            if (n < 0 || n > 3)
                return Outcome::Refused;
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
            if (readAtNumber(line, i) < 0)
                return Outcome::Refused;
            break;
        case 'I':
            n = readAtNumber(line, i);
            if (n < 0 || n > 9)
                return Outcome::Refused;
            printText(n == 0 ? "28800" : "Kestrelcall linesim modem", out);
            break;
        case 'S': {
            n = readAtNumber(line, i);
            if (n < 0 || n > 255)
                return Outcome::Refused;
            if (i < line.size() && line[i] == '=') {
                ++i;
                const int v = readAtNumber(line, i);
                if (v < 0 || v > 255)
                    return Outcome::Refused;
                s[static_cast<std::size_t>(n)] = static_cast<std::uint8_t>(v);
            } else if (i < line.size() && line[i] == '?') {
                ++i;
                char value[4];
                const unsigned v = s[static_cast<std::size_t>(n)];
                value[0] = static_cast<char>('0' + v / 100);
                value[1] = static_cast<char>('0' + v / 10 % 10);
                value[2] = static_cast<char>('0' + v % 10);
                value[3] = 0;
                printText(value, out);
            } else {
                return Outcome::Refused;
            }
            break;
        }
        case '&': {
            if (i >= line.size() || !std::isalpha(static_cast<unsigned char>(line[i])))
                return Outcome::Refused;
            const char sub = line[i++];
            n = readAtNumber(line, i);
            if (n < 0)
                return Outcome::Refused;
            if (sub == 'C') {
                if (n > 1)
                    return Outcome::Refused;
                dcdMode = n;
            } else if (sub == 'D') {
                if (n > 3)
                    return Outcome::Refused;
                dtrMode = n;
            } else if (sub == 'F') {
                restore();
                return Outcome::Restored;
            } else if (sub == 'V') {
                printText("E" + std::to_string(echo) + " Q" + std::to_string(quiet) + " V" +
                              std::to_string(verbose) + " X" + std::to_string(resultLevel) + " &C" +
                              std::to_string(dcdMode) + " &D" + std::to_string(dtrMode) +
                              " S0=" + std::to_string(s[0]),
                          out);
            }
            // &K, &Q, &S, &W and the rest: accepted, no effect.
            break;
        }
        case '\\':
        case '%':
            if (i >= line.size() || !std::isalpha(static_cast<unsigned char>(line[i])))
                return Outcome::Refused;
            ++i;
            if (readAtNumber(line, i) < 0)
                return Outcome::Refused;
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
            return Outcome::Refused;
    }
    return Outcome::Done;
}

void HayesSettings::printResult(HayesResult result, std::uint32_t rate,
                                std::vector<std::uint8_t>& out) const {
    if (quiet)
        return;
    if (resultLevel < 4) {
        const bool dialtone = resultLevel >= 2;
        const bool busy = resultLevel >= 3;
        if ((result == HayesResult::NoDialtone && !dialtone) ||
            ((result == HayesResult::Busy || result == HayesResult::NoAnswer) && !busy)) {
            result = HayesResult::NoCarrier;
        }
    }
    if (!verbose) {
        const std::string code = std::to_string(static_cast<int>(result));
        out.insert(out.end(), code.begin(), code.end());
        out.push_back(s[3]);
        return;
    }
    std::string text = resultText(result);
    if (result == HayesResult::Connect && resultLevel > 0 && rate > 0)
        text += " " + std::to_string(rate);
    printText(text, out);
}

void HayesSettings::printText(const std::string& text, std::vector<std::uint8_t>& out) const {
    out.push_back(s[3]);
    out.push_back(s[4]);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(s[3]);
    out.push_back(s[4]);
}

}  // namespace krl::linesim
