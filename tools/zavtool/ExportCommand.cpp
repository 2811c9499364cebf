#include "tools/zavtool/ExportCommand.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "common/evidence/Manifest.h"
#include "common/evidence/ManifestBuilder.h"
#include "common/export/ExportLog.h"
#include "tools/zavtool/ChannelPass.h"
#include "tools/zavtool/ExportEvidence.h"
#include "tools/zavtool/OutputFile.h"

#ifdef DVR_EXPORT_STAMP
#include <QtGui/QGuiApplication>

#include "common/export/render/StampPainter.h"
#endif

namespace dvr::zavtool {

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "zavtool: %s\n", message.c_str());
    return 1;
}

bool parseNumber(const char* text, int low, int high, int& out) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (*end != '\0' || v < low || v > high)
        return false;
    out = int(v);
    return true;
}

}  // namespace

int runExportCommand(int argc, char** argv) {
    ChannelExportOptions options;
    options.channel = -1;
    options.decodeThreads = int(std::thread::hardware_concurrency());
    if (options.decodeThreads < 1)
        options.decodeThreads = 1;
    bool stamp = true;
    bool overwrite = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* value = (i + 1 < argc) ? argv[i + 1] : nullptr;
        auto takeValue = [&] { ++i; };
        if (arg == "--channel") {
            if (!parseNumber(value, 0, 15, options.channel))
                return fail("--channel takes a channel number 0 to 15");
            takeValue();
        } else if (arg == "--out") {
            if (!value)
                return fail("--out needs a path");
            options.aviPath = value;
            takeValue();
        } else if (arg == "--from" || arg == "--to") {
            const auto time = value ? parseDateTime(value) : std::nullopt;
            if (!time)
                return fail(std::string(arg) + " takes \"YYYY-MM-DD HH:MM:SS\"");
            (arg == "--from" ? options.from : options.to) = time;
            takeValue();
        } else if (arg == "--fps") {
            if (!parseNumber(value, 1, 60, options.framesPerSecond))
                return fail("--fps takes 1 to 60");
            takeValue();
        } else if (arg == "--size") {
            const std::string_view size = value ? value : "";
            if (size == "360x240") {
                options.width = 360;
                options.height = 240;
            } else if (size == "720x480") {
                options.width = 720;
                options.height = 480;
            } else {
                return fail("--size takes 360x240 or 720x480");
            }
            takeValue();
        } else if (arg == "--pace") {
            const std::string_view pace = value ? value : "";
            if (pace == "pictures")
                options.pace = ExportPace::Pictures;
            else if (pace == "real")
                options.pace = ExportPace::Real;
            else
                return fail("--pace takes pictures or real");
            takeValue();
        } else if (arg == "--threads") {
            if (!parseNumber(value, 1, 64, options.decodeThreads))
                return fail("--threads takes 1 to 64");
            takeValue();
        } else if (arg == "--no-stamp") {
            stamp = false;
        } else if (arg == "--overwrite") {
            overwrite = true;
        } else if (arg == "--forward-range") {
            options.forwardRangeOnly = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return fail("unknown option " + std::string(arg) + " (see --help)");
        } else if (options.backupPath.empty()) {
            options.backupPath = arg;
        } else {
            return fail("one file only");
        }
    }
    if (options.backupPath.empty())
        return fail("no file (see --help)");
    if (options.channel < 0)
        return fail("export needs --channel N");
    if (options.aviPath.empty())
        return fail("export needs --out X.avi");
    // The log and the manifest beside the AVI file are written too: a file at either name is not
    // replaced without --overwrite either.
    for (const std::string& path : {options.aviPath, exporting::exportLogPath(options.aviPath),
                                    evidence::manifestPathOf(options.aviPath)})
        if (const std::string refusal = checkOutput(path, overwrite, {options.backupPath}); !refusal.empty())
            return fail(refusal);
    // An existing file moves aside only once the export is sure to begin (a refused range keeps it), and
    // comes back when the export leaves no file in its place.
    SetAsideOutput earlier;
    options.beforeCreate = [&options, &earlier] { return earlier.setAside(options.aviPath); };

#ifdef DVR_EXPORT_STAMP
    // The stamp's text needs a font rasteriser: QtGui's, without a display.
    std::unique_ptr<QGuiApplication> application;
    std::unique_ptr<exporting::StampPainter> painter;
    if (stamp) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt's own notes (a missing runtime folder and the like) would break the one-line messages.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "zavtool: %s\n", text.toLocal8Bit().constData());
        });
        static int qtArgc = 1;
        static char qtName[] = "zavtool";
        static char* qtArgv[] = {qtName, nullptr};
        application = std::make_unique<QGuiApplication>(qtArgc, qtArgv);
        painter = std::make_unique<exporting::StampPainter>();
        options.stamper = painter.get();
    }
#else
    if (stamp)
        return fail("this build draws no time stamp: use --no-stamp");
#endif

    struct stat err {};
    const bool progress = isatty(STDERR_FILENO) && fstat(STDERR_FILENO, &err) == 0;
    if (progress) {
        options.progress = [](int pictures, int percent) {
            std::fprintf(stderr, "\rzavtool: %d pictures, %3d%% of the file", pictures, percent);
        };
    }
    // The manifest beside the AVI file records every frame written and where it came from.
    evidence::ManifestBuilder manifest =
        evidence::ManifestBuilder::fromBackup("zavtool", options.backupPath, options.channel);
    options.manifest = &manifest;
    const ChannelExportOutcome outcome = exportChannel(options);
    earlier.finish();
    if (progress)
        std::fputc('\n', stderr);
    if (!outcome.ok)
        return fail(outcome.message);
    const ChannelExportReport& report = outcome.report;
    std::printf("%s: %d pictures of channel %d, %u frames at %d per second, %dx%d\n", options.aviPath.c_str(),
                report.pictures, options.channel, report.frames, options.framesPerSecond, options.width,
                options.height);
    std::printf("pictures %s to %s, %d from past the forward range\n", dateTimeText(report.first).c_str(),
                dateTimeText(report.last).c_str(), report.pastForwardRange);
    // Said only when it happened: the clip is in time order, but it is not everything the file holds.
    if (report.olderLeftOut > 0)
        std::printf("%d pictures left out: dated before the file's start or the last picture written\n",
                    report.olderLeftOut);
    return 0;
}

}  // namespace dvr::zavtool
