#include "tools/zavtool/ChannelPass.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "common/evidence/Sha256.h"
#include "common/export/AviWriter.h"
#include "common/export/OrderedPool.h"
#include "common/export/channel/ChannelAviOutput.h"
#include "common/frame/FrameDecoder.h"
#include "common/frame/FrameHeader.h"
#include "common/frame/SourceRect.h"
#include "player/engine/PlayerEngine.h"
#include "player/media/BackupScan.h"
#include "player/media/PictureDecode.h"
#include "player/media/PlaybackClock.h"
#include "player/media/PlaybackReader.h"
#include "player/media/PlaybackThread.h"
#include "player/view/FieldRules.h"

namespace dvr::zavtool {

namespace {

class ScanMessages final : public media::Notifier {
public:
    void showMessage(std::string_view text) override {
        if (first.empty())
            first = text;
    }
    std::string first;
};

// Decoded pictures are large (the largest picture the format carries); they are recycled, never freed
// while the export runs.
class PictureStock {
public:
    std::unique_ptr<frame::DecodedPicture> take() {
        std::lock_guard lock(m_mutex);
        if (m_free.empty())
            return std::make_unique<frame::DecodedPicture>();
        auto picture = std::move(m_free.back());
        m_free.pop_back();
        return picture;
    }
    void give(std::unique_ptr<frame::DecodedPicture> picture) {
        if (!picture)
            return;
        std::lock_guard lock(m_mutex);
        m_free.push_back(std::move(picture));
    }

private:
    std::mutex m_mutex;  // guards m_free
    std::vector<std::unique_ptr<frame::DecodedPicture>> m_free;
};

// One picture record of the channel, copied out of the playback thread's buffer.
struct DecodeJob {
    media::BackupHeader header;
    std::array<uint8_t, media::kSubHeaderBytes> subHeader{};
    int fieldCode = media::kWholeFrame;
    uint64_t offset = 0;
    std::vector<uint8_t> codestream;
};

struct DecodeResult {
    DecodeJob job;
    evidence::Digest codestreamDigest{};
    bool decoded = false;
    int channel = -1;
    std::unique_ptr<frame::DecodedPicture> picture;
};

using DecodePool = exporting::OrderedPool<DecodeJob, DecodeResult>;

// Takes what the playback thread delivers: the records that carry the channel inside the time range
// go to the decoders; the driver learns when the thread reached the end of the file.
class ExportSink final : public media::PlaybackSink {
public:
    ExportSink(media::PlaybackShared& shared, DecodePool& pool, int channel, uint64_t endOffset,
               std::optional<int64_t> fromSecond, std::optional<int64_t> toSecond)
        : m_shared(shared),
          m_pool(pool),
          m_channel(channel),
          m_endOffset(endOffset),
          m_from(fromSecond),
          m_to(toSecond) {}

    void drawPicture(const media::DeliveredPicture& picture) override {
        const media::BackupHeader& h = *picture.header;
        m_offset.store(picture.headerOffset);
        // One run through the file in file order: a record the thread shows again (the first group when
        // forward play begins, the pictures it shows on reaching the end) is not part of it. The forward
        // run takes what lies before the forward end, the tail what lies from there to the last picture.
        if (m_tail ? (picture.headerOffset < m_endOffset || picture.headerOffset > m_tailEnd)
                   : picture.headerOffset >= m_endOffset)
            return;
        if (m_anyTaken && picture.headerOffset <= m_lastTaken)
            return;
        m_anyTaken = true;
        m_lastTaken = picture.headerOffset;
        m_lastTakenEnd = picture.headerOffset + media::kSectorBytes + picture.lengthBytes;
        if (m_cancelled.load() || m_channel >= 32 || !(h.channelMask() & (1u << m_channel)))
            return;
        // A quad's second field is never shown: not worth decoding (half the records of a quad file).
        if (player::FieldRules::dropsUndecoded(h.pictureFlags, h.layoutCode, picture.fieldCode))
            return;
        if (m_from || m_to) {
            if (!h.time.isValid())
                return;
            const int64_t second = secondsOf(h.time.dateTime());
            if ((m_from && second < *m_from) || (m_to && second > *m_to))
                return;
        }
        DecodeJob job;
        job.header = h;
        job.subHeader = picture.subHeader;
        job.fieldCode = picture.fieldCode;
        job.offset = picture.headerOffset;
        const auto codestream = picture.codestream();
        job.codestream.assign(codestream.begin(), codestream.end());
        if (!m_pool.submit(std::move(job)))
            m_cancelled.store(true);
    }
    void soundBlock(std::span<const uint8_t>, uint8_t, uint16_t, uint32_t) override {}
    void setSlider(int) override {}
    void atStart() override { notify(); }
    void atEnd() override {
        m_atEnd.store(true);
        notify();
    }
    // The playback thread's message when it could not read on (the first one counts).
    void showMessage(std::string_view text) override {
        std::lock_guard lock(m_mutex);
        if (m_message.empty())
            m_message = std::string(text);
    }
    std::string message() {
        std::lock_guard lock(m_mutex);
        return m_message;
    }

