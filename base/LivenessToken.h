#pragma once

#include <memory>

namespace krl {

// Lets a callback that may run after its owner is gone (an answer from the event loop, a
// question answered late) find out whether the owner still exists. The owner keeps a token as a
// member and ends it first thing in its destructor; callbacks capture watch() and test alive()
// before they touch the owner. A copied or moved-to owner gets a token of its own: callbacks
// keep watching the object they were made for.
class LivenessToken {
public:
    class Watch {
    public:
        Watch() = default;
        bool alive() const {
            auto flag = flag_.lock();
            return flag && *flag;
        }

    private:
        friend class LivenessToken;
        explicit Watch(std::weak_ptr<const bool> flag) : flag_(std::move(flag)) {}
        std::weak_ptr<const bool> flag_;
    };

    LivenessToken() = default;
    LivenessToken(const LivenessToken&) : LivenessToken() {}
    LivenessToken& operator=(const LivenessToken&) { return *this; }
    ~LivenessToken() { end(); }

    Watch watch() const { return Watch(flag_); }
    // From here on every watch reports the owner gone.
    void end() { *flag_ = false; }

private:
    std::shared_ptr<bool> flag_ = std::make_shared<bool>(true);
};

}  // namespace krl
