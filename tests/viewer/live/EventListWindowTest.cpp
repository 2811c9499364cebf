// The event list opened from the playback window, against the recorder simulator over loopback on the
// offscreen platform: a stored list shows at once and the recorder's reply replaces it, the window's
// buttons do nothing while the list is open, a double-click plays from the event, OK removes the file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/viewer/live/WindowTestSupport.h"
#include "tools/dvrsim/RecorderSimulator.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/PlaybackHandOver.h"
#include "viewer/live/widgets/MainFrame.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/playback/EventList.h"
#include "viewer/playback/widgets/EventListDialog.h"
#include "viewer/playback/widgets/PlaybackWindow.h"

namespace dvr::live {
namespace {

using windowtest::waitFor;

constexpr DateTime kEvent{2005, 3, 1, 12, 30, 15};

class EventListWindow : public windowtest::SimulatorWindowTest<> {
protected:
    void SetUp() override {
        sim::SimOptions options;
        options.newerBit = true;
        options.rangeStart = {2005, 3, 1, 12, 0, 0};
        options.rangeEnd = {2005, 3, 1, 13, 0, 0};
        options.recordStepSeconds = 1;
        // A few pictures a second, so each playback picture is seen on its own.
        options.fps = 8;
        options.events = {{{2005, 3, 1, 12, 10, 0}, 2, 0x84}, {kEvent, 0, 0x80}};
        ASSERT_NO_FATAL_FAILURE(startRecorder(options));

        ViewOptions view = viewOptions(m_recorder->port());
        view.timers = &m_timers;
        view.clock = &m_clock;
        makeFrame(std::move(view));
        m_frame->show();
        this->view().pressConnect();
        ASSERT_TRUE(
            waitFor([this] { return this->view().connectionState() == link::ConnectionState::Established; }));
        // The live loop runs (its second request answers the first) before SEARCH.
        ASSERT_TRUE(waitFor([this] { return packets("0x1011") >= 2; }));
        this->view().controller().onCommand(command::kPlayback);
        ASSERT_TRUE(this->view().playback()->isOpen());
        ASSERT_TRUE(waitFor([this] { return player().rangeValid() && packets("0x1115") > 0; }));
    }

    playback::PlaybackWindow& window() { return *view().playbackWindow(); }
    playback::PlaybackController& player() { return view().playback()->controller(); }
    playback::EventListDialog* dialog() { return window().eventDialog(); }

    int packets(const char* command) { return int(m_recorder->packets(command).size()); }

    // Opens the list and waits for the recorder's two events.
    void openList() {
        window().press(playback::command::kEvent);
        ASSERT_NE(dialog(), nullptr);
        ASSERT_TRUE(waitFor([this] { return dialog()->table()->rowCount() == 2; }));
    }
};

TEST_F(EventListWindow, StoredListShowsAtOnceTheReplyReplacesItAndOkRemovesTheFile) {
    const std::string file = window().eventFile();
    ASSERT_EQ(file, view().controller().eventFilePath());
    {
        std::vector<uint8_t> old(16);
        link::writeEventRecord(std::span<uint8_t>(old).first<16>(), {{2004, 1, 1, 1, 1, 1}, 5, 0x85});
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(old.data()), 16);
    }
    window().press(playback::command::kEvent);
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog()->windowTitle(), QStringLiteral("EVENT LIST"));
    ASSERT_EQ(dialog()->table()->rowCount(), 1);
    EXPECT_EQ(dialog()->table()->item(0, 0)->text(), QStringLiteral("CH6"));
    EXPECT_EQ(dialog()->table()->item(0, 1)->text(), QStringLiteral(" MOTION EVENT OFF"));

    // The recorder's list, in the order it sent it.
    ASSERT_TRUE(waitFor([this] { return dialog()->table()->rowCount() == 2; }));
    EXPECT_EQ(packets("0x1041"), 1);
    EXPECT_EQ(dialog()->table()->item(0, 0)->text(), QStringLiteral("CH3"));
    EXPECT_EQ(dialog()->table()->item(1, 2)->text(), QStringLiteral("[ 2005/03/01 ] 12:30:15"));
    EXPECT_EQ(std::filesystem::file_size(file), 32u);

    // Sorting and filtering are the user's choice; the file order comes back.
    dialog()->sortClicked(int(playback::EventColumn::Channel));
    EXPECT_EQ(dialog()->table()->item(0, 0)->text(), QStringLiteral("CH1"));
    dialog()->sortClicked(int(playback::EventColumn::Channel));
    dialog()->sortClicked(int(playback::EventColumn::Channel));
    EXPECT_EQ(dialog()->table()->item(0, 0)->text(), QStringLiteral("CH3"));
    dialog()->channelFilter()->setCurrentIndex(1);
    ASSERT_EQ(dialog()->table()->rowCount(), 1);
    EXPECT_EQ(dialog()->table()->item(0, 0)->text(), QStringLiteral("CH1"));

