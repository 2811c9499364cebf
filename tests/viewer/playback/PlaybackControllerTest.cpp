#include "viewer/playback/EventList.h"
#include "viewer/playback/PlaybackCommandIds.h"
#include "viewer/playback/PlaybackController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace dvr::playback {
namespace {

class FakePlaybackRequests : public PlaybackRequests {
public:
    bool request(RequestKind kind) override {
        if (!isConnected)
            return false;
        requests.push_back(kind);
        return true;
    }
    void setPlayRequest(uint32_t d, uint32_t t, uint32_t m) override {
        dateWord = d;
        timeWord = t;
        modeWord = m;
    }
    void setFollowUp(RequestKind kind) override { follow = kind; }
    RequestKind followUp() const override { return follow; }
    bool connected() const override { return isConnected; }
    bool connect() override {
        ++connects;
        return connectStarts;
    }
    void disconnect() override {
        ++disconnects;
        isConnected = false;
    }
    int protocolLevel() const override { return level; }

    std::vector<RequestKind> requests;
    uint32_t dateWord = 0, timeWord = 0, modeWord = 0;
    RequestKind follow = RequestKind::NextPlaybackPicture;
    bool isConnected = true;
    bool connectStarts = true;
    int connects = 0;
    int disconnects = 0;
    int level = 3;
};

class RecordingView : public PlaybackView {
public:
    void showMessage(const link::MessageText& m) override { messages.push_back(std::string(m.key)); }
    void windowClosed() override { ++closed; }
    void pausing() override { ++pauses; }
    std::vector<std::string> messages;
    int closed = 0;
    int pauses = 0;
};

link::RecordingRange rangeOf(const DateTime& start, const DateTime& end) {
    return {link::packDateWord(start), link::packTimeWord(start), link::packDateWord(end),
            link::packTimeWord(end)};
}

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() { setRange(kStart, kEnd); }

    // The recorder's range, as the log-in reply and each range reply carry it.
    void setRange(const DateTime& start, const DateTime& end) {
        range = rangeOf(start, end);
        controller.setRecordingRange(range);
    }
    // Opened, asked for the range 100 ms later and answered.
    void openWindow() {
        controller.open(kSplitSixteen, 0x10016);
        controller.onRangeTimer();
        controller.setRecordingRange(range);
        link.requests.clear();
    }
    // The picture reply's time as the session passes it on.
    void pictureAt(const DateTime& t) {
        controller.pictureTime(link::packPictureDateWord(t), link::packPictureTimeWord(t));
    }
    void moveTo(const DateTime& t) {
        controller.onCalendarDate(t.year, t.month, t.day);
        controller.onSliderScrolled(t.hour * 3600 + t.minute * 60 + t.second);
    }

    static constexpr DateTime kStart{2006, 1, 2, 3, 4, 5};
    static constexpr DateTime kEnd{2006, 1, 2, 4, 4, 5};
    FakePlaybackRequests link;
    RecordingView view;
    dvr::link::RecordingRange range;
    DateTime clock{2010, 5, 6, 7, 8, 9};
    PlaybackController controller{link, [this] { return clock; }, &view};
};

TEST_F(ControllerTest, OpeningStartsAtTheRecordingStartAndAsksForTheRange) {
    controller.open(kSplitSixteen, 0x10016);
    EXPECT_TRUE(controller.isOpen());
    EXPECT_EQ(controller.requestTime(), kStart);
    EXPECT_EQ(controller.sliderValue(), 3 * 3600 + 4 * 60 + 5);
    EXPECT_EQ(controller.checkedButton(), PlayButton::Pause);
    EXPECT_TRUE(controller.idleWatchRunning());
    EXPECT_TRUE(link.requests.empty());
    ASSERT_TRUE(controller.rangeTimerPending());
    controller.onRangeTimer();
    EXPECT_EQ(link.requests, std::vector<RequestKind>{RequestKind::RecordingRange});
    EXPECT_FALSE(controller.rangeTimerPending());
    EXPECT_EQ(controller.startText(), "2006/01/02  03:04:05");
    EXPECT_EQ(controller.requestText(), "2006/01/02  03:04:05");
    EXPECT_EQ(controller.clockText(), "03:04:05");
}

