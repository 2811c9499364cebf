// skinshot: renders each window of the default skins offscreen to PNG files,
// with sample texts and pictures, so the design can be looked at. Vistrel's two
// windows are the program's own, fed sample pictures; Discoro's are the program's
// own too, over a sample backup file written by the backup writer.

#include "common/skin/PlayerSkinReader.h"
#include "common/skin/ProgramFolder.h"
#include "common/skin/SkinNotifier.h"
#include "common/skin/SkinReader.h"
#include "common/skin/widgets/DateCalendar.h"
#include "player/audio/AudioDevice.h"
#include "player/edit/EditWindowModel.h"
#include "player/view/PlayerControlIds.h"
#include "player/widgets/BackupWindow.h"
#include "player/widgets/EditWindow.h"
#include "player/widgets/PlayerView.h"
#include "tools/zavgen/BackupGenerator.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/live/widgets/VistrelView.h"
#include "viewer/playback/PlaybackController.h"
#include "viewer/playback/widgets/PlaybackWindow.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTime>
#include <QTimer>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: skinshot [--home FOLDER] [--out FOLDER]\n"
    "Renders every default skin window to FOLDER (default: ./skinshots) as PNG.\n"
    "--home is the program folder holding res.ini, ini/ and skin/ (default: this\n"
    "program's folder).\n";

// A stand-in camera picture: sky, ground, a building and the channel name.
void paintSamplePicture(QPainter& p, const QRect& r, int channel) {
    p.save();
    p.setClipRect(r);
    const int hue = (channel * 37) % 360;
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor::fromHsv(hue, 60, 120));
    sky.setColorAt(0.6, QColor::fromHsv(hue, 40, 70));
    sky.setColorAt(1, QColor::fromHsv((hue + 40) % 360, 50, 40));
    p.fillRect(r, sky);
    p.setBrush(QColor::fromHsv((hue + 180) % 360, 30, 55));
    p.setPen(Qt::NoPen);
    p.drawRect(QRect(r.left() + r.width() / 5, r.top() + r.height() / 3, r.width() / 4, r.height() / 2));
    p.drawRect(QRect(r.left() + r.width() / 2, r.top() + r.height() / 2, r.width() / 3, r.height() / 3));
    p.setPen(Qt::white);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(std::max(9, r.height() / 12));
    f.setBold(true);
    p.setFont(f);
    p.drawText(r.adjusted(5, 0, 0, -4), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("%1").arg(channel + 1, 2, 10, QLatin1Char('0')));
    p.restore();
    p.setPen(Qt::white);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(-1, -1, 0, 0));
}

QImage image(const std::optional<std::string>& path) {
    return path ? QImage(QString::fromStdString(*path)) : QImage();
}

