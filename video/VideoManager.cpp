#include "video/VideoManager.h"

#include "video/CaptureFormats.h"

namespace krl {

VideoManager::VideoManager(CaptureSourceFactory& sources, const TickSource& ticks)
    : sources_(sources), ticks_(ticks) {}

VideoManager::~VideoManager() {
    std::string ignored;
    setRecording(false, {}, ignored);
}

bool VideoManager::openSource(bool fromFile, int width, int height) {
    source_.reset();
    error_.clear();
    if (fromFile) {
        source_ = sources_.openFile(playFile_, width, height, timed_, error_);
    } else {
        source_ = sources_.openDriver(driver_, width, height);
        if (!source_)
            error_ = "cannot connect to the capture driver " + driver_;
    }
    fromFile_ = fromFile;
    return source_ != nullptr;
}

bool VideoManager::startCapture(bool fromFile, VideoSettingsRecord& record) {
    record.clampSize();
    int w = static_cast<int>(record.get(VideoSetting::Width));
    int h = static_cast<int>(record.get(VideoSetting::Height));
    if (!openSource(fromFile, w < 8 ? 160 : w, h < 8 ? 120 : h))
        return false;
    record.set(VideoSetting::Width, static_cast<std::uint32_t>(source_->width()));
    record.set(VideoSetting::Height, static_cast<std::uint32_t>(source_->height()));
    localRecord_ = record;
    return true;
}

bool VideoManager::restartCapture(const std::string& driver, VideoSettingsRecord& record) {
    local_.close();
    driver_ = driver;
    if (!startCapture(false, record)) {
        captured_ = Picture{};
        if (localChanged_)
            localChanged_();
        return false;
    }
    return true;
}

std::vector<PictureSize> VideoManager::formatSizes() {
    return CaptureFormats::offered(sources_.frameSizes(driver_));
}

void VideoManager::stopCapture() {
    local_.close();
    source_.reset();
    captured_ = Picture{};
    if (localChanged_)
        localChanged_();
}

void VideoManager::openSending(const VideoSettingsRecord& record) {
    localRecord_ = record;
    local_.open(fromFile_ ? VideoPane::kSendFile : VideoPane::kSendCapture, record, ticks_.nowMs());
}

void VideoManager::closeSending() {
    local_.close();
}

void VideoManager::grab(bool forSending) {
    if (!source_)
        return;
    const std::uint64_t now = ticks_.nowMs();
    if (!source_->grab(now, captured_))
        return;
    if (recorder_ && !recorder_->write(captured_, now)) {
        error_ = "recording stopped: the file could not be written";
        recorder_.reset();
    }
    if (forSending)
        local_.enqueuePicture(captured_);
    if (localChanged_)
        localChanged_();
}

std::vector<std::uint8_t> VideoManager::takeFrameToSend(bool keyFrame) {
    return local_.takeCompressed(keyFrame);
}

void VideoManager::applyLocalSettings(const VideoSettingsRecord& record) {
    VideoSettingsRecord r = record;
    r.clampSize();
    bool resized = r.get(VideoSetting::Width) != localRecord_.get(VideoSetting::Width) ||
                   r.get(VideoSetting::Height) != localRecord_.get(VideoSetting::Height);
    if (resized && source_) {
        // The source delivers the new size; the compressor takes it with the next picture.
        openSource(fromFile_, static_cast<int>(r.get(VideoSetting::Width)),
                   static_cast<int>(r.get(VideoSetting::Height)));
    }
    localRecord_ = r;
    local_.applySettings(r);
}

bool VideoManager::setRecording(bool on, const std::string& path, std::string& error) {
    if (!on) {
        bool ok = true;
        if (recorder_)
            ok = recorder_->finish();
        recorder_.reset();
        if (!ok)
            error = "the recording could not be finished";
        return ok;
    }
    int w = source_ ? source_->width() : static_cast<int>(localRecord_.get(VideoSetting::Width));
    int h = source_ ? source_->height() : static_cast<int>(localRecord_.get(VideoSetting::Height));
    recorder_ = sources_.openRecorder(path, w < 8 ? 160 : w, h < 8 ? 120 : h, 15, error);
    return recorder_ != nullptr;
}

void VideoManager::openReceiving(const VideoSettingsRecord& record) {
    remote_.open(VideoPane::kReceive, record, ticks_.nowMs());
    if (remoteChanged_)
        remoteChanged_();
}

void VideoManager::closeReceiving() {
    remote_.close();
    if (remoteChanged_)
        remoteChanged_();
}

void VideoManager::showFrame(std::vector<std::uint8_t> frame) {
    remote_.enqueueFrame(std::move(frame));
    bool drawn = false;
    while (remote_.expandNext())
        drawn = true;
    if (drawn && remoteChanged_)
        remoteChanged_();
}

void VideoManager::applyRemoteSettings(const VideoSettingsRecord& record) {
    remote_.applySettings(record);
    if (remoteChanged_)
        remoteChanged_();
}

}  // namespace krl
