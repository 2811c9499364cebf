#include "player/backup/ChannelCapture.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "common/evidence/Manifest.h"
#include "common/export/ExportLog.h"
#include "common/export/StillImage.h"
#include "common/fs/SafeOpen.h"
#include "player/view/PlayerFolders.h"

namespace dvr::player {

namespace {

constexpr const char* kProgram = "Discoro";

}  // namespace

std::string noFrameMessage(int channel, const std::string& aviPath) {
    char text[96];
    std::snprintf(text, sizeof text, "No picture of CH%02d was exported: no frame written.\n", channel + 1);
    return text + aviPath;
}

std::string exportAviName(const std::string& folder, int channel,
                          const std::function<bool(const std::string&)>& exists) {
    // A name is free only when the log and the manifest written beside the AVI file are free too: an
    // export never replaces a file of an earlier one.
    const auto taken = [&](const std::string& aviPath) {
        return exists(aviPath) || exists(exporting::exportLogPath(aviPath)) ||
               exists(evidence::manifestPathOf(aviPath));
    };
    char name[32];
    std::snprintf(name, sizeof name, "%02d_Capture.avi", channel + 1);
    const std::string first = folder + "/" + name;
    if (!taken(first)) {
        return first;
    }
    const std::string fileName = name;
    const size_t dot = fileName.find('.');
    for (int n = 1; n <= exporting::kMaxNameNumber; ++n) {
        char number[16];
        std::snprintf(number, sizeof number, "(%02d)", n);
        const std::string candidate = folder + "/" + fileName.substr(0, dot) + number + fileName.substr(dot);
        if (!taken(candidate)) {
            return candidate;
        }
    }
    return first;  // its exclusive create says why no name is free
}

ChannelCapture::~ChannelCapture() {
    stop();
}

ExportOutcome ChannelCapture::start(const ExportStart& request) {
    stop();
    ExportOutcome outcome;
    std::string reason;
    if (makeFolder(request.aviFolder, &reason)) {
        outcome.aviPath = exportAviName(request.aviFolder, request.settings.channel,
                                        [](const std::string& p) { return fs::nameTaken(p); });
        m_sink = request.createSink ? request.createSink(outcome.aviPath, &reason)
                                    : exporting::FileSink::create(outcome.aviPath, &reason);
    } else {
        char name[32];
        std::snprintf(name, sizeof name, "%02d_Capture.avi", request.settings.channel + 1);
        outcome.aviPath = request.aviFolder + "/" + name;
    }
    if (m_sink) {
        exporting::ChannelAviSettings settings;
        settings.channel = request.settings.channel;
        settings.width = request.settings.width;
        settings.height = request.settings.height;
        settings.framesPerSecond = request.settings.framesPerSecond;
        settings.stamp = request.stamper != nullptr;
        m_output.emplace(settings, nullptr);
        const exporting::Status opened = m_output->open(*m_sink, outcome.aviPath);
        if (!opened.ok()) {
            reason = opened.reason();
            m_output.reset();
            m_sink.reset();
        }
    }
    if (!m_sink) {
        outcome.message = "ERROR : CreateAVIFile.\n" + outcome.aviPath + " : " + reason;
        return outcome;
    }
    m_request = request;
    m_aviPath = outcome.aviPath;
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_accepting = true;
        m_ending = false;
        m_failure.reset();
        m_firstTime.reset();
        m_lastTime.reset();
        m_order.reset();
    }
    m_channel.store(request.settings.channel);
    m_writer = std::thread([this] { writerLoop(); });
    m_active.store(true);
    outcome.ok = true;
    return outcome;
}

