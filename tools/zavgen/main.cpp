// zavgen: writes backup files of synthesised pictures and tones for tests, demos and benchmarks.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/zavgen/BackupGenerator.h"

namespace {

using dvr::zavgen::Corruption;
using dvr::zavgen::GeneratorOptions;

constexpr const char* kUsage = R"(Usage: zavgen OUT.zav [options]
Writes a backup file of synthesised pictures (and mu-law tones).

  --channels N        4, 8 or 16 channels (default 16)
  --family N          layout family 1, 2 or 3 (default 1; 3 records sound)
  --layout KIND       full, pair, quad, frame (two-field) or mixed pictures (default full);
                      mixed groups cycle through quad, full and pair pictures
  --whole-frame-quads each quad picture as one whole-frame record instead of a
                      first-field and a second-field record
  --pal | --ntsc      50 or 60 fields per second (default ntsc)
  --start TIME        first recording time "YYYY-MM-DD HH:MM:SS" (default 2026-05-17 12:00:00)
  --duration SECONDS  recorded time (default 120)
  --interval SECONDS  one group of pictures every SECONDS (default 4)
  --group N           frames-per-group byte (default: the records of one group)
  --sound             sound blocks with a different tone on each sound channel (needs --family 3)
  --sound-mask M      sound channels present, bit k = channel k (default 15)
  --placeholder       placeholder codestreams instead of pictures (fast; nothing to decode)
  --bytes N           codestream size in bytes (default: about 20 KB per 240 lines)
  --quality N         quality code 0-4 (default 3)
  --leading KIND      leading 64 KiB: zeros, headers or garbage (default headers)
  --trailing-zeros N  N zero bytes after the last record (a multiple of 512)
  --corrupt KIND@I    damage picture record I: zero-count, huge-count, short, no-end,
                      garbage, unknown-header, broken-link (repeatable)
  --help              this text
)";

