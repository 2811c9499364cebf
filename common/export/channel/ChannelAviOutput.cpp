#include "common/export/channel/ChannelAviOutput.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace dvr::exporting {

ChannelAviOutput::ChannelAviOutput(const ChannelAviSettings& settings, evidence::ManifestBuilder* manifest)
    : m_settings(settings), m_pacer(settings.framesPerSecond) {
    setManifest(manifest);
}

void ChannelAviOutput::setManifest(evidence::ManifestBuilder* manifest) {
    m_manifest = manifest;
    if (m_manifest) {
        const ChannelAviSettings& settings = m_settings;
        evidence::ManifestSettings recorded;
        recorded.width = settings.width;
        recorded.height = settings.height;
        recorded.framesPerSecond = settings.framesPerSecond;
        recorded.pace = settings.pace == ChannelPace::Real ? "real" : "pictures";
        recorded.stamp = settings.stamp;
        recorded.jpegQuality = 70;
        recorded.threads = settings.threads;
        m_manifest->setSettings(recorded);
    }
}

Status ChannelAviOutput::open(ByteSink& sink, const std::string& streamName) {
    m_status =
        m_avi.open(sink, {m_settings.width, m_settings.height, m_settings.framesPerSecond, streamName});
    return m_status;
}

Status ChannelAviOutput::open(const std::string& path) {
    const std::string streamName = path.substr(path.find_last_of('/') + 1);
    m_status =
        m_avi.open(path, {m_settings.width, m_settings.height, m_settings.framesPerSecond, streamName});
    return m_status;
}

bool ChannelAviOutput::emit(std::span<const uint8_t> jpeg, const std::string& time, int64_t sourceOffset,
                            const std::optional<evidence::Digest>& sourceDigest) {
    m_status = m_avi.writeVideoFrame(jpeg);
    if (!m_status.ok())
        return false;
    if (m_manifest)
        m_manifest->addFrame(time, sourceOffset, jpeg, sourceDigest);
    return true;
}

bool ChannelAviOutput::emitNumber(uint64_t number) {
    if (number < m_firstHeld || number >= m_firstHeld + m_held.size())
        return true;  // never happens: the pacer names pictures it was given
    // Pictures before this one are done with.
    while (m_firstHeld < number) {
        m_held.pop_front();
        ++m_firstHeld;
    }
    const Held& p = m_held.front();
    return emit(p.jpeg, p.time, p.sourceOffset, p.sourceDigest);
}

namespace {

std::array<uint8_t, 8> tagOf(uint64_t number) {
    std::array<uint8_t, 8> tag{};
    std::memcpy(tag.data(), &number, tag.size());
    return tag;
}

uint64_t numberOf(std::span<const uint8_t> tag) {
    uint64_t n = 0;
    std::memcpy(&n, tag.data(), sizeof n);
    return n;
}

}  // namespace

bool ChannelAviOutput::add(const ChannelAviPicture& p) {
    if (!m_status.ok())
        return false;
    if (!m_order.admits(p.sourceOffset) || p.jpeg.empty())
        return true;
    m_order.taken(p.sourceOffset);
    if (!m_first)
        m_first = p.time;
    m_last = p.time;
    ++m_pictures;
    const std::string time = dateTimeText(p.time);
    if (m_settings.pace == ChannelPace::Pictures)
        return emit(p.jpeg, time, p.sourceOffset, p.sourceDigest);
    // Real pace: the pacer is fed picture numbers, so that each frame it writes names its picture.
    const uint64_t number = m_firstHeld + m_held.size();
    m_held.push_back(
        {time, p.sourceOffset, p.sourceDigest, std::vector<uint8_t>(p.jpeg.begin(), p.jpeg.end())});
    if (p.timeValid)
        m_lastSecond = secondsOf(p.time);
    if (!m_lastSecond) {
        // No picture so far has a valid time: this one waits for the first second there is. Paced at
        // the calendar's origin, the clip would run frame by frame from there up to the first real time.
        m_untimed.push_back(number);
        return true;
    }
    for (const uint64_t waiting : m_untimed) {
        if (!addToPacer(*m_lastSecond, waiting))
            return false;
    }
    m_untimed.clear();
    return addToPacer(*m_lastSecond, number);
}

bool ChannelAviOutput::addToPacer(int64_t second, uint64_t number) {
    return m_pacer.add(second, tagOf(number),
                       [this](std::span<const uint8_t> t) { return emitNumber(numberOf(t)); });
}

Status ChannelAviOutput::close() {
    if (m_status.ok() && m_settings.pace == ChannelPace::Real) {
        // Not one picture had a valid time: they share one second.
        bool added = true;
        for (const uint64_t waiting : m_untimed) {
            added = added && addToPacer(0, waiting);
        }
        m_untimed.clear();
        if (added)
            m_pacer.finish([this](std::span<const uint8_t> t) { return emitNumber(numberOf(t)); });
    }
    m_held.clear();
    m_frames = m_avi.frameCount();
    const Status closed = m_avi.close();
    if (!m_status.ok())
        return m_status;
    return closed;
}

Status ChannelAviOutput::writeLog(const std::string& aviPath, const DateTime& start,
                                  const DateTime& end) const {
    const ExportLog log{
        start, end, m_settings.framesPerSecond, m_settings.channel, m_settings.width, m_settings.height};
    return writeExportLog(aviPath, log);
}

evidence::ManifestWrite ChannelAviOutput::writeManifest(const std::string& aviPath) const {
    if (!m_manifest) {
        evidence::ManifestWrite none;
        none.message = "no manifest was kept";
        return none;
    }
    return m_manifest->write(aviPath);
}

}  // namespace dvr::exporting
