// The Vistrel window against the recorder simulator over loopback, on the offscreen platform: pictures reach
// the right panes in every layout, the one-pane zoom of a quad picture, the exit order and the single
// instance.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGraphicsView>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <string>

#include "common/skin/widgets/SingleInstanceLock.h"
#include "common/skin/widgets/SkinButton.h"
#include "tests/viewer/live/WindowTestSupport.h"
#include "tools/dvrsim/RecorderSimulator.h"
#include "viewer/link/ArpCache.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/widgets/AboutDialog.h"
#include "viewer/live/widgets/MainFrame.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/live/widgets/VistrelApplication.h"

namespace dvr::live {
namespace {

using windowtest::channelShown;
using windowtest::makeProgramFolder;
using windowtest::waitFor;

// Counts the rows it is asked to delete; never touches the machine's table.
class FakeArpTable : public link::ArpTable {
public:
    std::optional<std::vector<link::ArpEntry>> read(size_t) override {
        ++reads;
        return std::vector<link::ArpEntry>{{"127.0.0.2", "lo"}};
    }
    bool remove(const link::ArpEntry&) override {
        ++removed;
        return true;
    }
    int reads = 0;
    int removed = 0;
};

class VistrelWindow : public windowtest::SimulatorWindowTest<> {
protected:
    void startRecorder(sim::PictureMix pictures, bool newerProtocol = true, bool keyLock = false) {
        sim::SimOptions options;
        options.keyLock = keyLock;
        options.pictures = pictures;
        options.newerBit = newerProtocol;
        if (!newerProtocol) {
            options.versionText = "DVRJ PACKET1.41";
        }
        SimulatorWindowTest::startRecorder(std::move(options));
    }

    void openWindow() {
        ViewOptions options = viewOptions(m_recorder ? m_recorder->port() : uint16_t(1));
        options.arpTable = &m_arp;
        options.timers = &m_timers;
        options.clock = &m_clock;
        makeFrame(std::move(options));
        m_frame->show();
    }

    void click(int commandId) {
        skin::SkinButton* button = view().button(commandId);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }

    void connectAndWaitForPictures() {
        view().pressConnect();
        ASSERT_TRUE(
            waitFor([this] { return view().connectionState() == link::ConnectionState::Established; }));
    }

    // Waits until every pane of the layout holds a picture, then checks each pane's colour.
    void expectPanesShowTheirChannels(const char* what) {
        SCOPED_TRACE(what);
        const LiveLayout& layout = view().layout();
        const int first = layout.firstChannel();
        const int count = layout.splitCode() == kSplitOne ? 1 : layout.paneCount();
        ASSERT_TRUE(waitFor([&] {
            for (int c = first; c < first + count; ++c) {
                if (!view().paneHasPicture(c)) {
                    return false;
                }
            }
            return true;
        })) << "panes without pictures";
        const QImage window = view().grab().toImage();
        if (const char* dump = std::getenv("VISTREL_TEST_DUMP")) {
            window.save(QString::fromLocal8Bit(dump) + QLatin1Char('/') + QString::fromLatin1(what) +
                        QStringLiteral(".png"));
        }
        for (int c = first; c < first + count; ++c) {
            EXPECT_EQ(channelShown(window, view().paneRect(c)), c) << "pane of channel " << c;
        }
    }

    void checkEveryLayout() {
        connectAndWaitForPictures();
        expectPanesShowTheirChannels("16 panes");
        click(command::kModeFirst + 3);
        ASSERT_EQ(view().layout().splitCode(), kSplitNine);
        expectPanesShowTheirChannels("9 panes");
        click(command::kModeFirst + 1);
        ASSERT_EQ(view().layout().splitCode(), kSplitFour);
        expectPanesShowTheirChannels("4 panes");
        click(command::kModeFirst);
        ASSERT_EQ(view().layout().splitCode(), kSplitOne);
        expectPanesShowTheirChannels("1 pane");
    }

    // Packets the recorder received, one JSON line each (written on the recorder's thread).
    std::vector<std::string> receivedPackets(const std::string& command) {
        return m_recorder->packets(command);
    }

