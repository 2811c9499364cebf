// The live window's picture rate with 16 panes over loopback against the headless client's rate in the
// same run, and the resident memory of the real program after a minute of streaming.
//
// Environment: VISTREL_BENCH_SECONDS and VISTREL_BENCH_ROUNDS (rate slices, default 5 rounds of 4 s each),
// VISTREL_BENCH_MEMORY_SECONDS (default 60).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>

#include "bench/support/WindowBenchSupport.h"
#include "tools/vistrelctl/RecorderClient.h"
#include "viewer/live/widgets/MainFrame.h"
#include "viewer/live/widgets/ViewerNotifier.h"

namespace {

using dvr::bench::makeProgramFolder;
using dvr::bench::numberFromEnvironment;
using dvr::bench::openMainWindow;
using dvr::bench::recorder;

void runEventLoopFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Pictures per second of the headless client over one fresh connection of `seconds`.
double headlessSlice(double seconds, const QString& outDir) {
    dvr::ctl::ClientOptions options;
    options.host = "127.0.0.1";
    options.port = recorder().port();
    options.layout = 16;
    options.seconds = seconds;
    options.json = true;
    options.outDir = outDir.toStdString();
    options.timeoutSeconds = seconds + 30;
    std::ostringstream text;
    std::ostringstream error;
    if (dvr::ctl::runLive(options, text, error) != 0) {
        return -1;
    }
    std::smatch match;
    const std::string json = text.str();
    if (!std::regex_search(json, match, std::regex("\"picturesPerSecond\":([0-9.]+)"))) {
        return -1;
    }
    return std::stod(match[1].str());
}

// Pictures per second the window shows over one fresh connection of `seconds`, connecting included as
// the headless client's rate includes it.
double windowSlice(dvr::live::MainFrame& frame, double seconds) {
    dvr::live::VistrelView& view = *frame.view();
    const uint64_t before = view.picturesShown();
    QElapsedTimer timer;
    timer.start();
    view.pressConnect();
    runEventLoopFor(int(seconds * 1000));
    const double rate = double(view.picturesShown() - before) / (double(timer.elapsed()) / 1000.0);
    view.pressDisconnect();
    runEventLoopFor(50);
    return rate;
}

// The window and the headless client take turns on the same recorder, so that both see the same load
// of the machine; the rates are the means over the rounds.
void BM_Window16PanesAgainstHeadless(benchmark::State& state) {
    const double seconds = numberFromEnvironment("VISTREL_BENCH_SECONDS", 4);
    const int rounds = int(numberFromEnvironment("VISTREL_BENCH_ROUNDS", 5));
    auto home = makeProgramFolder();
    QTemporaryDir out;
    dvr::live::RecordingViewerNotifier notifier;
    double headless = 0;
    double window = 0;
    for (auto _ : state) {
        const std::unique_ptr<dvr::live::MainFrame> frame = openMainWindow(*home, notifier);
        for (int round = 0; round < rounds; ++round) {
            const double h = headlessSlice(seconds, out.path());
            if (h < 0) {
                state.SkipWithError("the headless client failed");
                return;
            }
            headless += h / rounds;
            window += windowSlice(*frame, seconds) / rounds;
        }
        frame->close();
        QCoreApplication::processEvents();
    }
    state.counters["headless_pictures_per_s"] = headless;
    state.counters["window_pictures_per_s"] = window;
    state.counters["ratio_window_to_headless"] = headless > 0 ? window / headless : 0;
}

// Resident memory of the real program, started on its own with --connect, after streaming.
void BM_ProgramResidentMemory(benchmark::State& state) {
    const double seconds = numberFromEnvironment("VISTREL_BENCH_MEMORY_SECONDS", 60);
    auto home = makeProgramFolder();
    QTemporaryDir scratch;
    double residentMiB = 0;
    for (auto _ : state) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "HOME"}) {
            const QString path = scratch.filePath(QString::fromLatin1(name));
            QDir().mkpath(path);
            QFile::setPermissions(path,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            environment.insert(QString::fromLatin1(name), path);
        }
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(
            QStringLiteral(VISTREL_PROGRAM),
            {QStringLiteral("--home"), home->path(), QStringLiteral("--host"), QStringLiteral("127.0.0.1"),
             QStringLiteral("--port"), QString::number(recorder().port()), QStringLiteral("--connect"),
             QStringLiteral("--no-arp-cleanup")});
        if (!program.waitForStarted(10000)) {
            state.SkipWithError("vistrel did not start");
            return;
        }
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < qint64(seconds * 1000) && program.state() == QProcess::Running) {
            program.waitForFinished(200);
        }
        std::ifstream status("/proc/" + std::to_string(program.processId()) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("VmRSS:", 0) == 0) {
                residentMiB = std::atof(line.c_str() + 6) / 1024.0;
            }
        }
        program.terminate();
        if (!program.waitForFinished(5000)) {
            program.kill();
            program.waitForFinished(5000);
        }
    }
    state.counters["rss_MiB"] = residentMiB;
    state.counters["seconds"] = seconds;
}

}  // namespace

BENCHMARK(BM_Window16PanesAgainstHeadless)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ProgramResidentMemory)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv) {
    return dvr::bench::runWindowBenchmarks(argc, argv);
}