ExportOutcome ChannelCapture::stop(std::optional<DateTime> endTime) {
    ExportOutcome outcome;
    outcome.ok = true;
    if (!m_writer.joinable()) {
        return outcome;
    }
    m_active.store(false);
    {
        std::lock_guard lock(m_mutex);
        m_accepting = false;
        m_ending = true;
    }
    m_changed.notify_all();
    m_writer.join();

    outcome.aviPath = m_aviPath;
    const exporting::Status closed = m_output->close();
    outcome.frames = m_output->frames();
    m_sink.reset();

    DateTime start;
    DateTime end;
    {
        std::lock_guard lock(m_mutex);
        start = m_request.startTime.value_or(m_firstTime.value_or(DateTime{}));
        end = endTime.value_or(m_lastTime.value_or(start));
        if (m_failure) {
            outcome.ok = false;
            outcome.message = "ERROR : " + m_aviPath + " : " + *m_failure;
        }
    }
    const exporting::Status logged = m_output->writeLog(m_aviPath, start, end);
    if (outcome.ok && !closed.ok()) {
        outcome.ok = false;
        outcome.message = "ERROR : " + m_aviPath + " : " + closed.reason();
    }
    if (outcome.ok && !logged.ok()) {
        outcome.ok = false;
        outcome.message = "ERROR : " + exporting::exportLogPath(m_aviPath) + " : " + logged.reason();
    }
    // The manifest describes a finished file only.
    if (outcome.ok && m_manifest) {
        const evidence::ManifestWrite written = m_output->writeManifest(m_aviPath);
        if (!written.ok) {
            outcome.ok = false;
            outcome.message = "ERROR : " + m_aviPath + ".manifest.json : " + written.message;
        }
    }
    m_output.reset();
    m_manifest.reset();
    m_channel.store(-1);
    return outcome;
}

std::optional<std::string> ChannelCapture::failure() const {
    std::lock_guard lock(m_mutex);
    return m_failure;
}

bool ChannelCapture::admits(int64_t sourceOffset) const {
    std::lock_guard lock(m_mutex);
    return m_order.admits(sourceOffset);
}

std::optional<ChannelCapture::Frame> ChannelCapture::waitForRoom(int64_t sourceOffset) {
    std::unique_lock lock(m_mutex);
    if (!m_order.admits(sourceOffset)) {
        return std::nullopt;
    }
    m_changed.wait(lock, [this] { return !m_accepting || m_queue.size() < kQueueFrames; });
    if (!m_accepting || m_failure) {
        return std::nullopt;
    }
    Frame frame;
    if (!m_spare.empty()) {
        frame = std::move(m_spare.back());
        m_spare.pop_back();
    }
    return frame;
}

void ChannelCapture::fill(Frame& frame, const exporting::PixelSource& part, const DateTime& time,
                          int64_t sourceOffset, const std::optional<evidence::Digest>& sourceDigest) {
    const size_t rowBytes = size_t(part.width) * 4;
    frame.pixels.resize(rowBytes * size_t(part.height));
    for (int y = 0; y < part.height; ++y) {
        const uint8_t* from = part.pixels + size_t(y) * part.strideBytes;
        uint8_t* to = frame.pixels.data() + size_t(y) * rowBytes;
        if (part.channels == 4) {
            std::memcpy(to, from, rowBytes);
        } else {
            for (int x = 0; x < part.width; ++x) {
                to[x * 4] = from[x * 3];
                to[x * 4 + 1] = from[x * 3 + 1];
                to[x * 4 + 2] = from[x * 3 + 2];
                to[x * 4 + 3] = 255;
            }
        }
    }
    frame.width = part.width;
    frame.height = part.height;
    frame.time = time;
    frame.sourceOffset = sourceOffset;
    frame.sourceDigest = sourceDigest;
}

void ChannelCapture::push(Frame frame) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_accepting || !m_order.admits(frame.sourceOffset)) {
            return;
        }
        m_order.taken(frame.sourceOffset);
        if (!m_firstTime) {
            m_firstTime = frame.time;
        }
        m_lastTime = frame.time;
        m_queue.push_back(std::move(frame));
    }
    m_changed.notify_all();
}

