// skinshot: renders each window of the default skins offscreen to PNG files,
// with sample texts and pictures, so the design can be looked at. Vistrel's two
// windows are the program's own, fed sample pictures; Discoro's are drawn from
// its skin file here.

#include "common/skin/PlayerSkinReader.h"
#include "common/skin/ProgramFolder.h"
#include "common/skin/SkinNotifier.h"
#include "common/skin/SkinReader.h"
#include "common/skin/widgets/DateCalendar.h"
#include "common/skin/widgets/SkinButton.h"
#include "common/skin/widgets/SkinButtonLoader.h"
#include "common/skin/widgets/ViewerSlider.h"
#include "player/view/PlayerControlIds.h"
#include "player/view/PlayerSkinKeys.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/live/widgets/VistrelView.h"
#include "viewer/playback/PlaybackController.h"
#include "viewer/playback/widgets/PlaybackWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using dvr::skin::ButtonKind;
using dvr::skin::SkinButton;
using dvr::skin::SkinButtonLoader;
using dvr::skin::toQRect;

namespace {

const char* const kUsage =
    "usage: skinshot [--home FOLDER] [--out FOLDER]\n"
    "Renders every default skin window to FOLDER (default: ./skinshots) as PNG.\n"
    "--home is the program folder holding res.ini, ini/ and skin/ (default: this\n"
    "program's folder).\n";

struct Text {
    QRect rect;
    QString text;
    QColor colour;
    int flags;
    QFont font;
    bool opaque;
};

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

// A window of the skin: background bitmap, sample pictures and texts.
class ShotWindow : public QWidget {
public:
    ShotWindow(const QImage& background, QSize size) : m_background(background) {
        setFixedSize(size.isEmpty() ? background.size() : size);
        setAttribute(Qt::WA_DontShowOnScreen);
    }
    void addText(const QRect& rect, const QString& text, const QColor& colour, int flags, const QFont& font,
                 bool opaque = true) {
        m_texts.push_back({rect, text, colour, flags, font, opaque});
    }
    void addPicture(const QRect& rect, int channel) { m_pictures.push_back({rect, channel}); }
    void addImage(const QRect& rect, const QImage& image) { m_images.push_back({rect, image}); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        p.drawImage(QPoint(0, 0), m_background);
        for (const auto& [r, image] : m_images)
            p.drawImage(r.topLeft(), image);
        for (const auto& [r, channel] : m_pictures)
            paintSamplePicture(p, r, channel);
        for (const Text& t : m_texts) {
            p.setFont(t.font);
            if (t.opaque) {
                const QRect used = p.boundingRect(t.rect, t.flags, t.text).intersected(t.rect);
                p.fillRect(used, Qt::black);
            }
            p.setPen(t.colour);
            p.drawText(t.rect, t.flags, t.text);
        }
    }

private:
    QImage m_background;
    std::vector<Text> m_texts;
    std::vector<std::pair<QRect, int>> m_pictures;
    std::vector<std::pair<QRect, QImage>> m_images;
};

QFont textFont(int pixelSize, bool bold = true) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
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

// A program folder of this run holding Vistrel's skin, ini files and logos: the window writes its
// settings and save folder there, never beside the skin it renders.
bool copyViewerFolder(const std::string& home, const QTemporaryDir& scratch) {
    std::error_code error;
    for (const char* sub : {"ini", "skin/vistrel", "logo"}) {
        const std::filesystem::path to = std::filesystem::path(scratch.path().toStdString()) / sub;
        std::filesystem::create_directories(to, error);
        std::filesystem::copy(std::filesystem::path(home) / sub, to, std::filesystem::copy_options::recursive,
                              error);
        if (error) {
            std::fprintf(stderr, "skinshot: cannot copy %s/%s: %s\n", home.c_str(), sub,
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
};

// Vistrel's main window as the program builds it, not connected, with a sample picture in every pane.
bool vistrelLive(const std::string& home, const QString& out) {
    QTemporaryDir scratch;
    if (!scratch.isValid() || !copyViewerFolder(home, scratch))
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
    for (int c = 0; c < dvr::live::kChannelCount; ++c) {
        const QRect pane = view.paneRect(c);
        if (pane.isEmpty())
            continue;
        const dvr::frame::DecodedPicture picture = decodedSample(QSize(720, 480), c);
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

bool discoroMain(const std::string& home, const QString& out, bool pal) {
    dvr::skin::RecordingSkinNotifier notifier;
    dvr::skin::PlayerSkinReader reader(home, &notifier);
    const auto frame = reader.readMainFramePosition();
    if (!frame)
        return false;
    const QImage background = image(reader.readBitmapPath("MAIN", pal ? "PALSKIN" : "NTSKIN"));
    ShotWindow w(background, background.size());
    auto at = [&](const char* section, const char* key) {
        return toQRect(reader.readPosition(section, key));
    };
    const QRect term = at("MAIN POS", "POS_OVERLAY_TERM");
    const QRect area(term.topLeft(), QSize(720, pal ? 576 : 480));
    const int n = 3;
    for (int i = 0; i < n * n; ++i) {
        const int cw = 720 / n, ch = area.height() / n;
        w.addPicture(QRect(area.left() + cw * (i % n) + 1, area.top() + ch * (i / n) + 1, cw - 1, ch - 1), i);
    }
    const QFont small = textFont(11);
    w.addText(at("TIME INFO POS", "POS_S_TIME_TEXT"), QStringLiteral("START TIME"), Qt::white,
              Qt::AlignVCenter, small, false);
    w.addText(at("TIME INFO POS", "POS_S_DATE"), QStringLiteral("DATE : 26 / 12 / 01"), QColor(200, 205, 212),
              Qt::AlignVCenter, small, false);
    w.addText(at("TIME INFO POS", "POS_S_TIME"), QStringLiteral("TIME : 08 : 00 : 00"), QColor(200, 205, 212),
              Qt::AlignVCenter, small, false);
    w.addText(at("TIME INFO POS", "POS_E_TIME_TEXT"), QStringLiteral("END TIME"), Qt::white, Qt::AlignVCenter,
              small, false);
    w.addText(at("TIME INFO POS", "POS_E_DATE"), QStringLiteral("DATE : 26 / 12 / 01"), QColor(200, 205, 212),
              Qt::AlignVCenter, small, false);
    w.addText(at("TIME INFO POS", "POS_E_TIME"), QStringLiteral("TIME : 18 : 30 : 00"), QColor(200, 205, 212),
              Qt::AlignVCenter, small, false);
    w.addText(at("TIME INFO POS", "POS_CUR_PLAY_TIME"), QStringLiteral("TIME : 10 : 42 : 17"), Qt::white,
              Qt::AlignCenter, textFont(13));
    w.addText(at("MAIN POS", "POS_SPEED_VAL"), QStringLiteral("x1"), Qt::white, Qt::AlignCenter,
              textFont(12));
    w.addText(at("MAIN POS", "POS_DELAY_VAL"), QStringLiteral("00"), Qt::white, Qt::AlignCenter,
              textFont(12));
    w.addText(at("CH POS", "POS_PAGE_VAL"), QStringLiteral("1"), Qt::white, Qt::AlignCenter, textFont(12));
    // The system clock from digit bitmaps: PM 09:15:42.
    auto digits = [&](const char* key, int value) {
        const QRect r = at("STSTEM TIME POS", key);
        const QImage tens = image(reader.readBitmapPath("DIGIT", "D" + std::to_string(value / 10)));
        const QImage ones = image(reader.readBitmapPath("DIGIT", "D" + std::to_string(value % 10)));
        w.addImage(QRect(r.topLeft(), tens.size()), tens);
        w.addImage(QRect(r.topLeft() + QPoint(tens.width(), 0), ones.size()), ones);
    };
    digits("POS_SYS_HOUR", 9);
    digits("POS_SYS_MIN", 15);
    digits("POS_SYS_SEC", 42);
    w.addImage(at("STSTEM TIME POS", "POS_SYS_COLON1"), image(reader.readBitmapPath("DIGIT", "COLON")));
    w.addImage(at("STSTEM TIME POS", "POS_SYS_COLON2"), image(reader.readBitmapPath("DIGIT", "COLON")));
    w.addImage(at("STSTEM TIME POS", "POS_SYS_AMPM"), image(reader.readBitmapPath("DIGIT", "PM")));

    auto button = [&](const char* section, const char* posSection, const std::string& key) {
        auto* b = new SkinButton(&w, false);
        SkinButtonLoader::loadPlayerMain(*b, reader, section, 0);
        b->place(toQRect(reader.readPosition(posSection, key)));
        return b;
    };
    for (const auto* table : {&dvr::player::skinkeys::buttons(), &dvr::player::skinkeys::stateIndicators()}) {
        for (const dvr::skin::SkinButtonKeys& keys : *table) {
            auto* b = button(keys.section.c_str(), keys.positionSection.c_str(), keys.positionKey);
            const std::string& s = keys.section;
            if (s == "STATE_FP" || s == "BTN_MODE9")
                b->setChecked(true);
            if (s == "BTN_START" || s == "BTN_PREV_PAGE")
                b->enable(false);
            // Eight channels in the sample.
            if (keys.commandId >= dvr::player::control::kChannel1 + 8 &&
                keys.commandId <= dvr::player::control::kChannel16)
                b->enable(false);
        }
    }
    auto* slider = new dvr::skin::PlayerSlider(&w);
    slider->setImages(image(reader.readBitmapPath("MAIN", "SLIDERUP")),
                      image(reader.readBitmapPath("MAIN", "SLIDERDN")));
    slider->place(at("MAIN POS", "POS_SLIDE"));
    slider->setThumbXPx(250);
    return save(w, out + (pal ? QStringLiteral("/discoro_pal.png") : QStringLiteral("/discoro_ntsc.png")));
}

bool discoroBackup(const std::string& home, const QString& out) {
    dvr::skin::RecordingSkinNotifier notifier;
    dvr::skin::PlayerSkinReader reader(home, &notifier);
    auto at = [&](const char* key) { return toQRect(reader.readPosition("BACKUP POS", key)); };
    ShotWindow w(image(reader.readBitmapPath("BACKUP", "SKIN")), at("POS_BACKUP_SKIN").size());
    auto list = [&](const char* key, const QStringList& items) {
        auto* box = new QComboBox(&w);
        box->addItems(items);
        box->setGeometry(at(key));
    };
    list("POS_BACKUP_CHANNEL", {QStringLiteral("1")});
    list("POS_BACKUP_FRAMERATE", {QStringLiteral("10")});
    list("POS_BACKUP_IMAGESIZE", {QStringLiteral("360 * 240")});
    auto* start = new SkinButton(&w, false);
    SkinButtonLoader::loadPlayerDialog(*start, reader, "BTN_AVISTART", 1039);
    start->place(at("POS_BACKUP_START"));
    auto* stop = new SkinButton(&w, false);
    SkinButtonLoader::loadPlayerDialog(*stop, reader, "BTN_AVISTOP", 1043);
    stop->place(at("POS_BACKUP_STOP"));
    stop->enable(false);
    return save(w, out + QStringLiteral("/discoro_backup.png"));
}

bool discoroEdit(const std::string& home, const QString& out, bool pal) {
    dvr::skin::RecordingSkinNotifier notifier;
    dvr::skin::PlayerSkinReader reader(home, &notifier);
    auto at = [&](const char* key) { return toQRect(reader.readPosition("EDIT POS", key)); };
    const QImage background = image(reader.readBitmapPath("ZAV_EDIT", pal ? "PALSKIN" : "NTSKIN"));
    ShotWindow w(background, background.size());
    const QRect term = at("POS_OVERLAY_TERM");
    w.addPicture(QRect(term.topLeft() + QPoint(1, 1), QSize(718, pal ? 574 : 478)), 2);
    const QFont font = textFont(12);
    const QColor white(Qt::white);
    w.addText(at("POS_REC_DATE_TIME_TXT"), QStringLiteral("RECORD DATE/TIME"), QColor(6, 181, 255),
              Qt::AlignVCenter, font);
    w.addText(at("POS_REC_DATE"), QStringLiteral("DATE : 2026 / 12 / 01"), white, Qt::AlignVCenter, font);
    w.addText(at("POS_REC_TIME"), QStringLiteral("TIME : 10 : 42 : 17"), white, Qt::AlignVCenter, font);
    w.addText(at("POS_IMG_SIZE_TXT"), QStringLiteral("IMAGE SIZE"), QColor(6, 181, 255), Qt::AlignVCenter,
              font);
    w.addText(at("POS_IMG_WIDTH"), QStringLiteral("WIDTH  : 720 pixel"), white, Qt::AlignVCenter, font);
    w.addText(at("POS_IMG_HEIGHT"), QStringLiteral("HEIGHT: 480 pixel"), white, Qt::AlignVCenter, font);
    w.addText(at("POS_COMMAND_TXT"), QStringLiteral("COMMAND"), QColor(6, 181, 255), Qt::AlignVCenter, font);
    w.addText(at("POS_COMMAND"), QStringLiteral("SHARPEN"), white, Qt::AlignVCenter, font);
    w.addText(at("POS_SAVE_OK"), QStringLiteral("BACKUP OK!"), white, Qt::AlignVCenter, font);
    const char* buttons[][2] = {{"BTN_BRIGHT", "POS_BRIGHT"},
                                {"BTN_DARK", "POS_DARK"},
                                {"BTN_SHARPEN", "POS_SHARPEN"},
                                {"BTN_BLUR", "POS_BLUR"},
                                {"BTN_CONTRAST_UP", "POS_CONTRAST_UP"},
                                {"BTN_CONTRAST_DN", "POS_CONTRAST_DN"},
                                {"BTN_SAVE", "POS_SAVE"},
                                {"BTN_PRINT", "POS_PRINT"},
                                {"BTN_CLOSE_EDIT", "POS_CLOSE"}};
    for (const auto& [section, key] : buttons) {
        auto* b = new SkinButton(&w, false);
        SkinButtonLoader::loadPlayerDialog(*b, reader, section, 0);
        b->place(at(key));
        if (std::string(section) == "BTN_SHARPEN")
            b->setChecked(true);
    }
    return save(
        w, out + (pal ? QStringLiteral("/discoro_edit_pal.png") : QStringLiteral("/discoro_edit_ntsc.png")));
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string folder = dvr::skin::ProgramFolder::resolve(home, nullptr);
    QDir().mkpath(outDir);
    bool ok = vistrelLive(folder, outDir);
    ok = vistrelPlayback(folder, outDir) && ok;
    ok = discoroMain(folder, outDir, false) && ok;
    ok = discoroMain(folder, outDir, true) && ok;
    ok = discoroBackup(folder, outDir) && ok;
    ok = discoroEdit(folder, outDir, false) && ok;
    ok = discoroEdit(folder, outDir, true) && ok;
    ok = buttonStates(folder, outDir) && ok;
    if (!ok) {
        std::fprintf(stderr, "skinshot: some windows could not be rendered (is the skin built in %s?)\n",
                     folder.c_str());
        return 1;
    }
    return 0;
}