bool save(QWidget& window, const QString& path) {
    const QPixmap shot = window.grab();
    if (!shot.save(path, "PNG")) {
        std::fprintf(stderr, "skinshot: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The sample picture of `channel` as the decoder hands pictures over: B, G, R, X rows.
dvr::frame::DecodedPicture decodedSample(QSize size, int channel) {
    QImage picture(size, QImage::Format_RGB32);
    {
        QPainter p(&picture);
        paintSamplePicture(p, picture.rect().adjusted(1, 1, 0, 0), channel);
    }
    dvr::frame::DecodedPicture out;
    out.width = picture.width();
    out.height = picture.height();
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(out.pixels.data() + std::size_t(y) * out.stride(), picture.constScanLine(y),
                    out.stride());
    return out;
}

// Copies `entries` (files or folders) of the program folder `home` into the program folder of this run:
// the windows write their settings and save folders there, never beside the skin they render.
bool copyToScratch(const std::string& home, const QTemporaryDir& scratch,
                   std::initializer_list<const char*> entries) {
    for (const char* entry : entries) {
        std::error_code error;
        const std::filesystem::path to = std::filesystem::path(scratch.path().toStdString()) / entry;
        std::filesystem::create_directories(to.parent_path(), error);
        if (!error)
            std::filesystem::copy(std::filesystem::path(home) / entry, to,
                                  std::filesystem::copy_options::recursive, error);
        if (error) {
            std::fprintf(stderr, "skinshot: cannot copy %s/%s: %s\n", home.c_str(), entry,
                         error.message().c_str());
            return false;
        }
    }
    return true;
}

// The live window's timers never run here, and its clock stands still.
class IdleTimers : public dvr::live::LiveTimers {
public:
    void start(dvr::live::LiveTimer, int) override {}
    void stop(dvr::live::LiveTimer) override {}
};

class FixedClock : public dvr::live::LiveClock {
public:
    dvr::DateTime now() const override { return {2026, 12, 7, 21, 15, 42}; }
    dvr::link::TimePoint steadyNow() const override { return {}; }
};

// Vistrel's main window as the program builds it, not connected, with a sample picture in every pane.
bool vistrelLive(const std::string& home, const QString& out) {
    QTemporaryDir scratch;
    if (!scratch.isValid() || !copyToScratch(home, scratch, {"ini", "skin/vistrel", "logo"}))
        return false;
    dvr::live::RecordingViewerNotifier notifier;
    IdleTimers timers;
    FixedClock clock;
    dvr::live::ViewOptions options;
    options.programFolder = scratch.path().toStdString();
    options.settingsFilePath = scratch.filePath(QStringLiteral("Vistrel.ini")).toStdString();
    options.hostOverride = "127.0.0.1";
    options.timers = &timers;
    options.clock = &clock;
    dvr::live::VistrelView view(options, notifier);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(dvr::live::VistrelView::skinSize(options.programFolder));
    view.initialUpdate();
    // The panes read their pictures when the still is taken.
    std::vector<dvr::frame::DecodedPicture> pictures;
    pictures.reserve(dvr::live::kChannelCount);
    for (int c = 0; c < dvr::live::kChannelCount; ++c) {
        const QRect pane = view.paneRect(c);
        if (pane.isEmpty())
            continue;
        const dvr::frame::DecodedPicture& picture = pictures.emplace_back(decodedSample(QSize(720, 480), c));
        dvr::live::PaneDraw draw;
        draw.paneChannel = draw.bufferChannel = c;
        draw.pane = dvr::live::PaneRect{pane.left(), pane.top(), pane.right() + 1, pane.bottom() + 1};
        draw.source = dvr::frame::PixelRect{0, 0, picture.width, picture.height};
        draw.hasSource = true;
        view.drawPane(draw, picture);
    }
    return save(view, out + QStringLiteral("/vistrel_live.png"));
}

// The playback window's link to a recorder that is not there: requests go nowhere.
class OfflineLink : public dvr::playback::PlaybackRequests {
public:
    bool request(dvr::playback::RequestKind) override { return true; }
    void setPlayRequest(uint32_t, uint32_t, uint32_t) override {}
    void setFollowUp(dvr::playback::RequestKind kind) override { m_follow = kind; }
    dvr::playback::RequestKind followUp() const override { return m_follow; }
    bool connected() const override { return true; }
    bool connect() override { return true; }
    void disconnect() override {}
    int protocolLevel() const override { return 3; }

private:
    dvr::playback::RequestKind m_follow = dvr::playback::RequestKind::NextPlaybackPicture;
};

// Vistrel's playback window as the program builds it, opened in four panes over a day's recording, with
// a sample picture in each pane.
bool vistrelPlayback(const std::string& home, const QString& out) {
    using namespace dvr::playback;
    OfflineLink link;
    PlaybackController controller(link, [] { return dvr::DateTime{2026, 12, 7, 21, 15, 42}; });
    PlaybackWindow window(controller, home);
    window.setAttribute(Qt::WA_DontShowOnScreen);
    controller.setView(&window);
    window.calendar()->setTodayForTesting(QDate(2026, 12, 7));
    const dvr::DateTime start{2026, 12, 1, 0, 0, 0};
    const dvr::DateTime end{2026, 12, 7, 21, 15, 0};
    const dvr::link::RecordingRange range{dvr::link::packDateWord(start), dvr::link::packTimeWord(start),
                                          dvr::link::packDateWord(end), dvr::link::packTimeWord(end)};
    controller.setRecordingRange(range);
    controller.open(kSplitFour, 0x20016);
    controller.onRangeTimer();
    controller.setRecordingRange(range);
    for (int channel = 0; channel < 4; ++channel) {
        dvr::frame::FrameHeader header;
        header.layoutCode = 0x20016;
        header.pictureFlags = 4;  // one channel, full height
        header.videoStandard = dvr::frame::kSixtyFieldStandard;
        header.channelMaskA = header.channelMaskB = 0xFFFF0000;
        for (int i = 0; i < 5 && !controller.acceptPicture(header); ++i) {
        }
        const PaneDrawList draws = controller.pictureArrived(channel, header);
        window.showPicture(channel, header, decodedSample(QSize(720, 480), channel + 4), draws);
    }
    window.refresh();
    return save(window, out + QStringLiteral("/vistrel_playback.png"));
}

// The player's sound device here: takes every sample and plays none, so no sound device is opened.
class SilentAudioDevice : public dvr::player::AudioDevice {
public:
    bool queue(std::span<const int16_t>) override { return true; }
    size_t pendingSamples() const override { return 0; }
};

// Runs the event loop until `done` holds, then once more so that what it shows is painted; false when
// ten seconds passed first.
bool runUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer check;
    QElapsedTimer elapsed;
    elapsed.start();
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || elapsed.elapsed() > 10000)
            loop.quit();
    });
    if (!done()) {
        check.start(10);
        loop.exec();
    }
    QCoreApplication::processEvents();
    return done();
}

