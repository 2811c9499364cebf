// What the offscreen tests of the playback window share: a link that answers every request, the window
// opened on the build's skin in four panes over an hour of recording, and pictures handed to it as the
// session hands them.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tools/synth/Synth.h"
#include "viewer/playback/widgets/PlaybackWindow.h"

namespace dvr::playback::windowtest {

// Takes every request and remembers it; always connected.
class FakeLink : public PlaybackRequests {
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

// The build's program folder: the skin and the tools.
inline std::string binFolder() {
    if (const char* dir = std::getenv("DVR_BIN_DIR"))
        return dir;
    return DVR_BIN_DIR_DEFAULT;
}

// The synthesised picture of `kind` for `channel`, as the decoder hands it over.
inline frame::DecodedPicture decoded(frame::PictureKind kind, int channel) {
    synth::PictureShape shape;
    shape.kind = kind;
    shape.channel = channel;
    const synth::Picture picture = synth::drawPicture(shape);
    frame::DecodedPicture out;
    out.width = picture.width;
    out.height = picture.height;
    std::memcpy(out.pixels.data(), picture.pixels.data(), picture.pixels.size());
    return out;
}

// The window opened in four panes over 03:04:05 to 04:04:05 of 2 January 2006 (not yet shown); the test
// is skipped (and `window` stays empty) when the build holds no skin. The window goes before the members
// of the test's own fixture.
class PlaybackWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(std::filesystem::path(binFolder()) / "ini" / "res.ini"))
            GTEST_SKIP() << "no built skin in " << binFolder();
        window = std::make_unique<PlaybackWindow>(controller, binFolder());
        controller.setView(window.get());
        const DateTime start{2006, 1, 2, 3, 4, 5};
        const DateTime end{2006, 1, 2, 4, 4, 5};
        const link::RecordingRange range{link::packDateWord(start), link::packTimeWord(start),
                                         link::packDateWord(end), link::packTimeWord(end)};
        controller.setRecordingRange(range);
        controller.open(kSplitFour, 0x20016);
        controller.onRangeTimer();  // the window asked for the range, as 100 ms after opening
        controller.setRecordingRange(range);
    }

    void TearDown() override { window.reset(); }

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

    FakeLink link;
    PlaybackController controller{link, [] { return DateTime{2010, 1, 1}; }};
    std::unique_ptr<PlaybackWindow> window;
};

}  // namespace dvr::playback::windowtest
