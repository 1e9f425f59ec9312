#include "controls/MessageFormat.h"

#include <cstdio>
#include <string>

namespace krl {
namespace {

// One parsed directive: "%[flags][width][.precision][length]conversion".
struct Directive {
    std::size_t length = 0;  // characters from '%' to the conversion, inclusive
    bool leftAlign = false;
    bool zeroPad = false;
    bool plusSign = false;
    bool spaceSign = false;
    int width = 0;
    int precision = -1;
    char conversion = 0;
};

constexpr int kMaxWidth = 256;                   // a padded field never grows past this
constexpr std::size_t kMaxArgumentBytes = 1024;  // a longer text argument is cut, with "..."

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int readNumber(std::string_view s, std::size_t& i) {
    int value = 0;
    while (i < s.size() && isDigit(s[i])) {
        if (value < kMaxWidth)
            value = value * 10 + (s[i] - '0');
        ++i;
    }
    return value < kMaxWidth ? value : kMaxWidth;
}

// Parses the directive at s[0] == '%'; a conversion of 0 means it is not one we fill.
Directive parseDirective(std::string_view s) {
    Directive d;
    std::size_t i = 1;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '-')
            d.leftAlign = true;
        else if (c == '0')
            d.zeroPad = true;
        else if (c == '+')
            d.plusSign = true;
        else if (c == ' ')
            d.spaceSign = true;
        else if (c == '#')
            continue;
        else
            break;
    }
    d.width = readNumber(s, i);
    if (i < s.size() && s[i] == '.') {
        ++i;
        d.precision = readNumber(s, i);
    }
    while (i < s.size() && (s[i] == 'l' || s[i] == 'h' || s[i] == 'z'))
        ++i;
    if (i < s.size()) {
        char c = s[i];
        if (c == 's' || c == 'd' || c == 'i' || c == 'u' || c == 'x' || c == 'X' || c == '%') {
            d.conversion = c;
            d.length = i + 1;
        }
    }
    return d;
}

std::string pad(std::string body, const Directive& d, bool numeric) {
    std::size_t width = static_cast<std::size_t>(d.width);
    if (body.size() >= width)
        return body;
    std::size_t fill = width - body.size();
    if (d.leftAlign)
        return body + std::string(fill, ' ');
    if (numeric && d.zeroPad) {
        std::size_t signLength = (!body.empty() && (body[0] == '-' || body[0] == '+')) ? 1 : 0;
        return body.insert(signLength, fill, '0');
    }
    return std::string(fill, ' ') + body;
}

std::string renderNumber(long value, const Directive& d) {
    char buffer[32];
    switch (d.conversion) {
        case 'u':
            std::snprintf(buffer, sizeof buffer, "%lu", static_cast<unsigned long>(value));
            break;
        case 'x':
            std::snprintf(buffer, sizeof buffer, "%lx", static_cast<unsigned long>(value));
            break;
        case 'X':
            std::snprintf(buffer, sizeof buffer, "%lX", static_cast<unsigned long>(value));
            break;
        default:
            std::snprintf(buffer, sizeof buffer,
                          d.plusSign ? "%+ld" : (d.spaceSign ? "% ld" : "%ld"), value);
            break;
    }
    return pad(buffer, d, true);
}

// Cuts an over-long argument at a UTF-8 character boundary.
std::string bounded(std::string text) {
    if (text.size() <= kMaxArgumentBytes)
        return text;
    std::size_t cut = kMaxArgumentBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    return text + "...";
}

std::string renderText(std::string text, const Directive& d) {
    text = bounded(std::move(text));
    if (d.precision >= 0 && text.size() > static_cast<std::size_t>(d.precision)) {
        text.resize(static_cast<std::size_t>(d.precision));
    }
    return pad(std::move(text), d, false);
}

}  // namespace

std::string formatMessageText(std::string_view pattern, const std::optional<std::string>& text,
                              const std::optional<long>& number) {
    if (!text && !number)
        return std::string(pattern);

    bool textUsed = !text;
    bool numberUsed = !number;
    std::string out;
    out.reserve(pattern.size() + (text ? text->size() : 0) + 16);
    std::size_t i = 0;
    while (i < pattern.size()) {
        std::size_t percent = pattern.find('%', i);
        if (percent == std::string_view::npos) {
            out.append(pattern.substr(i));
            break;
        }
        out.append(pattern.substr(i, percent - i));
        Directive d = parseDirective(pattern.substr(percent));
        if (d.conversion == 0) {
            out.push_back('%');
            i = percent + 1;
            continue;
        }
        i = percent + d.length;
        if (d.conversion == '%') {
            out.push_back('%');
            continue;
        }
        bool wantsText = d.conversion == 's';
        if (wantsText ? !textUsed : (numberUsed && !textUsed)) {
            out += renderText(*text, d);
            textUsed = true;
        } else if (!numberUsed) {
            out += wantsText ? renderText(std::to_string(*number), d) : renderNumber(*number, d);
            numberUsed = true;
        } else {
            out.append(pattern.substr(percent, d.length));
        }
    }
    return out;
}

}  // namespace krl
