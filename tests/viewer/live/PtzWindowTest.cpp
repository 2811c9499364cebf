// The live window's PTZ control against the recorder simulator over loopback, on the offscreen platform:
// holding a PTZ button or an arrow key sends the move once per live picture, between the live requests,
// and letting go sends the stop phase. Real Qt timers keep the pause after each send.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <memory>
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

class PtzWindow : public windowtest::SimulatorWindowTest<> {
protected:
    void SetUp() override {
        sim::SimOptions options;
        options.pictures = sim::PictureMix::Full;
        ASSERT_NO_FATAL_FAILURE(startRecorder(options));

        ViewOptions view = viewOptions(m_recorder->port());
        view.arpTable = &m_arp;
        makeFrame(std::move(view));
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

    // The recorder's packet log as command names, and the PTZ payloads in order.
    struct Logged {
        std::vector<std::string> commands;
        std::vector<std::string> ptz;
    };
    Logged logged() {
        static const std::regex command("\"command\":\"([^\"]*)\"");
        static const std::regex ptz("\"ptz\":\"([0-9a-f]*)\"");
        Logged out;
        for (const std::string& line : m_recorder->log()) {
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
    int liveRequests() { return int(m_recorder->packets("0x1011").size()); }
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

    struct NoArp : link::ArpTable {
        std::optional<std::vector<link::ArpEntry>> read(size_t) override {
            return std::vector<link::ArpEntry>{};
        }
        bool remove(const link::ArpEntry&) override { return true; }
    } m_arp;
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
