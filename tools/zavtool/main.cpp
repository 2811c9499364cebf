// zavtool: looks into backup files: the opening scan, the pictures the playback thread delivers, and
// the sound of one channel.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/frame/Bytes.h"
#include "common/frame/FrameDecoder.h"
#include "common/frame/JpegEncoder.h"
#include "common/frame/SourceRect.h"
#include "common/fs/AtomicFile.h"
#include "common/fs/SafeOpen.h"
#include "common/json/Json.h"
#include "player/engine/PlayerEngine.h"
#include "player/media/BackupScan.h"
#include "player/media/ByteSource.h"
#include "player/media/PictureDecode.h"
#include "player/media/PlaybackClock.h"
#include "player/media/PlaybackThread.h"
#include "tools/zavgen/BackupWriter.h"
#include "tools/zavtool/EvidenceCommands.h"
#include "tools/zavtool/ExportCommand.h"
#include "tools/zavtool/OutputFile.h"
#include "tools/zavtool/SoundTrack.h"

namespace {

using namespace dvr;

constexpr const char* kUsage = R"(Usage:
  zavtool info FILE [--json]
      channel count, default pane count, layout code, sound, start and end time, end offset, file size
  zavtool frames FILE [--mode forward|backward] [--channel N] [--out DIR] [--json]
      runs the playback thread unpaced from one end of the file to the other and prints every delivered
      picture: header offset, channel read from the pixels (0-based), record time, field code, flags;
      --channel keeps the pictures carrying channel N (0-based); --out writes each channel's latest
      picture as DIR/chNN.jpg (NN = channel + 1, as vistrelctl names them); then a summary per channel
  zavtool audio FILE --channel K --out X.wav [--overwrite]
      sound channel K (1-4) as 16-bit PCM, 8000 Hz mono; refused when longer than a WAV file can
      hold (its sizes are 32-bit: 4 GiB, about 74 hours)
  zavtool export FILE --channel N --out X.avi [--from T] [--to T] [--fps R] [--size 360x240|720x480]
                 [--pace pictures|real] [--threads K] [--no-stamp] [--forward-range]
                 [--overwrite]
      every drawable picture of channel N (0-based) between the times T ("YYYY-MM-DD HH:MM:SS"), in
      file order up to the file's last picture (the end info reports), as a Motion-JPEG AVI file at R
      frames per second (default 10, 360x240) with the time stamp, and the export log X.log beside it;
      pictures dated before the file's start or before the last picture written are left out (older
      recordings on the disk, or the recorder's clock set back) and counted; --forward-range: only what the player's forward play reaches (it stops
      640 KiB before the end of the file); --pace pictures (default) writes each picture once, --pace
      real repeats or drops pictures so the clip lasts as long as the recording; K decoding threads
      (default: the number of cores); X.avi.manifest.json beside it records the export. Prints the
      picture count, the first and last picture times, how many came from past the forward range
      and, when there were any, how many were left out for their dates; exit 1 when no picture was written
  zavtool still FILE --channel N [--at T] [--filter LIST] --out X.jpg|X.png [--overwrite]
      the first drawable picture of channel N at or after T, its channel's part at its own size,
      through the filters of LIST in order (comma-separated: bright, dark, sharpen, blur, contrast-up,
      contrast-down), as JPEG (quality 80) or lossless PNG; X.jpg.manifest.json beside it
  zavtool verify FILE [--source BACKUP.zav] [--key PUBLIC.pem] [--require-signature] [--json]
      checks an exported file against FILE.manifest.json: the file's SHA-256, each frame's SHA-256
      and their chain; --source: the backup file and that each frame's source record holds the
      picture bytes the manifest names; the signature with --key, else with the user's own public
      keys (manifest-key.pub.pem, the earlier manifest-key.FINGERPRINT.pub.pem kept beside it and
      public-keys/*.pem of the settings folder) when one has its
      fingerprint. The first line names what was proved: INTEGRITY OK, then SIGNED by the key's
      fingerprint, SIGNATURE NOT CHECKED when no key here has it, or UNSIGNED; --json gives "trust":
      signed, signed-unchecked or unsigned. Exit 0 when every integrity check passed (whatever the
      trust), 1 at the first mismatch (or, with --require-signature, unless signed), 2 for a missing
      or damaged manifest, key or exported file
  zavtool keygen [--force]
      makes the Ed25519 key that signs manifests: manifest-key.pem (mode 0600) and
      manifest-key.pub.pem in $XDG_CONFIG_HOME/Discoro (or ~/.config/Discoro); --force replaces the
      pair and keeps the old public key as manifest-key.FINGERPRINT.pub.pem
  zavtool --help
An existing --out file is refused unless --overwrite is given; a --out folder's chNN.jpg are replaced.
)";

// Progress goes to a terminal on standard error, and not when standard output is piped. While pictures
// are printed to the terminal they are the progress themselves.
bool showProgress(bool printsAsItGoes) {
    struct stat out {};
    const bool piped = fstat(STDOUT_FILENO, &out) == 0 && S_ISFIFO(out.st_mode);
    return isatty(STDERR_FILENO) && !piped && !(printsAsItGoes && isatty(STDOUT_FILENO));
}

int fail(const std::string& message) {
    std::fprintf(stderr, "zavtool: %s\n", message.c_str());
    return 1;
}

// Collects the scan's message instead of showing it.
class MessageList final : public media::Notifier {
public:
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    std::vector<std::string> messages;
};

// The scan's failure as one line: its message, and the reason the file could not be opened.
int scanFailure(const std::string& path, const media::ScanOutcome& outcome, const MessageList& messages) {
    std::string line =
        messages.messages.empty() ? std::string(media::kUnknownCdMessage) : messages.messages.front();
    if (outcome.error == media::ScanError::CannotOpen)
        line += "(" + path + ": " + outcome.detail + ")";
    std::fprintf(stderr, "zavtool: %s\n", line.c_str());
    return 1;
}

int runInfo(const std::string& path, bool json) {
    MessageList messages;
    const media::ScanOutcome outcome = media::openAndScan(path, messages);
    if (!outcome.ok())
        return scanFailure(path, outcome, messages);
    const media::ScanResult& r = outcome.result;
    if (json) {
        std::printf(
            "{\"channels\": %d, \"panes\": %d, \"layoutCode\": %u, \"sound\": %s, \"start\": \"%s\", "
            "\"end\": "
            "\"%s\", \"endOffset\": %llu, \"fileSize\": %llu}\n",
            r.channelCount, r.paneCount, r.layoutCode, r.soundAvailable ? "true" : "false",
            r.startTime.text().c_str(), r.endTime.text().c_str(),
            static_cast<unsigned long long>(r.endOffset), static_cast<unsigned long long>(r.fileSize));
    } else {
        std::printf("channels:    %d\n", r.channelCount);
        std::printf("panes:       %d\n", r.paneCount);
        std::printf("layout code: 0x%X\n", r.layoutCode);
        std::printf("sound:       %s\n", r.soundAvailable ? "yes" : "no");
        std::printf("start:       %s\n", r.startTime.text().c_str());
        std::printf("end:         %s%s\n", r.endTime.text().c_str(), r.endTimeValid ? "" : " (END disabled)");
        std::printf("end offset:  %llu\n", static_cast<unsigned long long>(r.endOffset));
        std::printf("file size:   %llu\n", static_cast<unsigned long long>(r.fileSize));
    }
    return 0;
}

struct ChannelSummary {
    int pictures = 0;
    std::string first;
    std::string last;
    std::vector<uint8_t> jpeg;  // the latest picture's part, with --out
};

// Receives what the playback thread delivers: decodes, prints, keeps the per-channel summary, and lets
// the driver wait for the thread to reach a pause.
class FramesSink final : public media::PlaybackSink {
public:
    FramesSink(media::PlaybackShared& shared, bool json, int channelFilter, bool keepJpeg, uint64_t fileSize)
        : m_shared(shared),
          m_json(json),
          m_channelFilter(channelFilter),
          m_keepJpeg(keepJpeg),
          m_fileSize(fileSize),
          m_progress(!json && showProgress(true)) {}

    void drawPicture(const media::DeliveredPicture& picture) override {
        if (!m_recording.load())
            return;
        const media::BackupHeader& h = *picture.header;
        if (m_channelFilter >= 0 && !(m_channelFilter < 32 && (h.channelMask() & (1u << m_channelFilter))))
            return;
        const frame::DecodedFrame decoded = media::decodeDeliveredPicture(m_decoder, picture);
        const int channel = decoded.ok() ? decoded.channel : -1;
        const std::string time = h.time.text();
        if (m_json) {
            std::printf(
                "{\"offset\": %llu, \"channel\": %d, \"time\": \"%s\", \"field\": %d, \"flags\": %u}\n",
                static_cast<unsigned long long>(picture.headerOffset), channel, time.c_str(),
                picture.fieldCode, h.pictureFlags);
        } else {
            std::printf("offset %10llu  channel %2d  time %s  field %3d  flags 0x%08X\n",
                        static_cast<unsigned long long>(picture.headerOffset), channel, time.c_str(),
                        picture.fieldCode, h.pictureFlags);
        }
        ++m_pictures;
        if (!decoded.ok()) {
            ++m_failures;
        } else {
            for (int i = 0; i < frame::channelsPerPicture(h.pictureFlags); ++i) {
                const int c = channel + i;
                if (c < 0 || c > 15 || (m_channelFilter >= 0 && c != m_channelFilter))
                    continue;
                ChannelSummary& s = m_channels[c];
                ++s.pictures;
                if (s.first.empty())
                    s.first = time;
                s.last = time;
                if (m_keepJpeg) {
                    const frame::DecodedPicture& p = *decoded.picture;
                    const auto rect = frame::channelSourceRect(h.pictureFlags, c, p.width, p.height);
                    const auto jpeg = m_encoder.encode(p, rect, 85);
                    s.jpeg.assign(jpeg.begin(), jpeg.end());
                }
            }
        }
        if (m_progress && m_pictures % 16 == 0)
            std::fprintf(
                stderr, "\rzavtool: %d pictures, %3llu%% of the file", m_pictures,
                static_cast<unsigned long long>(m_fileSize ? picture.headerOffset * 100 / m_fileSize : 0));
        notify();
    }
    void soundBlock(std::span<const uint8_t>, uint8_t, uint16_t, uint32_t) override {}
    void setSlider(int) override {}
    void atStart() override {
        m_atStart.store(true);
        notify();
    }
    void atEnd() override {
        m_atEnd.store(true);
        notify();
    }
    void showMessage(std::string_view text) override {
        std::lock_guard lock(m_mutex);
        m_messages.emplace_back(text);
    }

    void record(bool on) { m_recording.store(on); }
    void resetEnds() {
        m_atStart.store(false);
        m_atEnd.store(false);
    }
    bool atStartSeen() const { return m_atStart.load(); }
    bool atEndSeen() const { return m_atEnd.load(); }

    // Waits until the thread pauses with `done` true, or ends. False when it ended.
    template <typename Done>
    bool waitForPause(const media::PlaybackThread& thread, Done done) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (thread.ended())
                return false;
            if (m_shared.mode() == media::PlayMode::Pause && done())
                return true;
            m_wake.wait_for(lock, std::chrono::milliseconds(5));
        }
    }

    // Prints the summary and writes the pictures; false when a picture file could not be written.
    bool finish(const std::string& outDir) {
        bool written = true;
        if (m_progress)
            std::fputc('\n', stderr);
        if (!outDir.empty()) {
            for (const auto& [channel, s] : m_channels) {
                if (s.jpeg.empty())
                    continue;
                char name[24];
                std::snprintf(name, sizeof name, "/ch%02d.jpg", channel + 1);
                // The folder's latest pictures are replaced whole; a link at a name is replaced, not
                // followed.
                const bool ok =
                    fs::AtomicFile::write(
                        outDir + name,
                        std::string_view(reinterpret_cast<const char*>(s.jpeg.data()), s.jpeg.size()))
                        .ok;
                if (!ok) {
                    std::fprintf(stderr, "zavtool: cannot write %s%s\n", outDir.c_str(), name);
                    written = false;
                }
            }
        }
        if (m_json) {
            std::string line = "{\"summary\": {\"pictures\": " + std::to_string(m_pictures) +
                               ", \"decodeFailures\": " + std::to_string(m_failures) + ", \"channels\": {";
            bool first = true;
            for (const auto& [channel, s] : m_channels) {
                line += (first ? "\"" : ", \"") + std::to_string(channel) +
                        "\": {\"pictures\": " + std::to_string(s.pictures) + ", \"first\": \"" + s.first +
                        "\", \"last\": \"" + s.last + "\"}";
                first = false;
            }
            line += "}, \"messages\": [";
            for (size_t i = 0; i < m_messages.size(); ++i)
                line += (i ? ", " : "") + jsonString(m_messages[i]);
            line += "]}}";
            std::printf("%s\n", line.c_str());
        } else {
            std::printf("summary: %d pictures, %d not decoded\n", m_pictures, m_failures);
            for (const auto& [channel, s] : m_channels)
                std::printf("  channel %2d: %5d pictures  %s .. %s\n", channel, s.pictures, s.first.c_str(),
                            s.last.c_str());
            for (const auto& message : m_messages)
                std::printf("  message: \"%s\"\n", message.c_str());
        }
        return written;
    }

private:
    void notify() {
        std::lock_guard lock(m_mutex);
        m_wake.notify_all();
    }

    media::PlaybackShared& m_shared;
    bool m_json;
    int m_channelFilter;
    bool m_keepJpeg;
    uint64_t m_fileSize;
    bool m_progress;
    std::atomic<bool> m_recording{true};
    std::atomic<bool> m_atStart{false};
    std::atomic<bool> m_atEnd{false};
    // Everything below is touched by the playback thread only, except m_messages (guarded by m_mutex)
    // and the summary, read after the thread has stopped.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::string> m_messages;
    frame::FrameDecoder m_decoder;
    frame::JpegEncoder m_encoder;
    std::map<int, ChannelSummary> m_channels;
    int m_pictures = 0;
    int m_failures = 0;
};

int runFrames(const std::string& path, bool backward, int channelFilter, const std::string& outDir,
              bool json) {
    if (!outDir.empty()) {
        struct stat st {};
        if (stat(outDir.c_str(), &st) != 0 && mkdir(outDir.c_str(), 0755) != 0)
            return fail("cannot create " + outDir + ": " + std::strerror(errno));
    }
    MessageList messages;
    const media::ScanOutcome outcome = media::openAndScan(path, messages);
    if (!outcome.ok())
        return scanFailure(path, outcome, messages);

    media::PlaybackShared shared;
    media::ManualPlaybackClock clock;
    FramesSink sink(shared, json, channelFilter, !outDir.empty(), outcome.result.fileSize);
    player::PlayerEngine engine(shared, sink, clock, player::PlayerEngine::Options{.paced = false});
    media::PlaybackThread thread(shared, sink, engine, clock);

    sink.record(!backward);
    shared.setMode(media::PlayMode::GoToStart);
    thread.start({path, outcome.result.channelCount, outcome.result.endOffset});
    // The thread shows the first group and pauses.
    bool running = sink.waitForPause(thread, [] { return true; });
    if (running && !backward) {
        shared.setMode(media::PlayMode::Forward);
        running = sink.waitForPause(thread, [&] { return sink.atEndSeen(); });
    } else if (running) {
        sink.resetEnds();
        sink.record(true);
        shared.setMode(media::PlayMode::GoToEnd);
        running = sink.waitForPause(thread, [] { return true; });
        if (running) {
            sink.resetEnds();
            shared.setMode(media::PlayMode::Backward);
            running = sink.waitForPause(thread, [&] { return sink.atStartSeen(); });
        }
    }
    thread.stop();
    const bool written = sink.finish(outDir);
    // The thread ended before the end it was sent to: it could not read on (its message is in the list).
    if (!running) {
        std::fprintf(stderr, "zavtool: reading %s stopped early\n", path.c_str());
        return 1;
    }
    return written ? 0 : 1;
}

void putLe32(std::FILE* f, uint32_t v) {
    std::array<uint8_t, 4> b;
    frame::writeLe32(b, 0, v);
    std::fwrite(b.data(), 1, 4, f);
}

void putLe16(std::FILE* f, uint16_t v) {
    std::array<uint8_t, 2> b;
    frame::writeLe16(b, 0, v);
    std::fwrite(b.data(), 1, 2, f);
}

// A WAV file's sizes are 32-bit: its RIFF size (36 + the data) must stay below 4 GiB.
constexpr std::size_t kMaxWavSamples = (0xFFFFFFFFull - 36) / 2;

int runAudio(const std::string& path, int soundChannel, const std::string& outPath, bool overwrite) {
    if (const std::string refusal = zavtool::checkOutput(outPath, overwrite, {path}); !refusal.empty())
        return fail(refusal);
    std::string reason;
    const auto source = media::FileByteSource::open(path, &reason);
    if (!source)
        return fail(path + ": " + reason);
    const uint64_t size = source->size();
    const bool progress = showProgress(false);

    bool tooLong = false;
    std::optional<uint64_t> readFailedAt;
    const std::vector<int16_t> pcm = zavtool::readSoundChannel(
        *source, soundChannel,
        [&](uint64_t offset) {
            if (progress)
                std::fprintf(stderr, "\rzavtool: %3llu%%",
                             static_cast<unsigned long long>(offset * 100 / size));
        },
        kMaxWavSamples, &tooLong, &readFailedAt);
    if (progress)
        std::fputc('\n', stderr);
    if (readFailedAt)
        return fail("cannot read " + path + " at offset " + std::to_string(*readFailedAt) +
                    ": no sound file written");
    if (tooLong)
        return fail("sound channel " + std::to_string(soundChannel) +
                    " is longer than a WAV file can hold (4 GiB, about 74 hours at 8000 Hz)");

    // The sound is in hand: an existing file moves aside now, not before, and comes back when the new one
    // cannot be written.
    zavtool::SetAsideOutput earlier;
    if (const std::string refusal = earlier.setAside(outPath); !refusal.empty())
        return fail(refusal);
    fs::UniqueFd fd = fs::createNew(outPath, 0644, &reason);
    if (!fd)
        return fail("cannot create " + outPath + ": " + reason);
    std::FILE* f = ::fdopen(fd.get(), "wb");
    if (!f) {
        const int error = errno;
        ::unlink(outPath.c_str());
        return fail("cannot write " + outPath + ": " + std::strerror(error));
    }
    fd.release();
    const uint32_t dataBytes = uint32_t(pcm.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    putLe32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    putLe32(f, 16);     // format chunk size
    putLe16(f, 1);      // PCM
    putLe16(f, 1);      // mono
    putLe32(f, 8000);   // samples per second
    putLe32(f, 16000);  // bytes per second
    putLe16(f, 2);      // block alignment
    putLe16(f, 16);     // bits per sample
    std::fwrite("data", 1, 4, f);
    putLe32(f, dataBytes);
    for (int16_t s : pcm)
        putLe16(f, uint16_t(s));
    // A write that failed on the way (a full disk) must not pass for a whole file.
    const bool writeFailed = std::ferror(f) != 0;
    if (std::fclose(f) != 0 || writeFailed) {
        // No part of a sound file is left to pass for the whole.
        ::unlink(outPath.c_str());
        return fail("cannot write " + outPath);
    }
    std::printf("%s: %zu samples (%.1f s) of sound channel %d\n", outPath.c_str(), pcm.size(),
                pcm.size() / 8000.0, soundChannel);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return fail("no command (see --help)");
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // Every command answers --help with the usage, as the top level does.
    for (int i = 2; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (command == "export")
        return zavtool::runExportCommand(argc, argv);
    if (command == "still")
        return zavtool::runStillCommand(argc, argv);
    if (command == "verify")
        return zavtool::runVerifyCommand(argc, argv);
    if (command == "keygen")
        return zavtool::runKeygenCommand(argc, argv);
    std::string file;
    std::string out;
    std::string mode = "forward";
    int channel = -1;
    bool json = false;
    bool overwrite = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--json") {
            json = true;
        } else if (arg == "--overwrite") {
            overwrite = true;
        } else if (arg == "--out") {
            const char* v = value();
            if (!v)
                return fail("--out needs a path");
            out = v;
        } else if (arg == "--mode") {
            const char* v = value();
            mode = v ? v : "";
            if (mode != "forward" && mode != "backward")
                return fail("--mode takes forward or backward");
        } else if (arg == "--channel") {
            const char* v = value();
            char* end = nullptr;
            errno = 0;
            // Read wide: a number past the int range must not wrap round to a channel that exists.
            const long parsed = v ? std::strtol(v, &end, 10) : -1;
            if (!v || *v == '\0' || *end != '\0' || errno != 0 || parsed < 0 || parsed > 0xFFFF)
                return fail("--channel needs a number");
            channel = int(parsed);
        } else if (!arg.empty() && arg[0] == '-') {
            return fail("unknown option " + std::string(arg) + " (see --help)");
        } else if (file.empty()) {
            file = arg;
        } else {
            return fail("one file only");
        }
    }
    if (file.empty())
        return fail("no file (see --help)");
    if (command == "info")
        return runInfo(file, json);
    if (command == "frames") {
        if (channel > 15)
            return fail("--channel takes 0 to 15");
        return runFrames(file, mode == "backward", channel, out, json);
    }
    if (command == "audio") {
        if (channel < 1 || channel > 4)
            return fail("audio needs --channel 1 to 4");
        if (out.empty())
            return fail("audio needs --out X.wav");
        return runAudio(file, channel, out, overwrite);
    }
    return fail("unknown command " + std::string(command) + " (see --help)");
}