// A short backup file of sixteen channels with sound, written by the backup writer: a picture of every
// channel at 21:00:00, 21:00:04 and 21:00:08 on 2026-12-07.
bool writeSampleBackup(const std::string& path, bool pal) {
    dvr::zavgen::GeneratorOptions options;
    options.channelCount = 16;
    options.layoutFamily = 3;
    options.sound = true;
    options.pal = pal;
    options.start = dvr::media::RecordTime{30, 12, 7, 21, 0, 0};
    options.durationSeconds = 12;
    options.groupIntervalSeconds = 4;
    dvr::zavgen::GeneratorReport report;
    if (!dvr::zavgen::generateBackup(path, options, report)) {
        std::fprintf(stderr, "skinshot: cannot write the sample backup file %s: %s\n", path.c_str(),
                     report.error.c_str());
        return false;
    }
    return true;
}

// Discoro's windows as the program builds them, over a sample backup file in NTSC or PAL: the main window
// in nine panes, paused at the file's end; the backup window (NTSC only) as BACKUP opens it; the image
// edit window as EDIT opens it on channel 3's picture, sharpened.
bool discoroWindows(const std::string& home, const QString& out, bool pal) {
    using namespace dvr::player;
    const QString standard = pal ? QStringLiteral("pal") : QStringLiteral("ntsc");
    QTemporaryDir scratch;
    if (!scratch.isValid() || !copyToScratch(home, scratch, {"res.ini", "skin/discoro"}))
        return false;
    const QString file = scratch.filePath(QStringLiteral("sample.zav"));
    if (!writeSampleBackup(file.toStdString(), pal))
        return false;
    dvr::skin::RecordingSkinNotifier notifier;
    PlayerView::Options options;
    options.programFolder = scratch.path().toStdString();
    options.notifier = &notifier;
    options.audioFactory = [](std::string*) { return std::make_unique<SilentAudioDevice>(); };
    options.paced = false;
    options.timeOfDay = [] { return QTime(21, 15, 42); };
    PlayerView view(options);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    if (!view.created()) {
        std::fprintf(stderr, "skinshot: Discoro's main window could not be made from %s\n", home.c_str());
        return false;
    }
    view.show();
    const auto paused = [&] { return view.shared().mode() == dvr::media::PlayMode::Pause; };
    if (!view.openFile(file) || !runUntil(paused)) {
        std::fprintf(stderr, "skinshot: Discoro did not show the sample backup file\n");
        return false;
    }
    // Pictures are decoded only for the panes shown: in nine panes the file plays once more to its end.
    bool ended = false;
    QObject::connect(&view, &PlayerView::reachedEnd, [&] { ended = true; });
    view.pressControl(control::kMode9);
    view.pressControl(control::kFPlay);
    const bool shown = runUntil([&] {
        bool all = ended && paused() && view.shownNavigationState() == NavigationState::Pause &&
                   view.model().pal() == pal;
        for (int c = 0; c < 9; ++c)
            all = all && view.pictures().channelTime(c).has_value();
        return all;
    });
    if (!shown) {
        std::fprintf(stderr, "skinshot: Discoro did not play the sample backup file to its end\n");
        return false;
    }
    bool ok = save(view, out + QStringLiteral("/discoro_%1.png").arg(standard));

    if (!pal) {
        view.pressControl(control::kBackup);
        BackupWindow* backup = view.backupWindow();
        if (backup && runUntil([&] { return backup->isVisible(); }))
            ok = save(*backup, out + QStringLiteral("/discoro_backup.png")) && ok;
        else
            ok = false;
        view.pressControl(control::kBackup);
    }

    view.pressControl(control::kChannel1 + 2);
    view.pressControl(control::kEdit);
    if (EditWindow* edit = view.editWindow()) {
        edit->pressControl(edit::kSharpen);
        QCoreApplication::processEvents();
        ok = save(*edit, out + QStringLiteral("/discoro_edit_%1.png").arg(standard)) && ok;
    } else {
        ok = false;
    }
    for (const auto& message : notifier.messages()) {
        std::fprintf(stderr, "skinshot: Discoro said: %s\n", message.text.c_str());
        ok = false;
    }
    return ok;
}

