#include "player/widgets/PlayerPainter.h"

#include <QPainter>
#include <QTime>
#include <string>

#include "common/skin/widgets/SkinButtonLoader.h"
#include "player/view/PaneDrawing.h"
#include "player/widgets/PlayerSkinImages.h"

namespace dvr::player {

namespace {

void drawOutlinedText(QPainter& painter, int x, int top, const QString& text) {
    const int baseline = top + painter.fontMetrics().ascent();
    painter.setPen(Qt::black);
    for (const QPoint d : {QPoint(-1, -1), QPoint(1, -1), QPoint(-1, 1), QPoint(1, 1)}) {
        painter.drawText(x + d.x(), baseline + d.y(), text);
    }
    painter.setPen(Qt::white);
    painter.drawText(x, baseline, text);
}

QRect paneQRect(const PaneRect& pane) {
    return QRect(pane.left, pane.top, pane.width(), pane.height());
}

}  // namespace

bool PlayerPainter::load(const skin::PlayerSkinReader& skin) {
    const std::optional<skin::SkinRect> main = skin.readMainFramePosition();
    if (!main) {
        return false;
    }
    m_skin = &skin;
    m_windowRect = skin::toQRect(*main);
    m_ntscSkin = loadSkinImage(skin, "MAIN", "NTSKIN");
    m_palSkin = loadSkinImage(skin, "MAIN", "PALSKIN");
    m_logo = loadSkinImage(skin, "MAIN", "LOGO");
    m_overlay = loadSkinImage(skin, "MAIN", "OVERLAY");
    m_time = loadSkinImage(skin, "MAIN", "TIME");
    m_navigation = loadSkinImage(skin, "MAIN", "NAVIGATION");
    m_audio = loadSkinImage(skin, "MAIN", "AUDIO");
    for (int d = 0; d < 10; ++d) {
        const std::string key = "D" + std::to_string(d);
        m_digits[static_cast<size_t>(d)] = loadSkinImage(skin, "DIGIT", key.c_str());
    }
    m_colon = loadSkinImage(skin, "DIGIT", "COLON");
    m_am = loadSkinImage(skin, "DIGIT", "AM");
    m_pm = loadSkinImage(skin, "DIGIT", "PM");
    m_logoRect = skinRect("MAIN POS", "POS_LOGO");
    m_overlayRect = skinRect("MAIN POS", "POS_OVERLAY");
    m_audioRect = skinRect("MAIN POS", "POS_AUDIO");
    return true;
}

QRect PlayerPainter::skinRect(const char* section, const char* key) const {
    return skin::toQRect(m_skin->readPosition(section, key));
}

void PlayerPainter::paint(QPainter& painter, const QRegion& region, const PlayerDocument& document) const {
    if (!m_logo.isNull()) {
        painter.drawImage(m_logoRect.topLeft(), m_logo);
    }
    if (!m_overlay.isNull()) {
        painter.drawImage(m_overlayRect.topLeft(), m_overlay);
    }
    if (!m_audio.isNull() && document.model().soundControlsVisible()) {
        painter.drawImage(m_audioRect.topLeft(), m_audio);
    }
    paintPanes(painter, region, document);
    paintTimeInfo(painter, document);
    paintClock(painter);
}

void PlayerPainter::paintPanes(QPainter& painter, const QRegion& region,
                               const PlayerDocument& document) const {
    const PlayerViewModel& model = document.model();
    painter.fillRect(QRect(model.pictureOriginX(), model.pictureOriginY(), PlayerViewModel::kPictureWidth,
                           model.pictureHeight()),
                     Qt::black);
    if (!model.fileOpen()) {
        painter.setPen(QColor(96, 96, 96));
        for (int c = 0; c < PlayerViewModel::kMaxChannels; ++c) {
            const PaneRect pane = model.channelPane(c);
            painter.drawRect(pane.left, pane.top, pane.width() - 1, pane.height() - 1);
        }
        return;
    }
    for (int i = 0; i < model.pageChannelCount(); ++i) {
        const int channel = model.pageChannel(i);
        const PaneRect pane = model.channelPane(channel);
        if (region.intersects(paneQRect(pane))) {
            paintPane(painter, channel, pane, document);
        }
    }
}

void PlayerPainter::paintPane(QPainter& painter, int channel, const PaneRect& pane,
                              const PlayerDocument& document) const {
    if (pane.isEmpty()) {
        return;
    }
    painter.setPen(QColor(96, 96, 96));
    painter.drawRect(pane.left, pane.top, pane.width() - 1, pane.height() - 1);
    const QRect inner(pane.left + 1, pane.top + 1, pane.width() - 2, pane.height() - 2);
    if (inner.isEmpty()) {
        return;
    }
    QImage surface(inner.size(), QImage::Format_RGB32);
    surface.fill(Qt::black);
    bool drawn = false;
    document.pictures().withPaneSource(channel, [&](const PlayerPictures::PaneSource& source) {
        if (!source.picture) {
            return;
        }
        const std::optional<PaneCrop> crop = paneCrop(source.layoutCode, source.rect, source.reduction);
        if (!crop || crop->source.width <= 0 || crop->source.height <= 0) {
            return;
        }
        const frame::DecodedPicture& picture = *source.picture;
        const QImage image(picture.pixels.data(), picture.width, picture.height, qsizetype(picture.stride()),
                           QImage::Format_RGB32);
        QPainter p(&surface);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(0, crop->destinationTop, surface.width(), surface.height() - crop->destinationTop),
                    image, QRect(crop->source.x, crop->source.y, crop->source.width, crop->source.height));
        drawn = true;
    });
    const std::optional<DateTime> time = document.pictures().channelTime(channel);
    if (drawn && time) {
        const PaneTextLayout layout = paneTextLayout(pane, document.model().layout());
        QPainter p(&surface);
        QFont font(QString::fromLatin1(kPlayerFontFamily));
        font.setPixelSize(layout.fontPixels);
        p.setFont(font);
        const int top = layout.lineTop - inner.top();
        drawOutlinedText(p, layout.timeLeft - inner.left(), top, QString::fromStdString(paneTimeText(*time)));
        drawOutlinedText(p, layout.numberLeft - inner.left(), top,
                         QString::fromStdString(channelNumberText(channel)));
    }
    painter.drawImage(inner.topLeft(), surface);
}