TEST_F(ControllerTest, RangeAcceptanceRules) {
    // An unacceptable start becomes the local time; an end year before 1996
    // makes the range invalid and the play buttons send nothing.
    setRange({2006, 13, 1, 0, 0, 0}, {1995, 3, 4, 5, 6, 7});
    EXPECT_EQ(controller.rangeStart(), clock);
    EXPECT_TRUE(controller.endKnown());
    EXPECT_FALSE(controller.rangeValid());
    EXPECT_EQ(controller.endText(), kUnknownDateTime);
    openWindow();
    controller.onPlayButton(PlayButton::Forward);
    EXPECT_TRUE(link.requests.empty());
    EXPECT_FALSE(controller.playing());
    EXPECT_EQ(link.modeWord, 0x00010100u);

    // Hour 24 is accepted in a range; an unknown end on a newer recorder
    // reads as the local time when the window opens.
    setRange({2006, 1, 2, 24, 0, 0}, {0, 0, 0, 0, 0, 0});
    EXPECT_EQ(controller.rangeStart(), (DateTime{2006, 1, 2, 24, 0, 0}));
    EXPECT_FALSE(controller.endKnown());
    EXPECT_TRUE(controller.rangeValid());
}

TEST_F(ControllerTest, PlayButtonsSetTheModeWordAndPlayState) {
    openWindow();
    controller.setRequestSpeed(5);
    struct Case {
        PlayButton button;
        uint32_t word;
        uint16_t state;
    };
    const Case cases[] = {{PlayButton::FastReverse, 0x01050200, kPlayReverse},
                          {PlayButton::Reverse, 0x01010200, kPlayReverse},
                          {PlayButton::Forward, 0x00010100, kPlayForward},
                          {PlayButton::FastForward, 0x00050200, kPlayFastForward}};
    for (const Case& c : cases) {
        controller.onPlayButton(c.button);
        EXPECT_EQ(link.modeWord, c.word);
        EXPECT_EQ(controller.playState(), c.state);
        EXPECT_EQ(controller.checkedButton(), c.button);
        EXPECT_FALSE(controller.eventButtonEnabled());
    }
}

TEST_F(ControllerTest, PlayStartsASearchAndFurtherPressesOnlyQueue) {
    openWindow();
    controller.onPlayButton(PlayButton::Forward);
    EXPECT_EQ(link.requests, std::vector<RequestKind>{RequestKind::PlaySearch});
    EXPECT_EQ(link.follow, RequestKind::NextPlaybackPicture);
    EXPECT_EQ(link.dateWord, link::packDateWord(kStart));
    EXPECT_EQ(link.timeWord, link::packTimeWord(kStart));
    EXPECT_EQ(controller.statusText(), "SEARCHING                      ");
    EXPECT_TRUE(controller.playing());
    EXPECT_FALSE(controller.sliderEnabled());
    EXPECT_FALSE(controller.calendarEnabled());

    controller.connectionStatus(1);  // clears the status rectangle
    controller.onPlayButton(PlayButton::Forward);
    controller.onPlayButton(PlayButton::FastForward);
    // Still one request out: the change waits for the picture in flight.
    EXPECT_EQ(link.requests.size(), 1u);
    EXPECT_EQ(link.follow, RequestKind::PlaySearch);
    EXPECT_EQ(controller.statusText(), "");
    EXPECT_EQ(link.modeWord, 0x00030200u);

    controller.onPlayButton(PlayButton::Pause);
    EXPECT_EQ(link.requests.back(), RequestKind::StopPlayback);
    EXPECT_FALSE(controller.playing());
    EXPECT_TRUE(controller.sliderEnabled());
    EXPECT_TRUE(controller.eventButtonEnabled());
    EXPECT_EQ(controller.checkedButton(), PlayButton::Pause);
}

TEST_F(ControllerTest, PlayStartsFarFromThePreviousOneClearThePanes) {
    openWindow();
    const DateTime t{2006, 1, 2, 3, 30, 0};
    moveTo(t);
    int clears = controller.paneClears();
    controller.onPlayButton(PlayButton::FastForward);  // the first start has no reference
    EXPECT_EQ(controller.paneClears(), clears + 1);
    controller.onPlayButton(PlayButton::Pause);

    struct Step {
        int offsetSeconds;
        PlayButton button;
        bool cleared;
    };
    // Forward play only sets no check itself; pause sets it for the next start.
    const Step steps[] = {{60, PlayButton::Reverse, false},
                          {-61, PlayButton::Reverse, true},
                          {-61 - 61, PlayButton::FastForward, true},
                          {-61 - 61 + 59, PlayButton::FastForward, false},
                          {+30 * 60, PlayButton::Forward, true}};
    for (const Step& s : steps) {
        moveTo(fromEpochSeconds(toEpochSeconds(t) + s.offsetSeconds));
        clears = controller.paneClears();
        controller.onPlayButton(s.button);
        EXPECT_EQ(controller.paneClears() - clears, s.cleared ? 1 : 0) << s.offsetSeconds;
        EXPECT_EQ(controller.lastJumpReference(), controller.requestTime());
        controller.onPlayButton(PlayButton::Pause);
    }
}

