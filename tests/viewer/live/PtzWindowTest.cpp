// The live window's PTZ control against the recorder simulator over loopback, on the offscreen platform:
// holding a PTZ button or an arrow key sends the move once per live picture, between the live requests,
// and letting go sends the stop phase. Real Qt timers keep the pause after each send.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "common/skin/widgets/SkinButton.h"
#include "tests/viewer/live/WindowTestSupport.h"
#include "tools/dvrsim/RecorderSimulator.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/widgets/MainFrame.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/ptz/PtzCommandTable.h"

namespace dvr::live {
namespace {

using windowtest::kWaitMs;
using windowtest::makeProgramFolder;
using windowtest::waitFor;

constexpr int kRightButtonId = command::kPtzFirst + 6;  // the 270-degree arrow

std::string hexOf(const ptz::PtzCommand& command) {
    std::string hex;
    for (uint8_t b : command.view()) {
        char two[4];
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

class PtzWindow : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimOptions options;
        options.host = "127.0.0.1";
        options.port = 0;
        options.pictures = sim::PictureMix::Full;
        m_recorder = std::make_unique<sim::RecorderSimulator>(options, [this](const std::string& line) {
            std::lock_guard lock(m_logMutex);
            m_log.push_back(line);
        });
        std::string error;
        ASSERT_TRUE(m_recorder->listen(error)) << error;
        m_recorder->records().prewarm();
        m_recorder->start();

        m_home = makeProgramFolder();
        ViewOptions view;
        view.programFolder = m_home->path().toStdString();
        view.settingsFilePath = m_home->filePath(QStringLiteral("Vistrel.ini")).toStdString();
        view.hostOverride = "127.0.0.1";
        view.portOverride = m_recorder->port();
        view.arpTable = &m_arp;
        m_frame = std::make_unique<MainFrame>(std::move(view), m_notifier);
        m_frame->view()->initialUpdate();
        m_frame->show();

        // Protocol A, camera 0.
        ptz::PtzCommandTable table;
        ptz::fillProtocolA(table, 0);
        m_right = hexOf(table.at(0, ptz::kRight));
        m_left = hexOf(table.at(0, ptz::kLeft));
        m_stop = hexOf(table.at(0, ptz::kStop));

        m_frame->view()->pressConnect();
        ASSERT_TRUE(waitFor([this] { return liveRequests() >= 3; })) << "live pictures never flowed";
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

    // The recorder's packet log as command names, and the PTZ payloads in order.
    struct Logged {
        std::vector<std::string> commands;
        std::vector<std::string> ptz;
    };
    Logged logged() {
        static const std::regex command("\"command\":\"([^\"]*)\"");
        static const std::regex ptz("\"ptz\":\"([0-9a-f]*)\"");
        Logged out;
        std::lock_guard lock(m_logMutex);
        for (const std::string& line : m_log) {
            std::smatch m;
            if (!std::regex_search(line, m, command)) {
                continue;
            }
            out.commands.push_back(m[1]);
            if (std::regex_search(line, m, ptz)) {
                out.ptz.push_back(m[1]);
            }
        }
        return out;
    }
    int liveRequests() {
        const Logged l = logged();
        return int(std::count(l.commands.begin(), l.commands.end(), "0x1011"));
    }
    size_t ptzCount() { return logged().ptz.size(); }
    bool stopPhaseOver() { return view().controller().ptz().pending() == ptz::kPendingNone; }

    // Every PTZ packet follows a live request and precedes the next: at most one per picture turn, never
    // before the first request.
    void expectOnePtzPerTurn() {
        const Logged l = logged();
        bool live = false;
        int inTurn = 0;
        for (const std::string& c : l.commands) {
            if (c == "0x1011") {
                live = true;
                inTurn = 0;
            } else if (c == "0x1037") {
                EXPECT_TRUE(live) << "a PTZ packet before the first live request";
                EXPECT_LE(++inTurn, 1) << "two PTZ packets within one picture turn";
            }
        }
    }

    // The payloads since `from`: `move` at least `minimum` times, then exactly five stops.
    void expectMovesThenStops(size_t from, const std::string& move, size_t minimum) {
        const std::vector<std::string> all = logged().ptz;
        ASSERT_GE(all.size(), from + minimum + 5);
        const std::vector<std::string> sent(all.begin() + ptrdiff_t(from), all.end());
        const size_t moves = sent.size() - 5;
        EXPECT_GE(moves, minimum);
        for (size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(sent[i], i < moves ? move : m_stop) << "packet " << i;
        }
    }

    std::unique_ptr<sim::RecorderSimulator> m_recorder;
    std::mutex m_logMutex;
    std::vector<std::string> m_log;
    std::unique_ptr<QTemporaryDir> m_home;
    RecordingViewerNotifier m_notifier;
    struct NoArp : link::ArpTable {
        std::optional<std::vector<link::ArpEntry>> read(size_t) override {
            return std::vector<link::ArpEntry>{};
        }
        bool remove(const link::ArpEntry&) override { return true; }
    } m_arp;
    std::unique_ptr<MainFrame> m_frame;
    std::string m_right, m_left, m_stop;
};

TEST_F(PtzWindow, HoldingTheRightButtonMovesBetweenLivePicturesAndReleasingSendsTheStops) {
    skin::SkinButton* right = view().button(kRightButtonId);
    ASSERT_NE(right, nullptr);
    const size_t before = ptzCount();
    QTest::mousePress(right, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return ptzCount() >= before + 3; }));
    if (const char* dump = std::getenv("VISTREL_TEST_DUMP")) {
        view().grab().save(QString::fromLocal8Bit(dump) + QStringLiteral("/ptz-right-held.png"));
    }
    const int requestsWhileHeld = liveRequests();
    QTest::mouseRelease(right, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return stopPhaseOver(); }));
    // The loop keeps running after the stops.
    ASSERT_TRUE(waitFor([&] { return liveRequests() >= requestsWhileHeld + 8; }));
    expectMovesThenStops(before, m_right, 3);
    expectOnePtzPerTurn();
}