    void cancel() {
        m_cancelled.store(true);
        notify();
    }
    bool cancelled() const { return m_cancelled.load(); }
    // From now on the records from the forward end up to the record at `lastRecord` are taken; the
    // playback thread has ended. Returns where their reading starts: after the last record taken.
    uint64_t beginTail(uint64_t lastRecord) {
        m_tail = true;
        m_tailEnd = lastRecord;
        return m_anyTaken ? m_lastTakenEnd : media::kDataStart;
    }
    uint64_t offset() const { return m_offset.load(); }

    // Waits until the thread pauses (with the end reached when `atEnd`), ends, or the export is cancelled.
    bool waitForPause(const media::PlaybackThread& thread, bool atEnd) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (thread.ended() || m_cancelled.load())
                return false;
            if (m_shared.mode() == media::PlayMode::Pause && (!atEnd || m_atEnd.load()))
                return true;
            m_wake.wait_for(lock, std::chrono::milliseconds(5));
        }
    }

private:
    void notify() {
        std::lock_guard lock(m_mutex);
        m_wake.notify_all();
    }

    media::PlaybackShared& m_shared;
    DecodePool& m_pool;
    const int m_channel;
    const uint64_t m_endOffset;
    const std::optional<int64_t> m_from;
    const std::optional<int64_t> m_to;
    std::atomic<bool> m_atEnd{false};
    std::atomic<bool> m_cancelled{false};
    bool m_anyTaken = false;  // playback thread (then the tail's reader) only, down to m_tailEnd
    uint64_t m_lastTaken = 0;
    uint64_t m_lastTakenEnd = 0;
    bool m_tail = false;
    uint64_t m_tailEnd = 0;
    std::atomic<uint64_t> m_offset{0};
    std::mutex m_mutex;  // pairs with m_wake; the waited-on words are atomic; guards m_message
    std::condition_variable m_wake;
    std::string m_message;
};