TEST_F(ControllerTest, HourStepsFollowTheRealCalendar) {
    setRange({1999, 1, 1, 0, 0, 0}, {2030, 1, 1, 0, 0, 0});
    openWindow();
    struct Case {
        DateTime from;
        bool forward;
        DateTime to;
    };
    const Case cases[] = {
        {{2005, 3, 1, 0, 30, 0}, false, {2005, 2, 28, 23, 0, 0}},
        {{2004, 3, 1, 0, 30, 0}, false, {2004, 2, 29, 23, 0, 0}},
        {{2000, 3, 1, 0, 5, 0}, false, {2000, 2, 29, 23, 0, 0}},
        {{2005, 1, 1, 0, 10, 0}, false, {2004, 12, 31, 23, 0, 0}},
        {{2005, 5, 1, 0, 10, 0}, false, {2005, 4, 30, 23, 0, 0}},
        {{2005, 5, 1, 7, 10, 9}, false, {2005, 5, 1, 6, 0, 0}},
        {{2004, 12, 31, 23, 40, 0}, true, {2005, 1, 1, 0, 0, 0}},
        {{2004, 2, 28, 23, 10, 0}, true, {2004, 2, 29, 0, 0, 0}},
        {{2004, 2, 29, 23, 10, 0}, true, {2004, 3, 1, 0, 0, 0}},
        {{2005, 2, 28, 23, 10, 0}, true, {2005, 3, 1, 0, 0, 0}},
        {{2100, 2, 28, 23, 0, 0}, true, {2100, 3, 1, 0, 0, 0}},
        {{2005, 4, 30, 23, 0, 0}, true, {2005, 5, 1, 0, 0, 0}},
        {{2005, 4, 30, 12, 59, 59}, true, {2005, 4, 30, 13, 0, 0}},
    };
    for (const Case& c : cases) {
        const DateTime got = c.forward ? hourStepForward(c.from) : hourStepBack(c.from);
        EXPECT_EQ(got, c.to) << formatDateTime(c.from);
        if (!acceptableDate(c.to))
            continue;
        moveTo(c.from);
        c.forward ? controller.onHourForward() : controller.onHourBack();
        EXPECT_EQ(controller.requestTime(), c.to) << formatDateTime(c.from);
        EXPECT_EQ(controller.calendarDay(), c.to.day);
        EXPECT_EQ(controller.sliderValue(), c.to.hour * 3600);
        EXPECT_EQ(controller.pictureTimeValue(), c.to);
    }
    // The steps send nothing; the next play press uses the new time.
    EXPECT_TRUE(link.requests.empty());
    controller.onStart();
    EXPECT_EQ(controller.requestTime(), (DateTime{1999, 1, 1, 0, 0, 0}));
    controller.onEnd();
    controller.onPlayButton(PlayButton::Forward);
    EXPECT_EQ(link.dateWord, link::packDateWord({2030, 1, 1}));
}

TEST_F(ControllerTest, PlayStopsAtTheRangeEndOfTheWholeDate) {
    // A recording of more than a year: the same month, day and time a year
    // before the end is not the end.
    setRange({2005, 3, 1, 12, 0, 0}, {2006, 6, 1, 12, 0, 0});
    openWindow();
    controller.onPlayButton(PlayButton::Forward);
    pictureAt({2005, 6, 1, 12, 0, 0});
    EXPECT_EQ(link.follow, RequestKind::NextPlaybackPicture);
    EXPECT_EQ(controller.position(), packPosition(12, 0, 0));
    EXPECT_EQ(controller.calendarMonth(), 6);
    pictureAt({2006, 6, 1, 12, 0, 0});
    EXPECT_EQ(link.follow, RequestKind::StopPlayback);

    // Backwards the start is the edge.
    controller.onPlayButton(PlayButton::Pause);
    link.follow = RequestKind::NextPlaybackPicture;
    controller.onPlayButton(PlayButton::Reverse);
    pictureAt({2006, 3, 1, 12, 0, 0});
    EXPECT_EQ(link.follow, RequestKind::NextPlaybackPicture);
    pictureAt({2005, 3, 1, 12, 0, 0});
    EXPECT_EQ(link.follow, RequestKind::StopPlayback);

    // Pictures with impossible dates are ignored.
    pictureAt({2005, 13, 1, 12, 0, 0});
    EXPECT_EQ(controller.pictureTimeValue(), (DateTime{2005, 3, 1, 12, 0, 0}));
}

