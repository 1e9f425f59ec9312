#pragma once

namespace krl {

// Told while a call comes in, so that its user notices it wherever the program's windows are:
// each ring the modem reports while listening (only while rings are to be played), and once per
// call the moment the answering commands start.
class IncomingCall {
public:
    virtual ~IncomingCall() = default;
    virtual void ringHeard() = 0;
    virtual void answering() = 0;
};

}  // namespace krl