bool readAt(int fd, uint8_t* out, size_t size, uint64_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, out + done, size - done, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

// Reads the records from `from` up to and including the one at `lastRecord` in file order, as forward
// play reads them (a record without a picture or too long is passed over from the sector after its
// header; a picture without an end marker is dropped), and hands every complete picture to the sink.
// Empty when it read them all; else why it could not (a last record cut short by the end of the file
// `fileSize` is no failure).
std::string readTail(const std::string& path, uint64_t from, uint64_t lastRecord, uint64_t fileSize,
                     ExportSink& sink) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "cannot open " + path + ": " + std::strerror(errno);
    const auto cannotRead = [&](uint64_t offset) {
        return "cannot read " + path + " at offset " + std::to_string(offset);
    };
    std::string failure;
    constexpr size_t kMaxData = media::PlaybackReader::kMaxRecordSize * media::kSectorBytes;
    std::vector<uint8_t> data(kMaxData);
    std::array<uint8_t, media::kSectorBytes> sector{};
    uint64_t at = (from + media::kSectorBytes - 1) / media::kSectorBytes * media::kSectorBytes;
    while (at <= lastRecord && !sink.cancelled()) {
        if (!readAt(fd, sector.data(), sector.size(), at)) {
            failure = cannotRead(at);
            break;
        }
        if (!media::hasRecordSignature(sector)) {
            at += media::kSectorBytes;
            continue;
        }
        const media::BackupHeader header = *media::parseBackupHeader(sector);
        const uint32_t n = header.sectorCount - 1;
        if (header.sectorCount == 0 || n <= media::PlaybackReader::kMinPictureRecordSize ||
            n > media::PlaybackReader::kMaxRecordSize) {
            at += media::kSectorBytes;
            continue;
        }
        const size_t dataBytes = size_t(n) * media::kSectorBytes;
        if (!readAt(fd, data.data(), dataBytes, at + media::kSectorBytes)) {
            if (at + media::kSectorBytes + dataBytes <= fileSize)
                failure = cannotRead(at + media::kSectorBytes);
            break;  // else cut short by the end of the file
        }
        media::swapWords({data.data(), dataBytes});
        std::array<uint8_t, media::kSubHeaderBytes> subHeader{};
        std::copy_n(data.begin(), subHeader.size(), subHeader.begin());
        const std::span<const uint8_t> picture(data.data() + media::kSubHeaderBytes,
                                               dataBytes - media::kSubHeaderBytes);
        // The end marker FF D9, searched as forward play searches it.
        int64_t found = -1;
        if (header.endSearchLength() >= 32) {
            for (int64_t i = std::max<int64_t>(header.endSearchLength() - 32, 1);
                 i <= int64_t(dataBytes) - 17; ++i) {
                if (picture[size_t(i - 1)] == 0xFF && picture[size_t(i)] == 0xD9) {
                    found = i;
                    break;
                }
            }
        }
        if (found >= 0) {
            media::DeliveredPicture delivered;
            delivered.header = &header;
            delivered.headerOffset = at;
            delivered.fieldCode = media::fieldCode(subHeader);
            delivered.lengthBytes = uint32_t(dataBytes);
            delivered.bytes = picture;
            delivered.endMarkerIndex = size_t(found);
            delivered.subHeader = subHeader;
            sink.drawPicture(delivered);
        }
        at += media::kSectorBytes + dataBytes;
    }
    ::close(fd);
    return failure;
}

// The player's drawing rules, in file order: which decoded records become a picture of the channel.
class DrawablePictures {
public:
    explicit DrawablePictures(int channel) : m_channel(channel) {}

    // The picture to export for a decoded record, or null when it shows nothing of the channel.
    const frame::DecodedPicture* take(DecodeResult& r) {
        const int c = r.channel;
        if (c < 0 || c > 15)
            return nullptr;
        const media::BackupHeader& h = r.job.header;
        const player::FieldRules::Taken taken =
            m_fields.take(c, *r.picture, h.pictureFlags, h.layoutCode, r.job.fieldCode);
        if (taken.verdict != player::FieldRules::Verdict::Keep)
            return nullptr;
        if (m_channel < c || m_channel >= c + frame::channelsPerPicture(h.pictureFlags))
            return nullptr;
        return taken.picture;
    }

private:
    int m_channel;
    player::FieldRules m_fields;
};

}  // namespace

std::string ChannelPass::prepare(const std::string& backupPath, int channel, std::optional<DateTime> from,
                                 std::optional<DateTime> to) {
    m_backupPath = backupPath;
    m_channel = channel;
    ScanMessages messages;
    const media::ScanOutcome scan = media::openAndScan(backupPath, messages);
    if (!scan.ok()) {
        std::string line = messages.first.empty() ? std::string(media::kUnknownCdMessage) : messages.first;
        if (scan.error == media::ScanError::CannotOpen)
            line += "(" + backupPath + ": " + scan.detail + ")";
        return line;
    }
    m_channelCount = scan.result.channelCount;
    m_endOffset = scan.result.endOffset;
    m_endHeaderOffset = scan.result.endHeaderOffset;
    m_fileSize = scan.result.fileSize;
    m_startSecond.reset();
    if (scan.result.startTime.isValid())
        m_startSecond = secondsOf(scan.result.startTime.dateTime());
    const media::ScanResult& file = scan.result;
    if (channel < 0 || channel >= file.channelCount)
        return "unknown channel " + std::to_string(channel) + ": the file has channels 0 to " +
               std::to_string(file.channelCount - 1);
    if (from)
        m_fromSecond = secondsOf(*from);
    if (to)
        m_toSecond = secondsOf(*to);
    const bool startValid = file.startTime.isValid();
    const bool endValid = file.endTimeValid && file.endTime.isValid();
    if ((m_fromSecond && m_toSecond && *m_fromSecond > *m_toSecond) ||
        (m_toSecond && startValid && *m_toSecond < secondsOf(file.startTime.dateTime())) ||
        (m_fromSecond && endValid && *m_fromSecond > secondsOf(file.endTime.dateTime())))
        return "empty range: the file holds " + file.startTime.text() + " to " + file.endTime.text();
    return {};
}

