#include "tools/linesim/AtCommandLine.h"

#include <cctype>

namespace krl::linesim {

AtCommandLine::Event AtCommandLine::add(char ch, char carriageReturn, char backspace) {
    switch (prefix_) {
        case Prefix::None:
            if (ch == 'A' || ch == 'a')
                prefix_ = Prefix::GotA;
            break;
        case Prefix::GotA:
            if (ch == 'T' || ch == 't') {
                prefix_ = Prefix::InLine;
                buffer_.clear();
                overflow_ = false;
            } else if (ch == '/') {
                prefix_ = Prefix::None;
                return Event::LineEnded;
            } else if (ch != 'A' && ch != 'a') {
                prefix_ = Prefix::None;
            }
            break;
        case Prefix::InLine:
            if (ch == carriageReturn) {
                prefix_ = Prefix::None;
                if (overflow_)
                    return Event::Overflowed;
                lastLine_ = buffer_;
                return Event::LineEnded;
            }
            if (ch == backspace) {
                if (!buffer_.empty())
                    buffer_.pop_back();
            } else if (static_cast<unsigned char>(ch) >= 32) {
                if (buffer_.size() < 255)
                    buffer_.push_back(ch);
                else
                    overflow_ = true;
            }
            break;
    }
    return Event::None;
}

void AtCommandLine::clear() {
    prefix_ = Prefix::None;
    buffer_.clear();
}

int readAtNumber(const std::string& line, std::size_t& i) {
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

}  // namespace krl::linesim