TEST_F(ControllerTest, PlayStatusesReturnToPause) {
    openWindow();
    struct Case {
        uint32_t code;
        const char* text;
    };
    const Case cases[] = {{0, "ERROR"},       {1, "STOP PLAY IMAGE"}, {2, "NO SEARCH IMAGE"},
                          {3, "END OF PLAY"}, {4, "INVALID DATE"},    {9, "ERROR"}};
    for (const Case& c : cases) {
        controller.onPlayButton(PlayButton::FastForward);
        ASSERT_TRUE(controller.playing());
        controller.playStatus(c.code);
        EXPECT_EQ(controller.statusText(), c.text);
        EXPECT_EQ(controller.playState(), kPlayStopped);
        EXPECT_FALSE(controller.playing());
        EXPECT_EQ(controller.checkedButton(), PlayButton::Pause);
        EXPECT_TRUE(controller.eventButtonEnabled());
        EXPECT_TRUE(controller.sliderEnabled());
    }
    // A new press after a status searches again instead of only queueing.
    link.requests.clear();
    controller.onPlayButton(PlayButton::Forward);
    EXPECT_EQ(link.requests, std::vector<RequestKind>{RequestKind::PlaySearch});
}

TEST_F(ControllerTest, IdleWatchKeepsTheSessionWhilePicturesArrive) {
    openWindow();
    controller.onPlayButton(PlayButton::Forward);
    // The mouse rests; a picture arrives between every two ticks.
    for (int i = 0; i < 6; ++i) {
        controller.onIdleTick();
        pictureAt({2006, 1, 2, 3, 4, 6 + i});
    }
    EXPECT_EQ(link.disconnects, 0);
    EXPECT_TRUE(controller.idleWatchRunning());
    // No keep-alive while playing.
    EXPECT_EQ(std::count(link.requests.begin(), link.requests.end(), RequestKind::KeepAlive), 0);

    // Paused: a keep-alive on every tick while the user is there.
    controller.onPlayButton(PlayButton::Pause);
    link.requests.clear();
    controller.onIdleTick();
    controller.onUserActivity();
    controller.onIdleTick();
    EXPECT_EQ(link.requests, (std::vector<RequestKind>{RequestKind::KeepAlive, RequestKind::KeepAlive}));

    // Nobody there for a whole period: stop, disconnect, tell the user.
    controller.onIdleTick();
    EXPECT_EQ(link.requests.back(), RequestKind::StopPlayback);
    EXPECT_EQ(link.disconnects, 1);
    EXPECT_FALSE(controller.idleWatchRunning());
    EXPECT_EQ(controller.statusText(), "DISCONNECT");
    EXPECT_EQ(view.messages, std::vector<std::string>{"MSG_003"});
    EXPECT_TRUE(controller.isOpen());
}