void ChannelPass::run(int decodeThreads, const std::function<bool(const ChannelPicture&)>& onPicture,
                      const std::function<void(int percent)>& onProgress) {
    m_decodeFailures = 0;
    m_olderLeftOut = 0;
    PictureStock stock;
    std::vector<std::unique_ptr<frame::FrameDecoder>> decoders;
    const int threads = decodeThreads < 1 ? 1 : decodeThreads;
    for (int i = 0; i < threads; ++i)
        decoders.push_back(std::make_unique<frame::FrameDecoder>());
    const int channelCount = m_channelCount;
    DecodePool pool(threads, size_t(threads) * 3, [&](DecodeJob& job, int worker) {
        DecodeResult r;
        r.picture = stock.take();
        frame::FrameDecodeOptions options = media::playerDecodeOptions(job.header);
        options.channelCount = channelCount;
        const frame::DecodedFrame decoded = decoders[size_t(worker)]->decodeCodestream(
            media::frameHeaderOf(job.header, job.subHeader), job.codestream, uint32_t(job.codestream.size()),
            options, r.picture.get());
        r.decoded = decoded.ok();
        r.channel = decoded.channel;
        if (r.decoded)
            r.codestreamDigest = evidence::sha256(job.codestream);
        r.job = std::move(job);
        return r;
    });

    media::PlaybackShared shared;
    media::ManualPlaybackClock clock;
    ExportSink sink(shared, pool, m_channel, m_endOffset, m_fromSecond, m_toSecond);
    player::PlayerEngine engine(shared, sink, clock, player::PlayerEngine::Options{.paced = false});
    media::PlaybackThread thread(shared, sink, engine, clock);
    shared.setMode(media::PlayMode::GoToStart);
    thread.start({m_backupPath, m_channelCount, m_endOffset});
    // Drives the playback thread from the start to the end of the file, then ends the decoders' input.
    m_readFailure.clear();
    std::thread driver([&] {
        bool reachedEnd = false;
        if (sink.waitForPause(thread, false)) {
            shared.setMode(media::PlayMode::Forward);
            reachedEnd = sink.waitForPause(thread, true);
        }
        thread.stop();
        if (!reachedEnd && !sink.cancelled()) {
            // The playback thread ended on its own: it could not read on, and what lies past the record
            // it stopped at was never seen.
            std::string message = sink.message();
            while (!message.empty() && message.back() == ' ')
                message.pop_back();
            m_readFailure = "reading " + m_backupPath + " stopped early" +
                            (message.empty() ? std::string() : ": " + message);
        } else if (!m_forwardOnly && !sink.cancelled()) {
            m_readFailure = readTail(m_backupPath, sink.beginTail(m_endHeaderOffset), m_endHeaderOffset,
                                     m_fileSize, sink);
        }
        pool.close();
    });

    DrawablePictures drawable(m_channel);
    bool going = true;
    int taken = 0;
    std::optional<int64_t> lastSecond;  // of the last picture handed over
    while (std::optional<DecodeResult> r = pool.next()) {
        if (going && !r->decoded) {
            ++m_decodeFailures;
        } else if (going) {
            if (const frame::DecodedPicture* picture = drawable.take(*r)) {
                const media::BackupHeader& h = r->job.header;
                ChannelPicture p;
                p.picture = picture;
                p.rect = frame::channelSourceRect(h.pictureFlags, m_channel, picture->width, picture->height);
                p.time = h.time.dateTime();
                p.timeValid = h.time.isValid();
                p.sourceOffset = r->job.offset;
                p.sourceDigest = r->codestreamDigest;
                // Picture times never go back: a picture dated before the file's start or before the
                // last one handed over is an older recording left on the disk.
                const bool tail = p.sourceOffset >= m_endOffset;
                std::optional<int64_t> second;
                if (p.timeValid)
                    second = secondsOf(p.time);
                const bool older = second && ((m_startSecond && *second < *m_startSecond) ||
                                              (lastSecond && *second < *lastSecond));
                if (older)
                    ++m_olderLeftOut;
                if (!older && (second || !tail)) {
                    going = onPicture(p);
                    if (second)
                        lastSecond = second;
                }
                if (onProgress && ++taken % 16 == 0)
                    onProgress(int(m_fileSize ? sink.offset() * 100 / m_fileSize : 0));
            }
            if (!going) {
                sink.cancel();
                pool.cancel();
            }
        }
        stock.give(std::move(r->picture));
    }
    driver.join();
}

