#include "viewer/playback/PlaybackExport.h"

#include <cstdio>

namespace dvr::playback {

std::string fileTimeText(const DateTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d-%02d-%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

std::vector<SnapshotText> snapshotStampTexts(int columns, int firstChannel, int selectedChannel,
                                             int areaWidth, int areaHeight, const DateTime& time) {
    std::vector<SnapshotText> texts;
    const std::string when = fileTimeText(time);
    if (columns <= 1) {
        texts.push_back({240, 5, "CAM" + std::to_string(selectedChannel + 1) + " " + when, true});
        return texts;
    }
    texts.push_back({240, 5, when, false});
    const int paneWidth = areaWidth / columns;
    const int paneHeight = areaHeight / columns;
    int channel = firstChannel;
    for (int row = 1; row <= columns; ++row) {
        for (int column = 1; column <= columns; ++column) {
            char label[16];
            std::snprintf(label, sizeof label, "CAM%02d", ++channel);
            texts.push_back(
                {paneWidth / 2 - 25 + (column - 1) * paneWidth, row * paneHeight - 20, label, false});
        }
    }
    return texts;
}

std::string recordingFileName(const std::string& folder, const DateTime& pictureTime,
                              const DateTime& localTime,
                              const std::function<bool(const std::string&)>& exists) {
    std::string base = folder;
    if (!base.empty() && base.back() != '/')
        base += '/';
    base += fileTimeText(pictureTime.month != 0 ? pictureTime : localTime);
    std::string name = base + ".avi";
    for (int n = 1; exists && exists(name); ++n)
        name = base + "(" + std::to_string(n) + ").avi";
    return name;
}

int pagePrintUnit(int n, int dotsPerInchY) {
    return (n * dotsPerInchY + 42) / 84;
}

PlaybackPrintPage playbackPrintPage(const PagePrintMetrics& m, const PrintedPicture& picture) {
    const int dpiY = m.dotsPerInchY;
    auto u = [dpiY](int n) { return pagePrintUnit(n, dpiY); };
    const int margin = m.dotsPerInchX + 50;
    auto column = [&](int k) { return margin + u(k) + m.letterWidthPx; };
    const int h = m.letterHeightPx;
    const std::string rule(89, '_');
    char size[64];
    std::snprintf(size, sizeof size, "%03d * %03d PIXEL", picture.width, picture.height);

    PlaybackPrintPage page;
    page.pictureX = m.dotsPerInchX;
    page.pictureY = m.dotsPerInchY + u(120);
    page.pictureWidth = m.pageWidthPx - 2 * m.dotsPerInchX - m.dotsPerInchX / 2;
    page.pictureHeight = page.pictureWidth * 3 / 4;

    int y = m.dotsPerInchY;
    page.texts.push_back({margin, y, picture.title});
    y += u(1) + h;
    page.texts.push_back({margin, y, rule});
    y += u(10) + h;
    page.texts.push_back({column(195), y, picture.dateTimeCaption});
    y += u(4) + h;
    page.texts.push_back({column(95), y, fileTimeText(picture.rangeStart)});
    page.texts.push_back({column(230), y, "~"});
    page.texts.push_back({column(280), y, fileTimeText(picture.rangeEnd)});
    y = page.pictureY + page.pictureHeight;
    page.texts.push_back(
        {margin, y, std::to_string(picture.width) + " * " + std::to_string(picture.height) + " PIXEL"});
    page.texts.push_back({column(385), y, fileTimeText(picture.requestTime)});
    y += u(200) + h;
    page.texts.push_back({margin, y, rule});
    y += u(6) + h;
    page.texts.push_back({margin, y, fileTimeText(picture.printTime)});
    page.texts.push_back({column(410), y, size});
    return page;
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