TEST_F(ControllerTest, APlayButtonReconnectsAndPlaysOnlyOnceConnected) {
    openWindow();
    link.isConnected = false;
    moveTo({2006, 1, 2, 3, 50, 0});
    controller.onPlayButton(PlayButton::Reverse);
    EXPECT_EQ(link.connects, 1);
    EXPECT_TRUE(controller.reconnecting());
    EXPECT_TRUE(link.requests.empty());
    EXPECT_FALSE(controller.playing());

    link.isConnected = true;
    controller.onConnectionEstablished();
    EXPECT_EQ(link.requests, (std::vector<RequestKind>{RequestKind::Login, RequestKind::PlaySearch}));
    EXPECT_EQ(link.follow, RequestKind::NextPlaybackPicture);
    EXPECT_TRUE(controller.playing());
    EXPECT_EQ(controller.statusText(), "SEARCHING                      ");
    // The play starts over from the recording start, in the chosen direction.
    EXPECT_EQ(controller.requestTime(), kStart);
    EXPECT_EQ(link.timeWord, link::packTimeWord(kStart));
    EXPECT_EQ(link.modeWord, 0x01010200u);

    // A connect that fails later, and one refused at once.
    controller.onPlayButton(PlayButton::Pause);
    link.isConnected = false;
    controller.onPlayButton(PlayButton::Forward);
    controller.onConnectFailed();
    EXPECT_EQ(controller.statusText(), "CONNECTION FAIL");
    EXPECT_FALSE(controller.idleWatchRunning());
    EXPECT_FALSE(controller.playing());
    link.connectStarts = false;
    controller.onPlayButton(PlayButton::Forward);
    EXPECT_FALSE(controller.reconnecting());
    EXPECT_EQ(controller.checkedButton(), PlayButton::Pause);
}

// A play button's reconnect that its window or its connection did not live to see completed starts
// nothing: no play request on the live view's connection, no idle watch that would drop it later.
TEST_F(ControllerTest, AReconnectOutlivedByItsWindowOrItsConnectionStartsNothing) {
    openWindow();
    link.isConnected = false;
    controller.onPlayButton(PlayButton::Forward);
    ASSERT_TRUE(controller.reconnecting());
    controller.onExit();
    ASSERT_FALSE(controller.isOpen());
    EXPECT_FALSE(controller.reconnecting());
    link.isConnected = true;
    controller.onConnectionEstablished();
    EXPECT_EQ(std::count(link.requests.begin(), link.requests.end(), RequestKind::PlaySearch), 0);
    EXPECT_EQ(std::count(link.requests.begin(), link.requests.end(), RequestKind::Login), 0);
    EXPECT_FALSE(controller.playing());
    EXPECT_FALSE(controller.idleWatchRunning());

    // Opened again: paused, nothing pending.
    openWindow();
    EXPECT_FALSE(controller.playing());
    EXPECT_FALSE(controller.reconnecting());

    // The new connection broke before the report of it was taken: paused with DISCONNECT, and the late
    // report starts nothing; nor does a report while no connection stands.
    for (const bool lostFirst : {true, false}) {
        link.isConnected = false;
        controller.onPlayButton(PlayButton::Forward);
        ASSERT_TRUE(controller.reconnecting());
        link.requests.clear();
        if (lostFirst) {
            controller.onConnectionLost(true);
            EXPECT_EQ(controller.statusText(), "DISCONNECT");
        }
        controller.onConnectionEstablished();
        EXPECT_EQ(controller.statusText(), lostFirst ? "DISCONNECT" : "CONNECTION FAIL");
        EXPECT_FALSE(controller.reconnecting());
        EXPECT_TRUE(link.requests.empty());
        EXPECT_FALSE(controller.playing());
        EXPECT_EQ(controller.checkedButton(), PlayButton::Pause);
    }
}

// Pictures stop when the connection is lost or the idle watch drops it: an AVI recording stops too.
TEST_F(ControllerTest, ALostOrDroppedConnectionPausesAsPauseDoes) {
    openWindow();
    controller.onPlayButton(PlayButton::Forward);
    ASSERT_TRUE(controller.playing());
    view.pauses = 0;
    controller.onConnectionLost(false);
    EXPECT_EQ(view.pauses, 1);
    EXPECT_FALSE(controller.playing());

    openWindow();
    controller.onIdleTick();
    EXPECT_EQ(view.pauses, 1);
    controller.onIdleTick();
    EXPECT_EQ(link.disconnects, 1);
    EXPECT_EQ(view.pauses, 2);
}

TEST_F(ControllerTest, AnotherPlayPressWhileReconnectingWaitsForTheConnection) {
    openWindow();
    link.isConnected = false;
    controller.onPlayButton(PlayButton::Forward);
    ASSERT_TRUE(controller.reconnecting());
    // The socket is still connecting: no second connect, no failure shown, the idle watch runs on.
    controller.onPlayButton(PlayButton::FastForward);
    EXPECT_EQ(link.connects, 1);
    EXPECT_TRUE(controller.reconnecting());
    EXPECT_NE(controller.statusText(), "CONNECTION FAIL");
    EXPECT_TRUE(controller.idleWatchRunning());
    EXPECT_EQ(controller.checkedButton(), PlayButton::FastForward);

    // The connection comes: play starts once, in the direction pressed last.
    link.isConnected = true;
    controller.onConnectionEstablished();
    EXPECT_EQ(link.requests, (std::vector<RequestKind>{RequestKind::Login, RequestKind::PlaySearch}));
    EXPECT_EQ(link.modeWord, 0x00030200u);
    EXPECT_EQ(controller.playState(), kPlayFastForward);
    EXPECT_EQ(controller.checkedButton(), PlayButton::FastForward);
}