TEST_F(PtzWindow, AnArrowKeyMovesWhileHeldAndItsAutoRepeatIsNoRelease) {
    view().setFocus();
    const size_t before = ptzCount();
    QTest::keyPress(&view(), Qt::Key_Left);
    ASSERT_TRUE(waitFor([&] { return ptzCount() >= before + 2; }));
    // The auto-repeat pair of a held key changes nothing.
    QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Left, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(&view(), &repeatUp);
    QKeyEvent repeatDown(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(&view(), &repeatDown);
    EXPECT_EQ(view().controller().ptz().pending(), ptz::kLeft);
    ASSERT_TRUE(waitFor([&] { return ptzCount() >= before + 3; }));
    QTest::keyRelease(&view(), Qt::Key_Left);
    ASSERT_TRUE(waitFor([&] { return stopPhaseOver(); }));
    expectMovesThenStops(before, m_left, 3);
    expectOnePtzPerTurn();

    // Plus typed with Shift, Shift let go first: the key-up reads as '=' but is the same key.
    QKeyEvent plusDown(QEvent::KeyPress, Qt::Key_Plus, Qt::ShiftModifier, 21, 0, 0, QStringLiteral("+"));
    QApplication::sendEvent(&view(), &plusDown);
    EXPECT_EQ(view().controller().ptz().pending(), ptz::kZoomIn);
    QKeyEvent equalUp(QEvent::KeyRelease, Qt::Key_Equal, Qt::NoModifier, 21, 0, 0, QStringLiteral("="));
    QApplication::sendEvent(&view(), &equalUp);
    EXPECT_EQ(view().controller().ptz().pending(), ptz::kPendingStopPhase);
}

}  // namespace
}  // namespace dvr::live

int main(int argc, char** argv) {
    // Never the user's folders: runtime, config and home folders of this run only.
    QTemporaryDir scratch;
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME"}) {
        const QString path = scratch.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        setenv(name, path.toLocal8Bit().constData(), 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    unsetenv("VISTREL_HOME");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
