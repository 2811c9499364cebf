#include "common/export/render/StampPainter.h"

#include <QtGui/QFont>
#include <QtGui/QFontMetrics>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <algorithm>
#include <cstdio>

namespace dvr::exporting {

struct StampPainter::Font {
    explicit Font(int heightPx) : font(QStringLiteral("Liberation Sans")), metrics(font), heightPx(heightPx) {
        font.setStyleHint(QFont::SansSerif);
        font.setWeight(QFont::Bold);
        font.setPixelSize(heightPx);
        metrics = QFontMetrics(font);
    }
    QFont font;
    QFontMetrics metrics;
    int heightPx;
};

// A text's coverage, one pixel of margin all round so that the outline copies fit.
struct StampPainter::Text {
    QString text;
    int heightPx = 0;
    QImage mask;  // Alpha8; mask pixel (1, 1) is the text's top-left corner
};

namespace {

void rasterise(StampPainter::Text& t, const QString& text, const QFont& font, const QFontMetrics& metrics,
               int heightPx) {
    t.text = text;
    t.heightPx = heightPx;
    t.mask = QImage(metrics.horizontalAdvance(text) + 4, heightPx + 2, QImage::Format_Alpha8);
    t.mask.fill(0);
    QPainter painter(&t.mask);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(1, 1, t.mask.width() - 2, heightPx), Qt::AlignLeft | Qt::AlignTop, text);
}

// Lays the mask onto the frame in one grey level with the text's top-left corner at (x, y), clipped.
void lay(uint8_t* bgr, int width, int height, size_t stride, const QImage& mask, int x, int y, int level) {
    for (int my = 0; my < mask.height(); ++my) {
        const int fy = y + my - 1;
        if (fy < 0 || fy >= height)
            continue;
        const uchar* m = mask.constScanLine(my);
        uint8_t* row = bgr + size_t(fy) * stride;
        const int from = std::max(0, 1 - x);
        const int to = std::min(mask.width(), width - x + 1);
        for (int mx = from; mx < to; ++mx) {
            const int a = m[mx];
            if (a == 0)
                continue;
            uint8_t* p = row + size_t(x + mx - 1) * 3;
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t((p[c] * (255 - a) + level * a + 127) / 255);
        }
    }
}

// The text in black one pixel off on both diagonals (four times), then in white on top: readable on any
// picture.
void outlined(uint8_t* bgr, int width, int height, size_t stride, const QImage& mask, int x, int y) {
    for (const auto& [dx, dy] : {std::pair{1, 1}, std::pair{-1, 1}, std::pair{1, -1}, std::pair{-1, -1}})
        lay(bgr, width, height, stride, mask, x + dx, y + dy, 0);
    lay(bgr, width, height, stride, mask, x, y, 255);
}

}  // namespace

StampPainter::StampPainter() : m_time(std::make_unique<Text>()), m_channel(std::make_unique<Text>()) {}
StampPainter::~StampPainter() = default;

void StampPainter::draw(uint8_t* bgr, int width, int height, size_t strideBytes, const Stamp& stamp) {
    if (!m_font || m_font->heightPx != stamp.textHeightPx)
        m_font = std::make_unique<Font>(stamp.textHeightPx);
    const QString time = QString::fromStdString(stampText(stamp.time));
    if (m_time->text != time || m_time->heightPx != stamp.textHeightPx)
        rasterise(*m_time, time, m_font->font, m_font->metrics, stamp.textHeightPx);
    const int y = height - stamp.textHeightPx;
    const int x = width - int(time.size() - 1) * m_font->metrics.horizontalAdvance(time.front());
    if (stamp.channel >= 0) {
        char number[16];
        std::snprintf(number, sizeof number, "%02d", stamp.channel + 1);
        const QString channel = QString::fromLatin1(number);
        if (m_channel->text != channel || m_channel->heightPx != stamp.textHeightPx)
            rasterise(*m_channel, channel, m_font->font, m_font->metrics, stamp.textHeightPx);
        outlined(bgr, width, height, strideBytes, m_channel->mask, 20, y);
    }
    outlined(bgr, width, height, strideBytes, m_time->mask, x, y);
}

}  // namespace dvr::exporting