bool parseTime(const char* text, dvr::media::RecordTime& time) {
    int y, mo, d, h, mi, s;
    if (std::sscanf(text, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6 || y < 1996 || y > 2056)
        return false;
    time = {uint32_t(y - 1996), uint32_t(mo), uint32_t(d), uint32_t(h), uint32_t(mi), uint32_t(s)};
    return time.isValid();
}

bool parseCorruption(std::string_view text, dvr::zavgen::CorruptionAt& out) {
    const size_t at = text.find('@');
    if (at == std::string_view::npos)
        return false;
    const std::string_view kind = text.substr(0, at);
    static constexpr std::pair<std::string_view, Corruption> kKinds[] = {
        {"zero-count", Corruption::ZeroSectorCount}, {"huge-count", Corruption::HugeSectorCount},
        {"short", Corruption::ShortRecord},          {"no-end", Corruption::NoEndMarker},
        {"garbage", Corruption::GarbageSectors},     {"unknown-header", Corruption::UnknownHeader},
        {"broken-link", Corruption::BrokenLink}};
    for (const auto& [name, value] : kKinds) {
        if (kind == name) {
            out.kind = value;
            const std::string index(text.substr(at + 1));
            char* end = nullptr;
            errno = 0;
            const long n = index.empty() ? -1 : std::strtol(index.c_str(), &end, 10);
            if (index.empty() || *end != '\0' || errno != 0 || n < 0 || n > INT32_MAX)
                return false;
            out.pictureIndex = int(n);
            return true;
        }
    }
    return false;
}

constexpr int kMaxSeconds = 10 * 366 * 86400;

int fail(const std::string& message) {
    std::fprintf(stderr, "zavgen: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    GeneratorOptions options;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        auto number = [&](int& target) {
            const char* v = value();
            if (!v)
                return false;
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(v, &end, 10);
            if (!*v || *end != '\0' || errno != 0 || n < INT32_MIN || n > INT32_MAX)
                return false;
            target = int(n);
            return true;
        };
        int n = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--channels") {
            if (!number(options.channelCount))
                return fail("--channels needs a number");
        } else if (arg == "--family") {
            if (!number(options.layoutFamily))
                return fail("--family needs a number");
        } else if (arg == "--layout") {
            const char* v = value();
            const std::string_view kind = v ? v : "";
            if (kind == "full")
                options.layout = dvr::zavgen::PictureLayout::Full;
            else if (kind == "pair")
                options.layout = dvr::zavgen::PictureLayout::Pair;
            else if (kind == "quad")
                options.layout = dvr::zavgen::PictureLayout::Quad;
            else if (kind == "frame")
                options.layout = dvr::zavgen::PictureLayout::Frame;
            else if (kind == "mixed")
                options.layout = dvr::zavgen::PictureLayout::Mixed;
            else
                return fail("--layout takes full, pair, quad, frame or mixed");
        } else if (arg == "--whole-frame-quads") {
            options.quadFieldPairs = false;
        } else if (arg == "--pal") {
            options.pal = true;
        } else if (arg == "--ntsc") {
            options.pal = false;
        } else if (arg == "--start") {
            const char* v = value();
            if (!v || !parseTime(v, options.start))
                return fail("--start takes \"YYYY-MM-DD HH:MM:SS\" (1996 to 2056)");
        } else if (arg == "--duration") {
            // Ten years of recording at most: the group count stays within range.
            if (!number(options.durationSeconds) || options.durationSeconds < 1 ||
                options.durationSeconds > kMaxSeconds)
                return fail("--duration takes 1 to " + std::to_string(kMaxSeconds) + " seconds");
        } else if (arg == "--interval") {
            if (!number(options.groupIntervalSeconds) || options.groupIntervalSeconds < 1 ||
                options.groupIntervalSeconds > kMaxSeconds)
                return fail("--interval takes 1 to " + std::to_string(kMaxSeconds) + " seconds");
        } else if (arg == "--group") {
            if (!number(options.framesPerGroup) || options.framesPerGroup < 0 || options.framesPerGroup > 255)
                return fail("--group takes 0 to 255");
        } else if (arg == "--sound") {
            options.sound = true;
        } else if (arg == "--sound-mask") {
            if (!number(n) || n < 0 || n > 15)
                return fail("--sound-mask takes 0 to 15");
            options.soundMask = uint8_t(n);
        } else if (arg == "--placeholder") {
            options.syntheticPictures = false;
        } else if (arg == "--bytes") {
            if (!number(n) || n < 64 || n > 48000)
                return fail("--bytes takes 64 to 48000");
            options.codestreamBytes = size_t(n);
        } else if (arg == "--quality") {
            if (!number(options.qualityCode))
                return fail("--quality needs a number");
        } else if (arg == "--leading") {
            const char* v = value();
            const std::string_view kind = v ? v : "";
            if (kind == "zeros")
                options.leading = dvr::zavgen::LeadingFill::Zeros;
            else if (kind == "headers")
                options.leading = dvr::zavgen::LeadingFill::Headers;
            else if (kind == "garbage")
                options.leading = dvr::zavgen::LeadingFill::Garbage;
            else
                return fail("--leading takes zeros, headers or garbage");
        } else if (arg == "--trailing-zeros") {
            if (!number(n) || n < 0 || n % 512 != 0)
                return fail("--trailing-zeros needs a byte count in whole 512-byte sectors");
            options.trailingZeroBytes = uint64_t(n);
        } else if (arg == "--corrupt") {
            dvr::zavgen::CorruptionAt c{};
            const char* v = value();
            if (!v || !parseCorruption(v, c))
                return fail("--corrupt takes KIND@INDEX (see --help)");
            options.corruptions.push_back(c);
        } else if (!arg.empty() && arg[0] == '-') {
            return fail("unknown option " + std::string(arg) + " (see --help)");
        } else if (out.empty()) {
            out = arg;
        } else {
            return fail("one output file only");
        }
    }
    if (out.empty())
        return fail("no output file (see --help)");
    if (options.sound && options.layoutFamily != 3)
        return fail("--sound needs --family 3");

    // Progress on a terminal, not when the output is piped.
    struct stat standardOut {};
    const bool piped = fstat(STDOUT_FILENO, &standardOut) == 0 && S_ISFIFO(standardOut.st_mode);
    const bool tty = isatty(STDERR_FILENO) && !piped;
    dvr::zavgen::GeneratorReport report;
    const bool ok = dvr::zavgen::generateBackup(out, options, report, [tty](int done, int total) {
        if (tty)
            std::fprintf(stderr, "\rzavgen: %d/%d pictures", done, total);
    });
    if (tty)
        std::fputc('\n', stderr);
    if (!ok)
        return fail(out + ": " + report.error);
    std::printf("%s: %d picture records, %d sound-only records, %llu bytes\n", out.c_str(),
                report.pictureRecords, report.soundRecords, static_cast<unsigned long long>(report.fileSize));
    return 0;
}