// A sheet of button states side by side (normal, down, disabled, down
// checked), twice the size, to compare states at a glance.
bool buttonStates(const std::string& home, const QString& out) {
    dvr::skin::RecordingSkinNotifier notifier;
    dvr::skin::SkinReader viewer(home, &notifier);
    if (!viewer.open(home + "/ini/res.ini"))
        return false;
    dvr::skin::PlayerSkinReader player(home, &notifier);
    std::vector<dvr::skin::ButtonImageFiles> rows;
    for (const char* s : {"BTN_CONNECT", "BTN_LIVE_EXIT", "BTN_PTZ_0", "BTN_PTZ_ZOOM_IN", "BTN_MODE4",
                          "BTN_CH5", "BTN_SCAL_TXT", "BTN_WHEEL", "BTN_FPLAY", "BTN_SAVE_AVI", "BTN_PB_EXIT"})
        rows.push_back(viewer.readButtonImages(s));
    for (const char* s :
         {"BTN_OPEN", "BTN_PAUSE", "STATE_FP", "BTN_MODE9", "BTN_CH3", "BTN_SHARPEN", "BTN_AVISTART"})
        rows.push_back(player.readButtonImages(s));
    const int scale = 2;
    const int gap = 8;
    int width = 0;
    int height = gap;
    std::vector<std::array<QImage, 4>> images;
    for (const dvr::skin::ButtonImageFiles& f : rows) {
        std::array<QImage, 4> row = {image(f.normal), image(f.down), image(f.disable), image(f.dnCheck)};
        int w = gap;
        int h = 0;
        for (const QImage& i : row) {
            w += (i.isNull() ? 0 : i.width() * scale) + gap;
            h = std::max(h, i.height() * scale);
        }
        width = std::max(width, w);
        height += h + gap;
        images.push_back(row);
    }
    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(QColor(0x1e, 0x22, 0x29));
    QPainter p(&sheet);
    int y = gap;
    for (const auto& row : images) {
        int x = gap;
        int h = 0;
        for (const QImage& i : row) {
            if (i.isNull())
                continue;
            p.drawImage(QRect(x, y, i.width() * scale, i.height() * scale), i);
            x += i.width() * scale + gap;
            h = std::max(h, i.height() * scale);
        }
        y += h + gap;
    }
    p.end();
    const QString path = out + QStringLiteral("/button_states.png");
    if (!sheet.save(path, "PNG"))
        return false;
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    std::string error;
    const auto home = dvr::skin::ProgramFolder::takeHomeOption(args, &error);
    if (!error.empty()) {
        std::fprintf(stderr, "skinshot: %s\n", error.c_str());
        return 2;
    }
    QString outDir = QStringLiteral("skinshots");
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (args[i] == "--out" && i + 1 < args.size()) {
            outDir = QString::fromStdString(args[++i]);
            continue;
        }
        std::fprintf(stderr, "skinshot: unknown argument %s\n%s", args[i].c_str(), kUsage);
        return 2;
    }
    // Always off-screen: the player's edit and backup windows show themselves as the program opens them.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string folder = dvr::skin::ProgramFolder::resolve(home, nullptr);
    QDir().mkpath(outDir);
    bool ok = vistrelLive(folder, outDir);
    ok = vistrelPlayback(folder, outDir) && ok;
    ok = discoroWindows(folder, outDir, false) && ok;
    ok = discoroWindows(folder, outDir, true) && ok;
    ok = buttonStates(folder, outDir) && ok;
    if (!ok) {
        std::fprintf(stderr, "skinshot: some windows could not be rendered (is the skin built in %s?)\n",
                     folder.c_str());
        return 1;
    }
    return 0;
}