TEST_F(ControllerTest, BusyWindowIgnoresItsButtons) {
    openWindow();
    controller.setBusy(true);
    controller.onPlayButton(PlayButton::Forward);
    controller.onHourForward();
    controller.onExit();
    EXPECT_TRUE(link.requests.empty());
    EXPECT_EQ(controller.checkedButton(), PlayButton::Pause);
    EXPECT_EQ(controller.requestTime(), kStart);
    EXPECT_TRUE(controller.isOpen());
    EXPECT_FALSE(controller.layout().onModePlus(controller.busy()));
}

TEST_F(ControllerTest, CommandsReachTheirControlsAndReturnWhatOnlyTheWindowDoes) {
    openWindow();
    // Export and the event list are the window's; the controller's state stays as it was.
    const std::pair<int, PlaybackAction> windowActions[] = {
        {command::kSave, PlaybackAction::SaveSnapshot},
        {command::kPrint, PlaybackAction::Print},
        {command::kSaveAvi, PlaybackAction::ToggleRecording},
        {command::kEvent, PlaybackAction::ShowEventList}};
    for (const auto& [id, action] : windowActions) {
        EXPECT_EQ(controller.onCommand(id), (PlaybackCommandEffects{action, false})) << id;
        EXPECT_TRUE(link.requests.empty()) << id;
    }
    // The play buttons run from the first play id in the window's order; the forward one starts a search.
    EXPECT_EQ(controller.onCommand(command::kPlayFirst + 3), PlaybackCommandEffects{});
    EXPECT_EQ(controller.checkedButton(), PlayButton::Forward);
    EXPECT_EQ(link.requests, std::vector<RequestKind>{RequestKind::PlaySearch});
    controller.onCommand(command::kPlayFirst + 2);
    EXPECT_EQ(controller.checkedButton(), PlayButton::Pause);

    // Layout buttons repaint the picture area when they change the layout.
    EXPECT_TRUE(controller.onCommand(command::kModeOne).repaintPictureArea);
    EXPECT_EQ(controller.layout().splitCode(), kSplitOne);
    EXPECT_TRUE(controller.onCommand(command::kModeFour).repaintPictureArea);
    EXPECT_TRUE(controller.onCommand(command::kChannelFirst + 15).repaintPictureArea);
    EXPECT_TRUE(controller.layout().isVisible(15));

    // The wheel picture and unknown ids do nothing.
    for (int id : {0, command::kWheel, 2000})
        EXPECT_EQ(controller.onCommand(id), PlaybackCommandEffects{}) << id;

    // A busy window's layout does not change.
    controller.setBusy(true);
    EXPECT_FALSE(controller.onCommand(command::kModePlus).repaintPictureArea);
    EXPECT_FALSE(controller.onCommand(command::kChannelFirst).repaintPictureArea);
}

TEST_F(ControllerTest, ExitPausesFirstThenReturnsToLive) {
    openWindow();
    controller.onPlayButton(PlayButton::Forward);
    link.requests.clear();
    controller.onExit();
    EXPECT_EQ(link.requests, std::vector<RequestKind>{RequestKind::StopPlayback});
    EXPECT_TRUE(controller.isOpen());
    EXPECT_EQ(view.closed, 0);
    controller.onExit();
    EXPECT_FALSE(controller.isOpen());
    EXPECT_FALSE(controller.idleWatchRunning());
    EXPECT_EQ(link.requests.back(), RequestKind::LivePicture);
    EXPECT_EQ(link.follow, RequestKind::StopPlayback);
    EXPECT_EQ(view.closed, 1);
}

