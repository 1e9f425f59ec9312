#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "controls/AnimationFrames.h"
#include "controls/AnimationState.h"

namespace krl {

class StringTable;

// What one tick of a script did.
struct AnimationTick {
    enum class Outcome { Running, Finished, Failed };
    Outcome outcome = Outcome::Running;
    std::optional<AnimationError> error;
    char offending = 0;  // the character of an Undefined error
    bool frameChanged = false;
    bool visibilityChanged = false;
    bool intervalChanged = false;
    bool moved = false;
};

// The animation script language of the animated control. One tick reads the script from the
// current position, skipping characters below '!', until it shows a frame (a letter A..Z) or
// reaches the end:
//   A..Z   show frame 0..25; a frame already shown just ends the tick
//   #n     load bitmap resource n as the next frame
//   (n )   a loop of n passes; n = 0 is endless, only at the outermost level; three levels deep
//   + -    show / hide the control
//   ~n     tick interval in milliseconds
//   @n :n |n   the three movement parameters
//   >n <n ^n vn   move right, left, up, down by n pixels, kept inside the allowed area
//   *      clear the frames, hide the control, interval 250
// The interpreter is pure: it changes only the state and the frames it is handed, and each
// call is one tick of the control's timer.
class AnimationScript {
public:
    // A tick never reads more than this many commands: a script that would spin on without
    // showing a frame fails instead of freezing the program.
    static constexpr int kMaxCommandsPerTick = 10000;
    static constexpr int kMinIntervalMs = 10;
    static constexpr int kMaxNumber = 1000000000;

    explicit AnimationScript(std::string script) : script_(std::move(script)) {}
    const std::string& text() const { return script_; }

    AnimationTick step(AnimationState& state, AnimationFrames& frames,
                       const AnimationArea& area) const;

    // The user-visible text of an error: its string-table entry, and for an undefined
    // character the character in single quotes.
    static std::string errorText(const StringTable& table, AnimationError error, char offending);

private:
    int readNumber(std::size_t& position) const;
    std::optional<AnimationError> closeLoop(AnimationState& state) const;

    std::string script_;
};

}  // namespace krl