ChannelExportOutcome exportChannel(const ChannelExportOptions& o) {
    ChannelExportOutcome outcome;
    auto failed = [&](std::string message) {
        outcome.ok = false;
        outcome.message = std::move(message);
        return outcome;
    };
    ChannelPass pass;
    pass.setForwardRangeOnly(o.forwardRangeOnly);
    if (std::string refusal = pass.prepare(o.backupPath, o.channel, o.from, o.to); !refusal.empty())
        return failed(refusal);

    exporting::ChannelAviSettings settings;
    settings.channel = o.channel;
    settings.width = o.width;
    settings.height = o.height;
    settings.framesPerSecond = o.framesPerSecond;
    settings.pace =
        o.pace == ExportPace::Real ? exporting::ChannelPace::Real : exporting::ChannelPace::Pictures;
    settings.stamp = o.stamper != nullptr;
    settings.threads = o.decodeThreads;
    exporting::ChannelAviOutput output(settings, o.manifest);
    if (o.beforeCreate) {
        if (std::string refusal = o.beforeCreate(); !refusal.empty())
            return failed(refusal);
    }
    if (const exporting::Status opened = output.open(o.aviPath); !opened.ok())
        return failed(opened.reason());

    exporting::FramePipeline pipeline(o.stamper);
    ChannelExportReport& report = outcome.report;
    // The stamp's text height follows the frame width (20 pixels up to 360, else 25) from the first frame.
    const int textHeight = exporting::stampTextHeight(o.width > 360);
    pass.run(
        o.decodeThreads,
        [&](const ChannelPicture& p) {
            if (!output.admits(int64_t(p.sourceOffset)))
                return true;
            const frame::DecodedPicture& picture = *p.picture;
            const exporting::PixelSource source{
                picture.pixels.data() + size_t(p.rect.y) * picture.stride() + size_t(p.rect.x) * 4,
                p.rect.width, p.rect.height, picture.stride(), 4};
            const exporting::Stamp stamp{p.time, o.channel, textHeight};
            const auto jpeg = pipeline.encodeFrame(source, o.width, o.height, &stamp);
            if (jpeg.empty())
                return true;  // a frame that does not compress is skipped
            if (p.sourceOffset >= pass.forwardEnd())
                ++report.pastForwardRange;
            return output.add({p.time, p.timeValid, int64_t(p.sourceOffset), p.sourceDigest, jpeg});
        },
        o.progress ? std::function<void(int)>([&](int percent) { o.progress(output.pictures(), percent); })
                   : std::function<void(int)>());
    report.decodeFailures = pass.decodeFailures();
    report.olderLeftOut = pass.olderLeftOut();
    const exporting::Status closed = output.close();
    report.pictures = output.pictures();
    report.frames = output.frames();
    if (!closed.ok())
        return failed(closed.reason());
    // Part of the range was never read: the clip is not the channel's whole recording, and it gets
    // neither a log nor a manifest that would speak for it.
    if (!pass.readFailure().empty())
        return failed(pass.readFailure() + "; " + o.aviPath + " holds only the " +
                      std::to_string(report.pictures) + " pictures before it");
    if (report.pictures == 0) {
        std::remove(o.aviPath.c_str());
        return failed("no picture of channel " + std::to_string(o.channel) + " in the range");
    }
    report.first = *output.firstTime();
    report.last = *output.lastTime();
    if (const exporting::Status logged = output.writeLog(o.aviPath, report.first, report.last); !logged.ok())
        return failed(logged.reason());
    if (o.manifest) {
        if (const evidence::ManifestWrite written = output.writeManifest(o.aviPath); !written.ok)
            return failed("manifest not written: " + written.message);
    }
    outcome.ok = true;
    return outcome;
}

}  // namespace dvr::zavtool