void ChannelCapture::offer(const exporting::PixelSource& part, const DateTime& time, int64_t sourceOffset,
                           const std::optional<evidence::Digest>& sourceDigest) {
    if (!part.pixels || part.width <= 0 || part.height <= 0) {
        return;
    }
    std::optional<Frame> frame = waitForRoom(sourceOffset);
    if (!frame) {
        return;
    }
    // Only the playback thread fills frames, so the room found stays free while the copy is made.
    fill(*frame, part, time, sourceOffset, sourceDigest);
    push(std::move(*frame));
}

void ChannelCapture::offerStored(const PlayerPictures& pictures, int64_t sourceOffset,
                                 const std::optional<evidence::Digest>& sourceDigest) {
    const int channel = m_channel.load();
    if (!m_active.load() || channel < 0) {
        return;
    }
    // Room is found first, so the picture's lock (which the window's painting takes too) is held only
    // for the copy, never while the writer catches up.
    std::optional<Frame> frame = waitForRoom(sourceOffset);
    if (!frame) {
        return;
    }
    const std::optional<DateTime> time = pictures.channelTime(channel);
    bool filled = false;
    pictures.withPaneSource(channel, [&](const PlayerPictures::PaneSource& source) {
        if (!source.picture || source.rect.width <= 0 || source.rect.height <= 0) {
            return;
        }
        exporting::PixelSource part;
        part.channels = 4;
        part.strideBytes = source.picture->stride();
        part.pixels = source.picture->pixels.data() + size_t(source.rect.y) * part.strideBytes +
                      size_t(source.rect.x) * 4;
        part.width = source.rect.width;
        part.height = source.rect.height;
        fill(*frame, part, time.value_or(DateTime{}), sourceOffset, sourceDigest);
        filled = true;
    });
    if (filled) {
        push(std::move(*frame));
    }
}

void ChannelCapture::fail(const std::string& reason) {
    bool first = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_failure) {
            m_failure = reason;
            first = true;
        }
        m_queue.clear();
    }
    m_changed.notify_all();
    if (first && m_request.onFailure) {
        m_request.onFailure();
    }
}

void ChannelCapture::writerLoop() {
    // The backup file's digest is taken here, off the window thread (waiting, when the file was opened
    // only just, for the work begun then); the first frames wait in the queue meanwhile.
    m_manifest.emplace(m_request.backupPath.empty()
                           ? evidence::ManifestBuilder(kProgram)
                           : evidence::ManifestBuilder::fromBackup(kProgram, m_request.backupPath,
                                                                   m_request.settings.channel,
                                                                   m_request.sourceDigest));
    m_output->setManifest(&*m_manifest);
    exporting::FramePipeline pipeline(m_request.stamper);
    const ExportSettings settings = m_request.settings;
    for (;;) {
        Frame frame;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_ending || !m_queue.empty(); });
            if (m_queue.empty()) {
                return;
            }
            frame = std::move(m_queue.front());
            m_queue.pop_front();
        }
        m_changed.notify_all();
        exporting::PixelSource source;
        source.pixels = frame.pixels.data();
        source.width = frame.width;
        source.height = frame.height;
        source.strideBytes = size_t(frame.width) * 4;
        source.channels = 4;
        exporting::Stamp stamp;
        stamp.time = frame.time;
        stamp.channel = settings.channel;
        stamp.textHeightPx = exporting::stampTextHeight(settings.width > 360);
        const auto jpeg = pipeline.encodeFrame(source, settings.width, settings.height,
                                               m_request.stamper ? &stamp : nullptr);
        if (!jpeg.empty() &&
            !m_output->add({frame.time, true, frame.sourceOffset, frame.sourceDigest, jpeg})) {
            fail(m_output->status().reason());
        }
        std::lock_guard lock(m_mutex);
        if (m_spare.size() < kQueueFrames) {
            m_spare.push_back(std::move(frame));
        }
    }
}

}  // namespace dvr::player
