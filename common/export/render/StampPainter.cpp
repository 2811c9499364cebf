#include "common/export/render/StampPainter.h"

#include <QtGui/QFont>
#include <QtGui/QFontMetrics>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <cstdio>

namespace dvr::exporting {

namespace {

// The text in black one pixel off on both diagonals (four times), then in white on top: readable on any
// picture.
void outlinedText(QPainter& painter, int x, int y, int height, const QString& text) {
    const int wide = 4096;
    painter.setPen(Qt::black);
    for (const auto& [dx, dy] : {std::pair{1, 1}, std::pair{-1, 1}, std::pair{1, -1}, std::pair{-1, -1}})
        painter.drawText(QRect(x + dx, y + dy, wide, height), Qt::AlignLeft | Qt::AlignTop, text);
    painter.setPen(Qt::white);
    painter.drawText(QRect(x, y, wide, height), Qt::AlignLeft | Qt::AlignTop, text);
}

}  // namespace

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

StampPainter::StampPainter() = default;
StampPainter::~StampPainter() = default;

void StampPainter::draw(uint8_t* bgr, int width, int height, size_t strideBytes, const Stamp& stamp) {
    if (!m_font || m_font->heightPx != stamp.textHeightPx)
        m_font = std::make_unique<Font>(stamp.textHeightPx);
    QImage image(bgr, width, height, qsizetype(strideBytes), QImage::Format_BGR888);
    QPainter painter(&image);
    painter.setFont(m_font->font);
    const QFontMetrics& metrics = m_font->metrics;

    const QString time = QString::fromStdString(stampText(stamp.time));
    const int y = height - stamp.textHeightPx;
    const int x = width - int(time.size() - 1) * metrics.horizontalAdvance(time.front());
    if (stamp.channel >= 0) {
        char channel[16];
        std::snprintf(channel, sizeof channel, "%02d", stamp.channel + 1);
        outlinedText(painter, 20, y, stamp.textHeightPx, QString::fromLatin1(channel));
    }
    outlinedText(painter, x, y, stamp.textHeightPx, time);
}

}  // namespace dvr::exporting
