// What the offscreen window tests against the recorder simulator share: waiting on state while the
// event loop runs, a program folder of their own with the built skin, the channel a pane shows, and the
// fixture that holds the recorder and the main window.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRect>
#include <QTemporaryDir>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "tests/support/EventLoopWait.h"
#include "tests/support/LiveControllerFixture.h"
#include "tests/support/LoggedSimulator.h"
#include "tools/synth/Synth.h"
#include "viewer/live/widgets/MainFrame.h"
#include "viewer/live/widgets/ViewerNotifier.h"

namespace dvr::live::windowtest {

// Runs the event loop until `done` holds; false when `timeoutMs` passed first.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = testsupport::kStateWaitMs) {
    return testsupport::runEventsUntil(done, timeoutMs);
}

// A temporary program folder with the skin's ini files, the painted skin and the logos of the build's
// program folder; only the source tree's res.ini when the build holds no skin.
inline std::unique_ptr<QTemporaryDir> makeProgramFolder() {
    auto folder = std::make_unique<QTemporaryDir>();
    const QDir runtime(QStringLiteral(DVR_RUNTIME_DIR));
    std::error_code error;
    if (QFile::exists(runtime.filePath(QStringLiteral("ini/res.ini")))) {
        for (const char* sub : {"ini", "skin/vistrel", "logo"}) {
            const QString name = QString::fromLatin1(sub);
            std::filesystem::create_directories(folder->filePath(name).toStdString(), error);
            std::filesystem::copy(runtime.filePath(name).toStdString(), folder->filePath(name).toStdString(),
                                  std::filesystem::copy_options::recursive, error);
        }
    } else {
        QDir(folder->path()).mkpath(QStringLiteral("ini"));
        std::filesystem::copy_file(DVR_SOURCE_DIR "/skins/vistrel/res.ini",
                                   folder->filePath(QStringLiteral("ini/res.ini")).toStdString(), error);
    }
    return folder;
}

// The channel whose signature colour the pane shows: three samples along its bottom band, clear of the
// channel number and the code marks; -1 when they disagree.
inline int channelShown(const QImage& window, const QRect& pane) {
    int found = -2;
    for (const double fx : {0.3, 0.5, 0.7}) {
        const QPoint point(pane.left() + int(pane.width() * fx), pane.top() + int(pane.height() * 0.93));
        const int channel = synth::nearestSignatureChannel(window.pixel(point) & 0xFFFFFF);
        if (found != -2 && channel != found) {
            return -1;
        }
        found = channel;
    }
    return found;
}

// The fixture of a main-window test against the recorder simulator: the recorder with its log, the
// window's own program folder, the window, what it told the user, and fake timers and clock for the
// tests that step them. The window closes before the recorder stops.
template <typename TestBase = ::testing::Test>
class SimulatorWindowTest : public TestBase {
protected:
    using Records = testsupport::LoggedSimulator::Records;

    SimulatorWindowTest() { m_clock.steadyMs = &m_timers.nowMs; }

    // Starts the recorder on a loopback port the system picks.
    void startRecorder(sim::SimOptions options, Records records = Records::Prewarmed) {
        options.host = "127.0.0.1";
        options.port = 0;
        m_recorder = std::make_unique<testsupport::LoggedSimulator>(std::move(options), records);
        ASSERT_TRUE(m_recorder->listening());
    }

    // The window's options on a fresh program folder, with the recorder on loopback at `port` for this run.
    ViewOptions viewOptions(uint16_t port) {
        m_home = makeProgramFolder();
        ViewOptions options;
        options.programFolder = m_home->path().toStdString();
        options.settingsFilePath = m_home->filePath(QStringLiteral("Vistrel.ini")).toStdString();
        options.hostOverride = "127.0.0.1";
        options.portOverride = port;
        return options;
    }

    // Makes the main window and runs its start-up sequence; the caller shows it.
    void makeFrame(ViewOptions options) {
        m_frame = std::make_unique<MainFrame>(std::move(options), m_notifier);
        m_frame->view()->initialUpdate();
    }

    void TearDown() override {
        if (m_frame) {
            m_frame->close();
            QCoreApplication::processEvents();
            m_frame.reset();
        }
        if (m_recorder) {
            m_recorder->stop();
        }
    }

    VistrelView& view() { return *m_frame->view(); }

    std::unique_ptr<testsupport::LoggedSimulator> m_recorder;
    std::unique_ptr<QTemporaryDir> m_home;
    testing::FakeLiveTimers m_timers;
    testing::FakeClock m_clock;
    RecordingViewerNotifier m_notifier;
    std::unique_ptr<MainFrame> m_frame;
};

}  // namespace dvr::live::windowtest