TEST_F(ControllerTest, SliderScrollMovesThePositionAndClearsPictures) {
    openWindow();
    const int clears = controller.paneClears();
    controller.onSliderScrolled(86399);
    EXPECT_EQ(controller.clockText(), "23:59:59");
    EXPECT_EQ(controller.paneClears(), clears + 1);
    controller.onSliderScrolled(90000);
    EXPECT_EQ(controller.sliderValue(), 86399);
    controller.onPlayButton(PlayButton::Forward);
    EXPECT_EQ(link.timeWord, link::packTimeWord({0, 0, 0, 23, 59, 59}));
}

}  // namespace
}  // namespace dvr::playback

namespace dvr::playback {
namespace {

TEST_F(ControllerTest, TheEventListOpensOnlyWhilePausedAndMakesTheWindowBusy) {
    openWindow();
    controller.onPlayButton(PlayButton::Forward);
    EXPECT_FALSE(controller.openEventList());
    controller.onPlayButton(PlayButton::Pause);
    link.requests.clear();

    ASSERT_TRUE(controller.openEventList());
    EXPECT_EQ(link.requests, std::vector<RequestKind>{RequestKind::EventList});
    EXPECT_TRUE(controller.busy());
    EXPECT_FALSE(controller.openEventList());  // once only
    controller.onPlayButton(PlayButton::Forward);
    controller.onExit();
    EXPECT_FALSE(controller.playing());
    EXPECT_TRUE(controller.isOpen());
    EXPECT_EQ(link.requests.size(), 1u);

    controller.closeEventList();
    EXPECT_FALSE(controller.busy());
}

TEST_F(ControllerTest, JumpToAnEventPlaysForwardsFromItsMoment) {
    openWindow();
    ASSERT_TRUE(controller.openEventList());
    link.requests.clear();
    const DateTime event{2006, 1, 2, 3, 30, 15};
    controller.jumpTo(packEventTime(event));
    EXPECT_FALSE(controller.busy());
    EXPECT_TRUE(controller.playing());
    EXPECT_EQ(controller.checkedButton(), PlayButton::Forward);
    EXPECT_EQ(controller.requestTime(), event);
    EXPECT_EQ(controller.calendarDay(), 2);
    EXPECT_EQ(controller.clockText(), "03:30:15");
    EXPECT_EQ(link.dateWord, link::packDateWord(event));
    EXPECT_EQ(link.timeWord, link::packTimeWord(event));
    EXPECT_EQ(link.requests.back(), RequestKind::PlaySearch);

    // A word that names no date leaves the window as it is.
    controller.onPlayButton(PlayButton::Pause);
    link.requests.clear();
    controller.jumpTo(packEventTime({2006, 0, 2, 3, 0, 0}));
    EXPECT_FALSE(controller.playing());
    EXPECT_TRUE(link.requests.empty());
}

// The connection dropped while the event list was open: the jump reconnects and plays from the
// event's moment, not from the recording's start as a play button's reconnect does.
TEST_F(ControllerTest, AJumpThatReconnectsPlaysFromTheEvent) {
    openWindow();
    ASSERT_TRUE(controller.openEventList());
    link.isConnected = false;
    const DateTime event{2006, 1, 2, 3, 30, 15};
    controller.jumpTo(packEventTime(event));
    EXPECT_EQ(link.connects, 1);
    link.isConnected = true;
    controller.onConnectionEstablished();
    EXPECT_TRUE(controller.playing());
    EXPECT_EQ(controller.requestTime(), event);
    EXPECT_EQ(link.timeWord, link::packTimeWord(event));

    // A play button's reconnect after it still starts from the recording's start.
    controller.onPlayButton(PlayButton::Pause);
    link.isConnected = false;
    controller.onPlayButton(PlayButton::Forward);
    link.isConnected = true;
    controller.onConnectionEstablished();
    EXPECT_EQ(controller.requestTime(), kStart);
}

// The idle watch does not drop the connection while the user works in the event list, a dialog of
// the window that takes its input.
TEST_F(ControllerTest, TheIdleWatchWaitsWhileTheEventListIsOpen) {
    openWindow();
    ASSERT_TRUE(controller.idleWatchRunning());
    ASSERT_TRUE(controller.openEventList());
    for (int i = 0; i < 5; ++i)
        controller.onIdleTick();
    EXPECT_EQ(link.disconnects, 0);
    controller.closeEventList();
    controller.onIdleTick();
    controller.onIdleTick();
    EXPECT_EQ(link.disconnects, 1);
}

}  // namespace
}  // namespace dvr::playback
