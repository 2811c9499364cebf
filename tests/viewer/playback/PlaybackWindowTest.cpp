// The playback window on the offscreen platform, judged by what it shows.
#include "viewer/playback/widgets/PlaybackWindow.h"

#include "common/skin/widgets/DateCalendar.h"
#include "common/skin/widgets/SkinButton.h"
#include "tools/synth/Synth.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace dvr::playback {
namespace {

using link::RecorderTime;

class FakeLink : public PlaybackLink {
public:
    bool request(RequestKind kind) override {
        requests.push_back(kind);
        return true;
    }
    void setPlayRequest(uint32_t, uint32_t, uint32_t) override {}
    void setFollowUp(RequestKind kind) override { follow = kind; }
    RequestKind followUp() const override { return follow; }
    bool connected() const override { return true; }
    bool connect() override { return true; }
    void disconnect() override {}
    int protocolLevel() const override { return 3; }
    std::vector<RequestKind> requests;
    RequestKind follow = RequestKind::NextPlaybackPicture;
};

std::string programFolder() {
    if (const char* dir = std::getenv("DVR_BIN_DIR"))
        return dir;
    return DVR_BIN_DIR_DEFAULT;
}

frame::DecodedPicture decoded(frame::PictureKind kind, int channel) {
    synth::PictureSpec shape;
    shape.kind = kind;
    shape.channel = channel;
    const synth::Picture picture = synth::drawPicture(shape);
    frame::DecodedPicture out;
    out.width = picture.width;
    out.height = picture.height;
    std::memcpy(out.pixels.data(), picture.pixels.data(), picture.pixels.size());
    return out;
}

class PlaybackWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(std::filesystem::path(programFolder()) / "ini" / "res.ini"))
            GTEST_SKIP() << "no built skin in " << programFolder();
        window = std::make_unique<PlaybackWindow>(controller, programFolder());
        controller.setView(window.get());
        const RecorderTime start{2006, 1, 2, 3, 4, 5};
        const RecorderTime end{2006, 1, 2, 4, 4, 5};
        controller.setRecordingRange({link::packDateWord(start), link::packTimeWord(start),
                                      link::packDateWord(end), link::packTimeWord(end)});
        controller.open(kSplitFour, 0x20016);
        window->refresh();
        window->show();
    }

    // Hands a picture to the controller and the window as the session does.
    void deliver(frame::PictureKind kind, int channel) {
        frame::FrameHeader header;
        header.layoutCode = 0x20016;
        header.pictureFlags = synth::pictureFlagsFor(kind);
        header.videoStandard = frame::kSixtyFieldStandard;
        header.channelMaskA = header.channelMaskB = 0xFFFF0000;
        for (int i = 0; i < 5 && !controller.acceptPicture(header); ++i) {
        }
        const PaneDrawList draws = controller.pictureArrived(channel, header);
        window->showPicture(channel, header, decoded(kind, channel), draws);
    }

    // The channel whose colour fills a pane (sampled away from the digits and code marks).
    int shownChannel(const QImage& screen, int channel) {
        const QRect pane = window->paneRect(channel);
        const QPoint p = pane.topLeft() + QPoint(pane.width() / 8, pane.height() * 3 / 8);
        return synth::nearestSignatureChannel(screen.pixel(p) & 0xFFFFFF);
    }

    FakeLink link;
    PlaybackController controller{link, [] { return RecorderTime{2010, 1, 1}; }};
    std::unique_ptr<PlaybackWindow> window;
};

TEST_F(PlaybackWindowTest, ButtonsDriveTheController) {
    EXPECT_TRUE(window->idleTimerActive());
    skin::SkinButton* forward = window->button(command::kPlayFirst + int(PlayButton::Forward));
    ASSERT_NE(forward, nullptr);
    QTest::mouseClick(forward, Qt::LeftButton, {}, forward->rect().center());
    QCoreApplication::processEvents();  // the button's command is queued
    EXPECT_TRUE(controller.playing());
    ASSERT_FALSE(link.requests.empty());
    EXPECT_EQ(link.requests.back(), RequestKind::PlaySearch);
    EXPECT_TRUE(forward->checked());
    EXPECT_FALSE(window->button(command::kPlayFirst + int(PlayButton::Pause))->checked());

    // Playing locks the calendar; it shows the request date.
    EXPECT_FALSE(window->calendar()->isEnabled());
    EXPECT_EQ(window->calendar()->date(), QDate(2006, 1, 2));

    window->press(command::kChannelFirst + 13);
    for (int c = 0; c < kPaneCount; ++c)
        EXPECT_EQ(window->button(command::kChannelFirst + c)->checked(), c >= 12) << c;

    window->press(command::kExit);  // pauses first
    EXPECT_FALSE(controller.playing());
    EXPECT_TRUE(controller.isOpen());
    window->press(command::kExit);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(link.requests.back(), RequestKind::LivePicture);
}

TEST_F(PlaybackWindowTest, EveryPaneKeepsItsOwnChannelAfterAChangeOfKind) {
    deliver(frame::PictureKind::Quad, 0);
    QImage screen = window->grab().toImage();
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(shownChannel(screen, c), c) << "quad, pane " << c;

    deliver(frame::PictureKind::Single, 1);
    screen = window->grab().toImage();
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(shownChannel(screen, c), c) << "after the full picture, pane " << c;
}

}  // namespace
}  // namespace dvr::playback

int main(int argc, char** argv) {
    // Never the user's folders: runtime, config and home folders of this run only.
    QTemporaryDir scratch;
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "HOME"}) {
        const QString path = scratch.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        setenv(name, path.toLocal8Bit().constData(), 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
