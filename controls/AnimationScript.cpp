#include "controls/AnimationScript.h"

#include <algorithm>
#include <cstdio>

#include "resources/StringTable.h"

namespace krl {
namespace {

constexpr int kMaxFrames = 26;  // letters A..Z reach no further

int keepInside(int value, int low, int high) {
    return std::max(low, std::min(value, high));
}

bool isBlank(char c) {
    return static_cast<unsigned char>(c) < '!';
}

}  // namespace

int AnimationScript::readNumber(std::size_t& position) const {
    while (position < script_.size() && isBlank(script_[position]))
        ++position;
    int value = 0;
    while (position < script_.size() && script_[position] >= '0' && script_[position] <= '9') {
        // Saturates instead of overflowing: a long run of digits means "as many as allowed".
        value = value > (kMaxNumber - 9) / 10
                    ? kMaxNumber
                    : std::min(kMaxNumber, value * 10 + (script_[position] - '0'));
        ++position;
    }
    return value;
}

std::optional<AnimationError> AnimationScript::closeLoop(AnimationState& state) const {
    if (state.loops.empty())
        return AnimationError::LoopNotOpen;
    AnimationLoop& loop = state.loops.back();
    if (loop.endless) {
        // A whole pass of an endless loop within one tick showed no frame: it never would.
        if (loop.jumpedThisTick)
            return AnimationError::LoopOverflow;
        loop.jumpedThisTick = true;
        state.position = loop.start;
    } else if (loop.remaining > 0) {
        --loop.remaining;
        state.position = loop.start;
    } else {
        state.loops.pop_back();
    }
    return std::nullopt;
}

AnimationTick AnimationScript::step(AnimationState& state, AnimationFrames& frames,
                                    const AnimationArea& area) const {
    AnimationTick tick;
    auto fail = [&tick](AnimationError error, char offending = 0) {
        tick.outcome = AnimationTick::Outcome::Failed;
        tick.error = error;
        tick.offending = offending;
        return tick;
    };
    for (AnimationLoop& loop : state.loops)
        loop.jumpedThisTick = false;

    for (int commands = 0;; ++commands) {
        if (commands >= kMaxCommandsPerTick)
            return fail(AnimationError::LoopOverflow);
        while (state.position < script_.size() && isBlank(script_[state.position])) {
            ++state.position;
        }
        if (state.position >= script_.size()) {
            tick.outcome = AnimationTick::Outcome::Finished;
            return tick;
        }
        const char c = script_[state.position++];
        if (c >= 'A' && c <= 'Z') {
            int frame = c - 'A';
            if (frame >= frames.count())
                return fail(AnimationError::BitmapNotLoaded);
            if (frame != state.currentFrame) {
                state.currentFrame = frame;
                tick.frameChanged = true;
            }
            return tick;
        }
        switch (c) {
            case '#': {
                int resource = readNumber(state.position);
                // A bitmap that does not load adds no frame; its letter then fails with 2001.
                if (frames.count() < kMaxFrames)
                    frames.append(resource);
                break;
            }
            case '(': {
                int count = readNumber(state.position);
                if (static_cast<int>(state.loops.size()) >= AnimationState::kMaxLoops) {
                    return fail(AnimationError::LoopOverflow);
                }
                if (count == 0 && !state.loops.empty()) {
                    return fail(AnimationError::InvalidLoopCount);
                }
                state.loops.push_back({state.position, std::max(0, count - 1), count == 0, false});
                break;
            }
            case ')':
                if (auto error = closeLoop(state))
                    return fail(*error);
                break;
            case '+':
            case '-':
                if (state.visible != (c == '+')) {
                    state.visible = c == '+';
                    tick.visibilityChanged = true;
                }
                break;
            case '~':
                state.intervalMs = std::max(kMinIntervalMs, readNumber(state.position));
                tick.intervalChanged = true;
                break;
            case '@':
                state.moveParameters[0] = readNumber(state.position);
                break;
            case ':':
                state.moveParameters[1] = readNumber(state.position);
                break;
            case '|':
                state.moveParameters[2] = readNumber(state.position);
                break;
            case '>':
            case '<':
            case '^':
            case 'v': {
                int distance = readNumber(state.position);
                if (c == '>')
                    state.x = keepInside(state.x + distance, area.left, area.right);
                if (c == '<')
                    state.x = keepInside(state.x - distance, area.left, area.right);
                if (c == 'v')
                    state.y = keepInside(state.y + distance, area.top, area.bottom);
                if (c == '^')
                    state.y = keepInside(state.y - distance, area.top, area.bottom);
                tick.moved = true;
                break;
            }
            case '*':
                frames.clear();
                state.currentFrame = -1;
                tick.frameChanged = true;
                if (state.visible)
                    tick.visibilityChanged = true;
                state.visible = false;
                state.intervalMs = AnimationState::kDefaultIntervalMs;
                tick.intervalChanged = true;
                break;
            default:
                return fail(AnimationError::Undefined, c);
        }
    }
}

std::string AnimationScript::errorText(const StringTable& table, AnimationError error,
                                       char offending) {
    int number = static_cast<int>(error);
    std::string text =
        table.contains(number) ? table.text(number) : "Animation error " + std::to_string(number);
    if (error == AnimationError::Undefined) {
        unsigned char byte = static_cast<unsigned char>(offending);
        char shown[8];
        if (byte >= 0x20 && byte < 0x7F) {
            std::snprintf(shown, sizeof shown, "%c", byte);
        } else {
            std::snprintf(shown, sizeof shown, "\\x%02X", byte);
        }
        text += std::string(" '") + shown + "'";
    }
    return text;
}

}  // namespace krl
