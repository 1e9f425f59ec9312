#include "video/LocalMenuRules.h"

namespace krl {

LocalMenuRules LocalMenuRules::from(const Input& in) {
    LocalMenuRules m;
    const bool capturing = in.state >= CaptureState::File;  // paused counts as capturing
    // The driver's dialogs, recording and snapshots are greyed up to file playback (state 2).
    const bool camera = in.state > CaptureState::File;
    m.videoFormat.enabled = m.videoSource.enabled = camera;
    m.record.enabled = m.snapshot.enabled = camera;
    m.pause.checked = in.state == CaptureState::Paused;
    m.record.checked = in.recording && capturing;
    if (!in.connected) {
        m.stopSending.shown = false;
        if (capturing) {
            m.capture.shown = false;
            m.send.enabled = false;
        } else {
            m.stopCapture.shown = false;
            m.pause.enabled = m.send.enabled = false;
            m.capture.enabled = !in.noDriver;
        }
    } else if (in.sending) {
        m.send.shown = m.capture.shown = m.stopCapture.shown = false;
    } else if (!capturing) {
        m.stopSending.shown = m.stopCapture.shown = false;
        m.pause.enabled = false;
        m.capture.enabled = m.send.enabled = !in.noDriver;
    } else {
        m.stopSending.shown = m.capture.shown = false;
    }
    return m;
}

}  // namespace krl
