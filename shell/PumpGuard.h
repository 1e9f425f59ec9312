#pragma once

namespace krl {

// Keeps a step from running inside itself: a window opened by the step runs the event loop,
// whose timers would start the step again. Enter with tryEnter(); the step ends with leave().
class PumpGuard {
public:
    class Scope {
    public:
        explicit Scope(PumpGuard& guard) : guard_(guard), entered_(!guard.running_) {
            if (entered_)
                guard_.running_ = true;
        }
        ~Scope() {
            if (entered_)
                guard_.running_ = false;
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        // False when the step is already running further up the stack.
        bool entered() const { return entered_; }

    private:
        PumpGuard& guard_;
        bool entered_;
    };

    bool running() const { return running_; }

private:
    bool running_ = false;
};

}  // namespace krl