void PlayerPainter::paintTimeInfo(QPainter& painter, const PlayerDocument& document) const {
    QFont font(QString::fromLatin1(kPlayerFontFamily));
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const auto text = [&](const char* key, const std::string& value) {
        painter.drawText(skinRect("TIME INFO POS", key), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                         QString::fromStdString(value));
    };
    std::optional<DateTime> start;
    std::optional<DateTime> end;
    if (const std::optional<media::ScanResult>& scan = document.scan()) {
        start = scan->startTime.dateTime();
        end = scan->endTime.dateTime();
    }
    text("POS_S_TIME_TEXT", "START TIME");
    text("POS_S_DATE", timeInfoDate(start));
    text("POS_S_TIME", timeInfoTime(start));
    text("POS_E_TIME_TEXT", "END TIME");
    text("POS_E_DATE", timeInfoDate(end));
    text("POS_E_TIME", timeInfoTime(end));

    const QRect current = skinRect("TIME INFO POS", "POS_CUR_PLAY_TIME");
    painter.fillRect(current, Qt::black);
    const PlayerPictures& pictures = document.pictures();
    if (const std::optional<DateTime> played = pictures.channelTime(pictures.lastChannel())) {
        painter.drawText(current, Qt::AlignCenter, QString::fromStdString(timeInfoTime(played)));
    }
}

void PlayerPainter::paintClock(QPainter& painter) const {
    // The system clock, from the skin's digit images where it has them.
    const QTime now = m_timeOfDay ? m_timeOfDay() : QTime::currentTime();
    QFont font(QString::fromLatin1(kPlayerFontFamily));
    font.setPixelSize(16);
    painter.setFont(font);
    const auto image = [&](const char* key, const QImage& picture, const QString& fallback) {
        const QRect r = skinRect("STSTEM TIME POS", key);
        if (picture.isNull()) {
            painter.drawText(r, Qt::AlignCenter, fallback);
        } else {
            painter.drawImage(r, picture);
        }
    };
    const auto digits = [&](const char* key, int value) {
        const QRect r = skinRect("STSTEM TIME POS", key);
        const QImage& tens = m_digits[static_cast<size_t>(value / 10 % 10)];
        const QImage& ones = m_digits[static_cast<size_t>(value % 10)];
        if (tens.isNull() || ones.isNull()) {
            painter.drawText(r, Qt::AlignCenter, QString::asprintf("%02d", value));
            return;
        }
        const int half = r.width() / 2;
        painter.drawImage(QRect(r.left(), r.top(), half, r.height()), tens);
        painter.drawImage(QRect(r.left() + half, r.top(), r.width() - half, r.height()), ones);
    };
    digits("POS_SYS_HOUR", clockHour12(now.hour()));
    image("POS_SYS_COLON1", m_colon, QStringLiteral(":"));
    digits("POS_SYS_MIN", now.minute());
    image("POS_SYS_COLON2", m_colon, QStringLiteral(":"));
    digits("POS_SYS_SEC", now.second());
    const bool pm = clockIsPm(now.hour());
    image("POS_SYS_AMPM", pm ? m_pm : m_am, pm ? QStringLiteral("PM") : QStringLiteral("AM"));
}

}  // namespace dvr::player
