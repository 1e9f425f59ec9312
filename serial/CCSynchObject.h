#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace krl {

// The state behind one wait handle. Shared so that a record that refers to the handle (an
// overlapped block) stays valid for as long as it holds it.
struct WaitHandleState {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
    bool manualReset = true;
};

using WaitHandle = std::shared_ptr<WaitHandleState>;

// Holder of one wait handle; releases it on destruction.
class CCSynchObject {
public:
    CCSynchObject() = default;
    virtual ~CCSynchObject() { close(); }
    CCSynchObject(const CCSynchObject&) = delete;
    CCSynchObject& operator=(const CCSynchObject&) = delete;

    virtual void close() { handle_.reset(); }
    bool isValid() const { return handle_ != nullptr; }
    const WaitHandle& handle() const { return handle_; }

    // Waits until the object is signalled or timeoutMs passes. True when signalled; an
    // auto-reset object is reset by the wait that sees it.
    bool wait(std::uint32_t timeoutMs);

protected:
    WaitHandle handle_;
};

}  // namespace krl