    FakeArpTable m_arp;
};

TEST_F(VistrelWindow, FullPicturesReachTheirPanesInEveryLayout) {
    startRecorder(sim::PictureMix::Full);
    openWindow();
    checkEveryLayout();
    EXPECT_EQ(view().layout().paneRect(0), (PaneRect{9, 9, 727, 487}));
}

// The window decodes on its worker thread unless asked not to; either way every pane gets its channel.
TEST_F(VistrelWindow, PicturesDecodedOnTheWindowsOwnThreadReachTheirPanesToo) {
    startRecorder(sim::PictureMix::Full);
    openWindow();
    EXPECT_TRUE(view().decodeOnWorker());
    EXPECT_NE(view().controller().decodeWorker(), nullptr);
    view().setDecodeOnWorker(false);
    EXPECT_EQ(view().controller().decodeWorker(), nullptr);
    checkEveryLayout();
}

TEST_F(VistrelWindow, PairPicturesReachTheirPanesInEveryLayout) {
    startRecorder(sim::PictureMix::Pair);
    openWindow();
    checkEveryLayout();
}

TEST_F(VistrelWindow, QuadPicturesReachTheirPanesInEveryLayout) {
    startRecorder(sim::PictureMix::Quad);
    openWindow();
    checkEveryLayout();
    // One pane: the centred half-size pane.
    EXPECT_EQ(view().layout().paneRect(0), (PaneRect{8 + 181, 8 + 121, 8 + 360 + 179, 8 + 240 + 119}));
}

TEST_F(VistrelWindow, ZoomByDoubleClickAndBack) {
    startRecorder(sim::PictureMix::Full);
    openWindow();
    connectAndWaitForPictures();
    click(command::kModeFirst + 3);
    const QRect pane5 = view().paneRect(5);
    QTest::mouseDClick(&view(), Qt::LeftButton, Qt::NoModifier, pane5.center());
    QCoreApplication::processEvents();
    ASSERT_EQ(view().layout().splitCode(), kSplitOne);
    expectPanesShowTheirChannels("zoomed to channel 5");
    EXPECT_EQ(view().layout().firstChannel(), 5);
    QTest::mouseDClick(&view(), Qt::LeftButton, Qt::NoModifier, view().paneRect(5).center());
    QCoreApplication::processEvents();
    EXPECT_EQ(view().layout().splitCode(), kSplitNine);
    expectPanesShowTheirChannels("back to 9 panes");
}

TEST_F(VistrelWindow, StatusTextsAndSpeedControlsFollowTheConnection) {
    startRecorder(sim::PictureMix::Full);
    openWindow();
    EXPECT_EQ(view().statusText(), QStringLiteral("WAITING FOR CONNECTION."));
    connectAndWaitForPictures();
    EXPECT_EQ(view().statusText(), QStringLiteral("CONNECTION ESTABLISHED."));
    ASSERT_TRUE(waitFor([this] { return !view().qualityText().isEmpty(); }));
    EXPECT_EQ(view().qualityText(), QStringLiteral("FINE              \n@720*240"));
    EXPECT_TRUE(view().speedControlsShown());

    // Speed plus acts on release and stops at 10; the next request carries it.
    for (int i = 0; i < 4; ++i) {
        click(command::kSpeedPlus);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(view().session()->live().requestSpeed(), 10);

    click(command::kDisconnect);
    EXPECT_EQ(view().connectionState(), link::ConnectionState::Waiting);
    EXPECT_EQ(view().statusText(), QStringLiteral("WAITING FOR CONNECTION."));
    EXPECT_FALSE(view().session()->hasSocket());
    EXPECT_EQ(m_arp.reads, 1);
    EXPECT_EQ(view().layout().splitCode(), kSplitSixteen);
    for (int c = 0; c < kChannelCount; ++c) {
        EXPECT_FALSE(view().layout().bufferFilled(c));
    }
}

TEST_F(VistrelWindow, KeyLockNoticeGivesWayToTheConnectionStateOnRepaint) {
    startRecorder(sim::PictureMix::Full, true, true);
    openWindow();
    connectAndWaitForPictures();
    ASSERT_TRUE(
        waitFor([this] { return view().paintedStatusText().startsWith(QStringLiteral("KEY LOCK!!")); }));
    view().repaint();
    EXPECT_EQ(view().paintedStatusText(), QStringLiteral("CONNECTION ESTABLISHED."));
    EXPECT_EQ(view().statusText(), QStringLiteral("CONNECTION ESTABLISHED."));

    // The playback button while the keys are locked shows the notice again, until the next repaint.
    click(command::kPlayback);
    EXPECT_TRUE(view().statusText().startsWith(QStringLiteral("KEY LOCK!!")));
    ASSERT_TRUE(
        waitFor([this] { return view().paintedStatusText().startsWith(QStringLiteral("KEY LOCK!!")); }));
    view().repaint();
    EXPECT_EQ(view().paintedStatusText(), QStringLiteral("CONNECTION ESTABLISHED."));
}

TEST_F(VistrelWindow, AboutOpensFromTheHiddenAreaWhileIdle) {
    openWindow();
    QTest::mouseDClick(&view(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 580));
    QCoreApplication::processEvents();
    auto* about = view().findChild<AboutDialog*>();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("Vistrel"));
    EXPECT_TRUE(about->versionLine().startsWith(QStringLiteral("Vistrel Ver")));
    EXPECT_EQ(about->okCaption(), QStringLiteral("OK"));
    about->accept();
}

TEST_F(VistrelWindow, ExitSavesSettingsButKeepsTheStoredRecorder) {
    startRecorder(sim::PictureMix::Full);
    openWindow();
    connectAndWaitForPictures();
    const QString settingsPath = m_home->filePath(QStringLiteral("Vistrel.ini"));
    click(command::kExit);
    ASSERT_TRUE(waitFor([this] { return !m_frame->isVisible(); }, 5000));
    EXPECT_TRUE(view().exiting());
    EXPECT_EQ(view().session(), nullptr);
    QFile file(settingsPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    EXPECT_TRUE(stored.contains("192.168.1.160"));
    EXPECT_FALSE(stored.contains("127.0.0.1"));
    EXPECT_EQ(m_arp.reads, 0);  // exit disconnects the session only
    EXPECT_TRUE(waitFor([this] { return !receivedPackets("0x1013").empty(); }, 5000)) << "no stop request";
}

TEST_F(VistrelWindow, ChannelButtonPagesTheFourPaneLayout) {
    startRecorder(sim::PictureMix::Full);
    openWindow();
    connectAndWaitForPictures();
    click(command::kModeFirst + 1);
    expectPanesShowTheirChannels("4 panes from channel 0");
    click(command::kChannelFirst + 14);
    EXPECT_EQ(view().layout().firstChannel(), 12);
    for (int c = 0; c < kChannelCount; ++c) {
        EXPECT_EQ(view().button(command::kChannelFirst + c)->checked(), c >= 12) << c;
    }
    expectPanesShowTheirChannels("4 panes from channel 12");
}

TEST_F(VistrelWindow, RotationRunsInOnePaneOnly) {
    startRecorder(sim::PictureMix::Full);
    openWindow();
    connectAndWaitForPictures();
    ASSERT_TRUE(waitFor([this] { return view().layout().layoutCode() != 0; }));
    EXPECT_FALSE(view().button(command::kRotate)->isEnabled());
    click(command::kModeFirst);
    ASSERT_TRUE(view().button(command::kRotate)->isEnabled());
    click(command::kRotate);
    EXPECT_TRUE(view().layout().rotating());
    EXPECT_TRUE(view().button(command::kRotate)->checked());
    EXPECT_EQ(view().layout().firstChannel(), 1);
    expectPanesShowTheirChannels("rotated to channel 1");
    click(command::kModeFirst + 1);
    EXPECT_FALSE(view().layout().rotating());
    EXPECT_FALSE(view().button(command::kRotate)->checked());
    EXPECT_FALSE(view().button(command::kRotate)->isEnabled());
}

TEST_F(VistrelWindow, LiveRequestsCarryTheLayoutsChannelsAndSpeed) {
    startRecorder(sim::PictureMix::Full);
    openWindow();
    connectAndWaitForPictures();
    ASSERT_TRUE(waitFor([this] { return view().picturesShown() > 0; }));
    EXPECT_NE(receivedPackets("0x1011").back().find("\"params\":[1,1,65535,3,"), std::string::npos)
        << receivedPackets("0x1011").back();
    click(command::kModeFirst);
    const size_t before = receivedPackets("0x1011").size();
    ASSERT_TRUE(waitFor([&] { return receivedPackets("0x1011").size() > before + 2; }));
    EXPECT_NE(receivedPackets("0x1011").back().find("\"params\":[1,1,1,9,"), std::string::npos)
        << receivedPackets("0x1011").back();
}

TEST_F(VistrelWindow, OlderRecorderHidesTheSpeedControls) {
    startRecorder(sim::PictureMix::Full, false);
    openWindow();
    connectAndWaitForPictures();
    ASSERT_TRUE(waitFor([this] { return view().picturesShown() > 0; }));
    EXPECT_FALSE(view().speedControlsShown());
    EXPECT_FALSE(view().button(command::kSpeedPlus)->isVisible());
    EXPECT_FALSE(view().button(command::kSpeedLabel)->isVisible());
}

TEST_F(VistrelWindow, FullScreenScalesTheSkinAndKeepsItWorking) {
    startRecorder(sim::PictureMix::Full);
    openWindow();
    m_frame->setFullScreen(true);
    // The test screen's size is the platform's; a window twice the skin's width and taller than twice its
    // height shows the scaling.
    m_frame->showNormal();
    m_frame->setFixedSize(1600, 1300);
    QCoreApplication::processEvents();
    ASSERT_EQ(m_frame->size(), QSize(1600, 1300));
    auto* scaler = m_frame->findChild<QGraphicsView*>();
    ASSERT_NE(scaler, nullptr);
    connectAndWaitForPictures();

    // A click on the scaled nine-pane button reaches it: the skin is drawn at twice its size, centred.
    const QRect nine = view().button(command::kModeFirst + 3)->geometry();
    const QPoint offset(0, (1300 - 2 * 600) / 2);
    QTest::mouseClick(scaler->viewport(), Qt::LeftButton, Qt::NoModifier, offset + 2 * nine.center());
    QCoreApplication::processEvents();
    ASSERT_EQ(view().layout().splitCode(), kSplitNine);
    expectPanesShowTheirChannels("9 panes, full screen");
    const QImage screen = m_frame->grab().toImage();
    for (int c = 0; c < 9; ++c) {
        const QRect pane = view().paneRect(c);
        const QRect scaled(offset + 2 * pane.topLeft(), 2 * pane.size());
        EXPECT_EQ(channelShown(screen, scaled), c) << "scaled pane of channel " << c;
    }

    m_frame->setFullScreen(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_frame->findChild<QGraphicsView*>(), nullptr);
    EXPECT_EQ(view().parentWidget(), m_frame.get());
    EXPECT_EQ(m_frame->size(), QSize(800, 600));
    expectPanesShowTheirChannels("9 panes after full screen");
}

TEST_F(VistrelWindow, WindowDragIsArmedOncePerSecond) {
    openWindow();
    QSignalSpy drags(&view(), &VistrelView::dragRequested);
    const QPoint background(760, 590);
    QTest::mousePress(&view(), Qt::LeftButton, Qt::NoModifier, background);
    QTest::mouseRelease(&view(), Qt::LeftButton, Qt::NoModifier, background);
    QTest::mousePress(&view(), Qt::LeftButton, Qt::NoModifier, background);
    QTest::mouseRelease(&view(), Qt::LeftButton, Qt::NoModifier, background);
    EXPECT_EQ(drags.count(), 1);
    m_timers.advance(1000, view().controller());
    QTest::mousePress(&view(), Qt::LeftButton, Qt::NoModifier, background);
    QTest::mouseRelease(&view(), Qt::LeftButton, Qt::NoModifier, background);
    EXPECT_EQ(drags.count(), 2);

    view().settingsStore().settings().fullScreen = 1;
    m_timers.advance(1000, view().controller());
    QTest::mousePress(&view(), Qt::LeftButton, Qt::NoModifier, background);
    QTest::mouseRelease(&view(), Qt::LeftButton, Qt::NoModifier, background);
    EXPECT_EQ(drags.count(), 2);
}

TEST(VistrelProgram, HelpAndBadArgumentsNeedNoWindow) {
    QProcess help;
    help.start(QStringLiteral(VISTREL_PROGRAM), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(10000));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().startsWith("Usage: vistrel"));

    QProcess bad;
    bad.start(QStringLiteral(VISTREL_PROGRAM), {QStringLiteral("--port"), QStringLiteral("http")});
    ASSERT_TRUE(bad.waitForFinished(10000));
    EXPECT_EQ(bad.exitCode(), 2);
    const QByteArray error = bad.readAllStandardError();
    EXPECT_TRUE(error.startsWith("vistrel: ")) << error.constData();
    EXPECT_EQ(error.count('\n'), 1);
}

TEST(VistrelStart, SecondInstanceIsRefusedAndTheFirstKeepsItsLock) {
    auto home = makeProgramFolder();
    QFile language(home->filePath(QStringLiteral("ini/lang.ini")));
    ASSERT_TRUE(language.open(QIODevice::WriteOnly));
    language.write("[ERR_MSG]\r\nMSG_019=Vistrel runs already\r\n");
    language.close();

    skin::SingleInstanceLock first(QStringLiteral("Vistrel"));
    ASSERT_TRUE(first.acquire());

    RecordingViewerNotifier notifier;
    ViewerCommandLine line;
    line.home = home->path().toStdString();
    EXPECT_EQ(runVistrel(line, notifier), 1);
    ASSERT_EQ(notifier.messages().size(), 1u);
    EXPECT_EQ(notifier.messages()[0].text, "Vistrel runs already");
    EXPECT_EQ(notifier.messages()[0].caption, "ERROR");
    EXPECT_TRUE(notifier.messages()[0].error);
    EXPECT_TRUE(first.isHeld());
    EXPECT_TRUE(QFile::exists(first.lockPath()));
}

// A message box runs an event loop of its own, where the recorder's next bytes bring the next message:
// a recorder repeating an error must not stack one box inside the other without end.
TEST(VistrelMessages, AMessageWhileABoxIsShownWaitsForItInsteadOfStacking) {
    class NestingNotifier : public RecordingViewerNotifier {
    public:
        void showMessage(const std::string& text, const std::string& caption) override {
            ++depth;
            deepest = std::max(deepest, depth);
            RecordingViewerNotifier::showMessage(text, caption);
            if (auto during = std::exchange(whileShown, nullptr))
                during();
            --depth;
        }
        std::function<void()> whileShown;
        int depth = 0;
        int deepest = 0;
    };
    auto home = makeProgramFolder();
    ViewOptions options;
    options.programFolder = home->path().toStdString();
    options.settingsFilePath = home->filePath(QStringLiteral("Vistrel.ini")).toStdString();
    options.hostOverride = "127.0.0.1";
    NestingNotifier notifier;
    MainFrame frame(options, notifier);
    VistrelView& view = *frame.view();
    notifier.whileShown = [&] {
        view.showMessage("first", "NOTICE");  // the same again: nothing more to say
        for (int i = 0; i < 500; ++i)
            view.showMessage("again " + std::to_string(i), "NOTICE");
    };
    view.showMessage("first", "NOTICE");
    EXPECT_EQ(notifier.deepest, 1);
    ASSERT_EQ(notifier.messages().size(), 2u);
    EXPECT_EQ(notifier.messages()[0].text, "first");
    EXPECT_EQ(notifier.messages()[1].text, "again 499");

    notifier.whileShown = [&] { view.showMessage("later", "NOTICE"); };
    view.showMessage("later", "NOTICE");
    EXPECT_EQ(notifier.messages().size(), 3u) << "the same message asked again while shown is not repeated";
}

TEST(VistrelStart, LockIsReleasedWhenTheCopyEnds) {
    {
        skin::SingleInstanceLock first(QStringLiteral("Vistrel"));
        ASSERT_TRUE(first.acquire());
    }
    skin::SingleInstanceLock second(QStringLiteral("Vistrel"));
    EXPECT_TRUE(second.acquire());
}

}  // namespace
}  // namespace dvr::live
