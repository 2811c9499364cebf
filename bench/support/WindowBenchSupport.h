// What the window benchmarks share: the recorder the run streams from, a program folder with the build's
// skin, the main window on it, the headless side's polling and the turns' totals, and a main() that keeps
// the run off the user's folders and display.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "common/frame/MallocTuning.h"
#include "tools/dvrsim/RecorderSimulator.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/SessionPoller.h"
#include "viewer/live/widgets/MainFrame.h"
#include "viewer/live/widgets/ViewerNotifier.h"

namespace dvr::bench {

// Pictures and the seconds they took, summed over a side's turns.
struct Totals {
    uint64_t pictures = 0;
    double seconds = 0;
    void add(const std::pair<uint64_t, double>& turn) {
        pictures += turn.first;
        seconds += turn.second;
    }
    double rate() const { return seconds > 0 ? double(pictures) / seconds : 0; }
};

// Polls a headless side's session until `done` holds, the session lost its socket or `limitSeconds`
// passed; whether `done` holds.
inline bool pollUntil(link::SessionPoller& poller, const link::RecorderSession& session,
                      const std::function<bool()>& done, double limitSeconds) {
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                               std::chrono::duration<double>(limitSeconds));
    while (!done() && std::chrono::steady_clock::now() < end && session.hasSocket()) {
        poller.pollOnce(5);
    }
    return done();
}

// A positive number from the environment, else `fallback`.
inline double numberFromEnvironment(const char* name, double fallback) {
    const char* text = std::getenv(name);
    const double value = text != nullptr ? std::atof(text) : 0.0;
    return value > 0 ? value : fallback;
}

// The recorder every benchmark of this run streams from, on a loopback port: 16 channels of full
// pictures, every picture synthesised before the first connection. A failed listen ends the run.
inline sim::RecorderSimulator& recorder() {
    static std::unique_ptr<sim::RecorderSimulator> simulator = [] {
        sim::SimOptions options;
        options.host = "127.0.0.1";
        options.port = 0;
        options.pictures = sim::PictureMix::Full;
        auto sim = std::make_unique<sim::RecorderSimulator>(options);
        std::string error;
        if (!sim->listen(error)) {
            std::fprintf(stderr, "recorder simulator: %s\n", error.c_str());
            std::exit(1);
        }
        sim->records().prewarm();
        sim->start();
        return sim;
    }();
    return *simulator;
}

// A program folder with the skin files of the build (or the source skin's ini file).
inline std::unique_ptr<QTemporaryDir> makeProgramFolder() {
    auto folder = std::make_unique<QTemporaryDir>();
    const QDir runtime(QStringLiteral(DVR_RUNTIME_DIR));
    bool copied = false;
    for (const QString& sub : {QStringLiteral("ini"), QStringLiteral("skin"), QStringLiteral("logo")}) {
        const QString from = runtime.filePath(sub);
        if (!QDir(from).exists()) {
            continue;
        }
        QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), from, folder->path()});
        copied = copied || sub == QStringLiteral("ini");
    }
    if (!copied || !QFile::exists(folder->filePath(QStringLiteral("ini/res.ini")))) {
        QDir(folder->path()).mkpath(QStringLiteral("ini"));
        QFile::copy(QStringLiteral(DVR_SOURCE_DIR "/skins/vistrel/res.ini"),
                    folder->filePath(QStringLiteral("ini/res.ini")));
    }
    return folder;
}

// The main window on `home`, set to the run's recorder (or the one at `host`:`port`), started up and shown.
inline std::unique_ptr<live::MainFrame> openMainWindow(const QTemporaryDir& home,
                                                       live::ViewerNotifier& notifier,
                                                       const std::string& host = {}, uint16_t port = 0) {
    live::ViewOptions options;
    options.programFolder = home.path().toStdString();
    options.settingsFilePath = home.filePath(QStringLiteral("Vistrel.ini")).toStdString();
    options.hostOverride = host.empty() ? std::string("127.0.0.1") : host;
    options.portOverride = port != 0 ? port : recorder().port();
    auto frame = std::make_unique<live::MainFrame>(std::move(options), notifier);
    frame->view()->initialUpdate();
    frame->show();
    return frame;
}

// The body of a window benchmark's main(): the run's own runtime, config and home folders, the offscreen
// platform, the heap tuned as the programs tune it, one QApplication; the recorder stops at the end.
inline int runWindowBenchmarks(int argc, char** argv) {
    QTemporaryDir scratch;
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "HOME"}) {
        const QString path = scratch.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        setenv(name, path.toLocal8Bit().constData(), 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    frame::tuneHeapForPictureDecoding();
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    recorder().stop();
    return 0;
}

}  // namespace dvr::bench
