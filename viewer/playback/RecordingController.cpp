#include "viewer/playback/RecordingController.h"

#include "common/export/StillImage.h"
#include "viewer/playback/PictureTexts.h"

namespace dvr::playback {

std::string recordingFileName(const std::string& folder, const DateTime& pictureTime,
                              const DateTime& localTime,
                              const std::function<bool(const std::string&)>& exists) {
    std::string base = folder;
    if (!base.empty() && base.back() != '/')
        base += '/';
    base += fileTimeText(pictureTime.month != 0 ? pictureTime : localTime);
    const std::string plain = base + ".avi";
    if (!exists)
        return plain;
    std::string name = plain;
    for (int n = 1; exists(name); ++n) {
        if (n > exporting::kMaxNameNumber)
            return plain;  // its exclusive create says why no name is free
        name = base + "(" + std::to_string(n) + ").avi";
    }
    return name;
}

RecordingController::RecordingController(RecordingOutput& output, Clock clock)
    : m_output(output), m_clock(std::move(clock)) {}

bool RecordingController::onButton(const std::string& path, bool busy) {
    if (busy)
        return m_recording;
    if (m_recording) {
        stop();
        return false;
    }
    m_failure.clear();
    m_path = path;
    m_framesWritten = 0;
    m_haveFrame = false;
    if (const exporting::Status opened = m_output.open(path); !opened.ok()) {
        m_failure = opened.reason();
        return false;
    }
    m_recording = true;
    m_startMs = m_clock();
    return true;
}

void RecordingController::onPause() {
    stop();
}

bool RecordingController::stop() {
    if (!m_recording)
        return false;
    m_recording = false;
    if (const exporting::Status closed = m_output.close(); !closed.ok() && m_failure.empty())
        m_failure = closed.reason();
    return true;
}

void RecordingController::fail(const std::string& reason) {
    m_failure = reason;
    m_recording = false;
    // What was written stays a complete file; a second failure while closing adds nothing new.
    (void)m_output.close();
}

void RecordingController::onTick() {
    if (!m_recording)
        return;
    const int64_t elapsedMs = m_clock() - m_startMs;
    const int64_t due = elapsedMs / kFramePeriodMs;
    if (due <= int64_t(m_framesWritten))
        return;
    // The periods missed by a late tick showed the last picture: repeat it for them.
    while (m_haveFrame && due - int64_t(m_framesWritten) > 1) {
        if (const exporting::Status s = m_output.writeLastFrame(); !s.ok())
            return fail(s.reason());
        ++m_framesWritten;
    }
    if (m_output.capture())
        m_haveFrame = true;
    if (!m_haveFrame)
        return;
    if (const exporting::Status s = m_output.writeLastFrame(); !s.ok())
        return fail(s.reason());
    ++m_framesWritten;
}

}  // namespace dvr::playback