    // While the list is open the window's buttons do nothing.
    const DateTime requestBefore = player().requestTime();
    const int searchesBefore = packets("0x1113");
    for (int button = 0; button < 5; ++button) {
        window().press(playback::command::kPlayFirst + button);
    }
    window().press(playback::command::kEnd);
    window().press(playback::command::kExit);
    window().press(playback::command::kEvent);
    QCoreApplication::processEvents();
    EXPECT_TRUE(player().isOpen());
    EXPECT_FALSE(player().playing());
    EXPECT_EQ(player().requestTime(), requestBefore);
    EXPECT_EQ(player().checkedButton(), playback::PlayButton::Pause);

    QTest::mouseClick(dialog()->okButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return dialog() == nullptr; }));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(player().busy());
    window().press(playback::command::kPlayFirst + int(playback::PlayButton::Forward));
    EXPECT_TRUE(player().playing());
    // The play's search reaches the recorder after anything the presses above could have sent on the same
    // connection: once it is logged, the recorder's log is complete up to it.
    ASSERT_TRUE(waitFor([&] { return packets("0x1113") > searchesBefore; }));
    EXPECT_EQ(packets("0x1113"), searchesBefore + 1) << "a press sent a search while the list was open";
    EXPECT_EQ(packets("0x1041"), 1) << "a press asked for the event list again";
}

TEST_F(EventListWindow, DoubleClickPlaysForwardFromTheEvent) {
    openList();
    QTableWidget* table = dialog()->table();
    ASSERT_EQ(table->item(1, 2)->text(), QStringLiteral("[ 2005/03/01 ] 12:30:15"));
    const DateTime timeBefore = player().pictureTimeValue();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog()));
    const QRect cell = table->visualItemRect(table->item(1, 1));
    ASSERT_FALSE(cell.isEmpty());
    // A double-click as the user makes it: a click, then the second press that doubles it.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mousePress(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());

    EXPECT_EQ(dialog(), nullptr);
    EXPECT_FALSE(player().busy());
    EXPECT_TRUE(player().playing());
    EXPECT_EQ(player().requestTime(), kEvent);
    EXPECT_EQ(player().clockText(), "12:30:15");
    // The first picture of the new play is the event's own.
    ASSERT_TRUE(waitFor([&] { return !(player().pictureTimeValue() == timeBefore); }));
    EXPECT_EQ(player().pictureTimeValue(), kEvent);
    EXPECT_EQ(player().checkedButton(), playback::PlayButton::Forward);
    // The event file stays for the next opening; only OK or a disconnect removes it.
    EXPECT_TRUE(std::filesystem::exists(window().eventFile()));
}

TEST_F(EventListWindow, EnterOnTheCurrentRowActsAsADoubleClick) {
    openList();
    QTableWidget* table = dialog()->table();
    table->setFocus();
    table->setCurrentCell(0, 0);
    QTest::keyClick(table, Qt::Key_Down);
    ASSERT_EQ(table->currentRow(), 1);
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_EQ(dialog(), nullptr);
    EXPECT_TRUE(player().playing());
    EXPECT_EQ(player().requestTime(), kEvent);
    // Enter never reaches OK: the file is still there.
    EXPECT_TRUE(std::filesystem::exists(window().eventFile()));
}

// A new user's keys: EVENT, Home, Down, Return, each to whatever has the keyboard focus. The list has
// the focus from the start, with its first row selected; Return plays the chosen event.
TEST_F(EventListWindow, KeysPlayTheChosenEventFromTheStart) {
    openList();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog()));
    QTableWidget* table = dialog()->table();
    EXPECT_EQ(QApplication::focusWidget(), table);
    EXPECT_EQ(table->currentRow(), 0);
    EXPECT_TRUE(table->item(0, 0)->isSelected());
    const auto key = [](Qt::Key k) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, k);
    };
    const int searches = packets("0x1113");
    key(Qt::Key_Home);
    key(Qt::Key_Down);
    EXPECT_EQ(table->currentRow(), 1);
    EXPECT_EQ(dialog()->channelFilter()->currentIndex(), 0);
    key(Qt::Key_Return);
    EXPECT_EQ(dialog(), nullptr);
    EXPECT_TRUE(player().playing());
    EXPECT_EQ(player().requestTime(), kEvent);
    EXPECT_TRUE(waitFor([&] { return packets("0x1113") > searches; }));
    EXPECT_TRUE(std::filesystem::exists(window().eventFile()));

    // Escape, and Return on a filter, close nothing that deletes the file.
    window().press(playback::command::kPlayFirst + int(playback::PlayButton::Pause));
    openList();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog()));
    QTest::keyClick(dialog()->channelFilter(), Qt::Key_Return);
    ASSERT_NE(dialog(), nullptr);
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([this] { return dialog() == nullptr; }));
    EXPECT_TRUE(std::filesystem::exists(window().eventFile()));
}

}  // namespace
}  // namespace dvr::live
