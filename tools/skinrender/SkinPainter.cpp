#include "tools/skinrender/SkinPainter.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <algorithm>

namespace SkinPainter {

namespace {

QFont uiFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

struct Chrome {
    QColor top, bottom, border, highlight, fg;
    bool flat = false;
};

Chrome chromeFor(ButtonState state, const QString& style) {
    const bool danger = style.contains(QLatin1String("danger"));
    switch (state) {
        case ButtonState::Normal:
            return {QColor(0x3a, 0x41, 0x4d), QColor(0x2b, 0x31, 0x3a), QColor(0x4c, 0x55, 0x63),
                    QColor(0x58, 0x61, 0x70), danger ? Palette::danger() : Palette::text()};
        case ButtonState::Down:
            if (danger)
                return {QColor(0xff, 0x6b, 0x6b), QColor(0xd9, 0x3c, 0x3c), QColor(0xff, 0x9a, 0x9a),
                        QColor(0xff, 0xa8, 0xa8), QColor(0x1a, 0x06, 0x06)};
            return {QColor(0x2c, 0xc4, 0xff), QColor(0x06, 0x92, 0xd4), QColor(0x7a, 0xdc, 0xff),
                    QColor(0x8f, 0xe3, 0xff), QColor(0x04, 0x14, 0x1e)};
        case ButtonState::DownChecked:
            return {QColor(0x0b, 0x5d, 0x86), QColor(0x08, 0x47, 0x68), Palette::accent(),
                    QColor(0x14, 0x70, 0x9c), QColor(0xff, 0xff, 0xff)};
        case ButtonState::Disabled:
            break;
    }
    Chrome c{QColor(0x23, 0x27, 0x2e), QColor(0x23, 0x27, 0x2e), QColor(0x2d, 0x32, 0x3a),
             QColor(0x23, 0x27, 0x2e), QColor(0x58, 0x5f, 0x6a)};
    c.flat = true;
    return c;
}

void drawChrome(QPainter& p, const QRectF& r, const Chrome& c, ButtonState state) {
    const qreal radius = std::min<qreal>(5.0, std::min(r.width(), r.height()) / 4.0);
    QRectF body = r.adjusted(0.5, 0.5, -0.5, -0.5);
    if (state == ButtonState::Down || state == ButtonState::DownChecked) {
        // Pressed look: a dark shadow line on top, the face one pixel lower.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 120));
        p.drawRoundedRect(body, radius, radius);
        body.adjust(0, 1, 0, 0);
    }
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, c.top);
    g.setColorAt(1, c.bottom);
    p.setBrush(g);
    p.setPen(QPen(c.border, 1));
    p.drawRoundedRect(body, radius, radius);
    if (!c.flat) {
        p.setPen(QPen(c.highlight, 1));
        p.drawLine(QPointF(body.left() + radius, body.top() + 1),
                   QPointF(body.right() - radius, body.top() + 1));
    }
}

QPainterPath triangle(QPointF a, QPointF b, QPointF c) {
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    return path;
}

// Triangle pointing right (dir 1) or left (dir -1) inside box.
QPainterPath playTriangle(const QRectF& box, int dir) {
    if (dir > 0)
        return triangle(box.topLeft(), QPointF(box.right(), box.center().y()), box.bottomLeft());
    return triangle(box.topRight(), QPointF(box.left(), box.center().y()), box.bottomRight());
}

void gridGlyph(QPainter& p, const QRectF& box, int panes, const QColor& colour) {
    // Cells of a 4 x 4 raster: big cells are 2 x 2.
    struct Cell {
        int x, y, w, h;
    };
    std::vector<Cell> cells;
    auto addSmall = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                cells.push_back({x, y, 1, 1});
    };
    switch (panes) {
        case 1:
            cells.push_back({0, 0, 4, 4});
            break;
        case 4:
            cells = {{0, 0, 2, 2}, {2, 0, 2, 2}, {0, 2, 2, 2}, {2, 2, 2, 2}};
            break;
        case 7:
            cells = {{0, 0, 2, 2}, {2, 0, 2, 2}, {0, 2, 2, 2}};
            addSmall(2, 2, 4, 4);
            break;
        case 9: {
            const qreal s = box.width() / 3.0;
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            for (int i = 0; i < 9; ++i)
                p.drawRect(QRectF(box.left() + (i % 3) * s + 0.75, box.top() + (i / 3) * s + 0.75, s - 1.5,
                                  s - 1.5));
            return;
        }
        case 10:
            cells = {{0, 0, 2, 2}, {2, 0, 2, 2}};
            addSmall(0, 2, 4, 4);
            break;
        case 13:
            cells = {{0, 0, 2, 2}};
            addSmall(2, 0, 4, 2);
            addSmall(0, 2, 4, 4);
            break;
        default:
            addSmall(0, 0, 4, 4);
            break;
    }
    const qreal s = box.width() / 4.0;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (const Cell& c : cells)
        p.drawRect(
            QRectF(box.left() + c.x * s + 0.75, box.top() + c.y * s + 0.75, c.w * s - 1.5, c.h * s - 1.5));
}

void arrow(QPainter& p, const QRectF& box, qreal degreesCounterClockwiseFromUp, const QColor& colour) {
    p.save();
    p.translate(box.center());
    p.rotate(-degreesCounterClockwiseFromUp);
    const qreal s = box.width() / 2.0;
    QPainterPath path;
    path.moveTo(0, -s);
    path.lineTo(s * 0.8, s * 0.05);
    path.lineTo(s * 0.3, s * 0.05);
    path.lineTo(s * 0.3, s * 0.85);
    path.lineTo(-s * 0.3, s * 0.85);
    path.lineTo(-s * 0.3, s * 0.05);
    path.lineTo(-s * 0.8, s * 0.05);
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
    p.restore();
}

void magnifier(QPainter& p, const QRectF& box, bool plus, const QColor& colour) {
    const qreal s = box.width();
    const QRectF lens(box.left(), box.top(), s * 0.68, s * 0.68);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, std::max<qreal>(1.6, s / 9.0), Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(lens);
    p.setPen(QPen(colour, std::max<qreal>(2.2, s / 6.0), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(box.left() + s * 0.6, box.top() + s * 0.6),
               QPointF(box.right() - s * 0.05, box.bottom() - s * 0.05));
    p.setPen(QPen(colour, std::max<qreal>(1.4, s / 10.0), Qt::SolidLine, Qt::RoundCap));
    const QPointF c = lens.center();
    const qreal a = s * 0.17;
    p.drawLine(QPointF(c.x() - a, c.y()), QPointF(c.x() + a, c.y()));
    if (plus)
        p.drawLine(QPointF(c.x(), c.y() - a), QPointF(c.x(), c.y() + a));
}

void focus(QPainter& p, const QRectF& box, bool in, const QColor& colour) {
    const QPointF c = box.center();
    const qreal s = box.width() / 2.0;
    p.setPen(QPen(colour, std::max<qreal>(1.4, s / 5.0), Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, s * 0.38, s * 0.38);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (int i = 0; i < 4; ++i) {
        p.save();
        p.translate(c);
        p.rotate(45 + 90 * i);
        const qreal r0 = s * 0.55, r1 = s * 0.98;
        if (in)
            p.drawPath(triangle(QPointF(0, -r0), QPointF(-s * 0.22, -r1), QPointF(s * 0.22, -r1)));
        else
            p.drawPath(triangle(QPointF(0, -r1), QPointF(-s * 0.22, -r0), QPointF(s * 0.22, -r0)));
        p.restore();
    }
}

void sun(QPainter& p, const QRectF& box, bool bright, const QColor& colour) {
    const QPointF c = box.center();
    const qreal s = box.width() / 2.0;
    p.setPen(QPen(colour, std::max<qreal>(1.3, s / 6.0), Qt::SolidLine, Qt::RoundCap));
    if (bright)
        p.setBrush(colour);
    else
        p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, s * 0.42, s * 0.42);
    const int rays = 8;
    for (int i = 0; i < rays; ++i) {
        const qreal a = qDegreesToRadians(360.0 * i / rays);
        const qreal r0 = s * 0.62, r1 = bright ? s * 0.98 : s * 0.78;
        p.drawLine(QPointF(c.x() + r0 * std::cos(a), c.y() + r0 * std::sin(a)),
                   QPointF(c.x() + r1 * std::cos(a), c.y() + r1 * std::sin(a)));
    }
}

void power(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, std::max<qreal>(1.8, s / 8.0), Qt::SolidLine, Qt::RoundCap));
    const QRectF ring = box.adjusted(s * 0.08, s * 0.12, -s * 0.08, -s * 0.04);
    p.drawArc(ring, 120 * 16, 300 * 16);
    p.drawLine(QPointF(box.center().x(), box.top()), QPointF(box.center().x(), box.center().y()));
}

void link(QPainter& p, const QRectF& box, bool broken, const QColor& colour) {
    const qreal s = box.width();
    p.save();
    p.translate(box.center());
    p.rotate(-45);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, std::max<qreal>(1.8, s / 8.0), Qt::SolidLine, Qt::RoundCap));
    const qreal w = s * 0.36, h = s * 0.62, gap = broken ? s * 0.16 : 0.0;
    p.drawRoundedRect(QRectF(-w / 2, -h - gap + s * 0.12, w, h), w / 2, w / 2);
    p.drawRoundedRect(QRectF(-w / 2, gap - s * 0.12, w, h), w / 2, w / 2);
    if (!broken)
        p.drawLine(QPointF(0, -s * 0.2), QPointF(0, s * 0.2));
    p.restore();
    if (broken) {
        p.setPen(QPen(colour, std::max<qreal>(1.2, s / 12.0), Qt::SolidLine, Qt::RoundCap));
        const QPointF c = box.center();
        p.drawLine(c + QPointF(-s * 0.42, -s * 0.12), c + QPointF(-s * 0.22, -s * 0.04));
        p.drawLine(c + QPointF(s * 0.42, s * 0.12), c + QPointF(s * 0.22, s * 0.04));
    }
}

void gear(QPainter& p, const QRectF& box, const QColor& colour) {
    const QPointF c = box.center();
    const qreal s = box.width() / 2.0;
    QPainterPath path;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal a0 = qDegreesToRadians(360.0 * i / (teeth * 2) - 360.0 / (teeth * 4));
        const qreal a1 = qDegreesToRadians(360.0 * (i + 1) / (teeth * 2) - 360.0 / (teeth * 4));
        const qreal r = (i % 2 == 0) ? s : s * 0.74;
        const QPointF p0(c.x() + r * std::cos(a0), c.y() + r * std::sin(a0));
        const QPointF p1(c.x() + r * std::cos(a1), c.y() + r * std::sin(a1));
        if (i == 0)
            path.moveTo(p0);
        else
            path.lineTo(p0);
        path.lineTo(p1);
    }
    path.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, s * 0.32, s * 0.32);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path.subtracted(hole));
}

void film(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    const QRectF body = box.adjusted(0, s * 0.14, 0, -s * 0.14);
    QPainterPath path;
    path.addRoundedRect(body, s * 0.08, s * 0.08);
    QPainterPath holes;
    for (int i = 0; i < 4; ++i) {
        const qreal x = body.left() + s * 0.1 + i * s * 0.23;
        holes.addRect(QRectF(x, body.top() + s * 0.06, s * 0.1, s * 0.09));
        holes.addRect(QRectF(x, body.bottom() - s * 0.15, s * 0.1, s * 0.09));
    }
    holes.addPath(playTriangle(
        QRectF(body.center().x() - s * 0.12, body.center().y() - s * 0.15, s * 0.26, s * 0.3), 1));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path.subtracted(holes));
}

void rotateGlyph(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    const QRectF ring = box.adjusted(s * 0.12, s * 0.12, -s * 0.12, -s * 0.12);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, std::max<qreal>(1.8, s / 8.0), Qt::SolidLine, Qt::FlatCap));
    p.drawArc(ring, 100 * 16, 150 * 16);
    p.drawArc(ring, 280 * 16, 150 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const qreal r = ring.width() / 2;
    const QPointF c = ring.center();
    auto head = [&](qreal deg, int dir) {
        const qreal a = qDegreesToRadians(deg);
        const QPointF tip(c.x() + r * std::cos(a), c.y() - r * std::sin(a));
        const QPointF tangent(-std::sin(a) * dir, -std::cos(a) * dir);
        const QPointF normal(std::cos(a), -std::sin(a));
        const qreal h = s * 0.2;
        p.drawPath(triangle(tip + tangent * h, tip + normal * h * 0.7, tip - normal * h * 0.7));
    };
    head(250, 1);
    head(70, 1);
}

void disk(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    QPainterPath body;
    body.moveTo(box.left(), box.top());
    body.lineTo(box.right() - s * 0.2, box.top());
    body.lineTo(box.right(), box.top() + s * 0.2);
    body.lineTo(box.right(), box.bottom());
    body.lineTo(box.left(), box.bottom());
    body.closeSubpath();
    QPainterPath cut;
    cut.addRect(QRectF(box.left() + s * 0.22, box.top(), s * 0.46, s * 0.3));
    cut.addRect(QRectF(box.left() + s * 0.16, box.top() + s * 0.52, s * 0.68, s * 0.36));
    QPainterPath shutter;
    shutter.addRect(QRectF(box.left() + s * 0.48, box.top() + s * 0.05, s * 0.12, s * 0.2));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(body.subtracted(cut).united(shutter));
}

void printer(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    QPainterPath path;
    path.addRoundedRect(QRectF(box.left(), box.top() + s * 0.32, s, s * 0.42), s * 0.08, s * 0.08);
    QPainterPath paper;
    paper.addRect(QRectF(box.left() + s * 0.2, box.top(), s * 0.6, s * 0.28));
    paper.addRect(QRectF(box.left() + s * 0.2, box.top() + s * 0.6, s * 0.6, s * 0.4));
    QPainterPath slot;
    slot.addRect(QRectF(box.left() + s * 0.26, box.top() + s * 0.66, s * 0.48, s * 0.28));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path.united(paper).subtracted(slot));
    p.drawRect(QRectF(box.left() + s * 0.32, box.top() + s * 0.74, s * 0.36, s * 0.05));
    p.drawRect(QRectF(box.left() + s * 0.32, box.top() + s * 0.84, s * 0.36, s * 0.05));
}

void listGlyph(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (int i = 0; i < 4; ++i) {
        const qreal y = box.top() + s * 0.08 + i * s * 0.25;
        p.drawEllipse(QRectF(box.left(), y, s * 0.14, s * 0.14));
        p.drawRect(QRectF(box.left() + s * 0.24, y + s * 0.02, s * 0.76, s * 0.1));
    }
}

void folder(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    QPainterPath path;
    path.moveTo(box.left(), box.top() + s * 0.12);
    path.lineTo(box.left() + s * 0.36, box.top() + s * 0.12);
    path.lineTo(box.left() + s * 0.46, box.top() + s * 0.24);
    path.lineTo(box.right(), box.top() + s * 0.24);
    path.lineTo(box.right(), box.bottom() - s * 0.1);
    path.lineTo(box.left(), box.bottom() - s * 0.1);
    path.closeSubpath();
    QPainterPath inner;
    inner.addRect(QRectF(box.left() + s * 0.08, box.top() + s * 0.36, s * 0.84, s * 0.04));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path.subtracted(inner));
}

void download(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRect(QRectF(box.center().x() - s * 0.1, box.top(), s * 0.2, s * 0.4));
    p.drawPath(triangle(QPointF(box.center().x() - s * 0.32, box.top() + s * 0.36),
                        QPointF(box.center().x() + s * 0.32, box.top() + s * 0.36),
                        QPointF(box.center().x(), box.top() + s * 0.7)));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, std::max<qreal>(1.8, s / 9.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPolygonF tray;
    tray << QPointF(box.left() + s * 0.04, box.top() + s * 0.62)
         << QPointF(box.left() + s * 0.04, box.bottom() - s * 0.04)
         << QPointF(box.right() - s * 0.04, box.bottom() - s * 0.04)
         << QPointF(box.right() - s * 0.04, box.top() + s * 0.62);
    p.drawPolyline(tray);
}

void pencil(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    p.save();
    p.translate(box.center());
    p.rotate(45);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRect(QRectF(-s * 0.13, -s * 0.5, s * 0.26, s * 0.66));
    p.drawPath(triangle(QPointF(-s * 0.13, s * 0.22), QPointF(s * 0.13, s * 0.22), QPointF(0, s * 0.5)));
    p.restore();
}

void drop(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    QPainterPath path;
    path.moveTo(box.center().x(), box.top());
    path.cubicTo(QPointF(box.center().x() + s * 0.1, box.top() + s * 0.2),
                 QPointF(box.right() - s * 0.1, box.top() + s * 0.45),
                 QPointF(box.right() - s * 0.12, box.top() + s * 0.64));
    path.arcTo(QRectF(box.left() + s * 0.12, box.top() + s * 0.28, s * 0.76, s * 0.72), 0, -180);
    path.cubicTo(QPointF(box.left() + s * 0.1, box.top() + s * 0.45),
                 QPointF(box.center().x() - s * 0.1, box.top() + s * 0.2),
                 QPointF(box.center().x(), box.top()));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
}

void contrast(QPainter& p, const QRectF& box, bool up, const QColor& colour) {
    const qreal s = box.width();
    const QRectF circle(box.left(), box.top(), s * 0.8, s * 0.8);
    p.setPen(QPen(colour, std::max<qreal>(1.4, s / 10.0)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(circle);
    QPainterPath half;
    half.moveTo(circle.center());
    half.arcTo(circle, 90, 180);
    half.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(half);
    const QPointF c(box.right() - s * 0.14, box.bottom() - s * 0.14);
    const qreal a = s * 0.14;
    p.setPen(QPen(colour, std::max<qreal>(1.4, s / 10.0), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(c.x() - a, c.y()), QPointF(c.x() + a, c.y()));
    if (up)
        p.drawLine(QPointF(c.x(), c.y() - a), QPointF(c.x(), c.y() + a));
}

void sharpen(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(triangle(QPointF(box.center().x(), box.top()), QPointF(box.right(), box.bottom() - s * 0.08),
                        QPointF(box.left(), box.bottom() - s * 0.08)));
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawPath(triangle(QPointF(box.center().x(), box.top()), QPointF(box.right(), box.bottom() - s * 0.08),
                        QPointF(box.center().x(), box.bottom() - s * 0.08)));
}

void speaker(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal s = box.width();
    QPainterPath path;
    path.moveTo(box.left(), box.top() + s * 0.34);
    path.lineTo(box.left() + s * 0.22, box.top() + s * 0.34);
    path.lineTo(box.left() + s * 0.5, box.top() + s * 0.1);
    path.lineTo(box.left() + s * 0.5, box.bottom() - s * 0.1);
    path.lineTo(box.left() + s * 0.22, box.bottom() - s * 0.34);
    path.lineTo(box.left(), box.bottom() - s * 0.34);
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, std::max<qreal>(1.4, s / 10.0), Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(box.left() + s * 0.35, box.top() + s * 0.25, s * 0.4, s * 0.5), -50 * 16, 100 * 16);
    p.drawArc(QRectF(box.left() + s * 0.3, box.top() + s * 0.08, s * 0.68, s * 0.84), -50 * 16, 100 * 16);
}

void spinner(QPainter& p, const QRectF& box, int phase, const QColor& colour, bool dim) {
    const QPointF c = box.center();
    const qreal s = box.width() / 2.0;
    const int spokes = 8;
    for (int i = 0; i < spokes; ++i) {
        const qreal a = qDegreesToRadians(360.0 * i / spokes + phase * 22.5);
        QColor col = colour;
        const int age = i;
        col.setAlphaF(dim ? 0.25 : 0.18 + 0.82 * age / (spokes - 1));
        p.setPen(QPen(col, std::max<qreal>(2.0, s / 4.0), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(c.x() + s * 0.42 * std::cos(a), c.y() + s * 0.42 * std::sin(a)),
                   QPointF(c.x() + s * 0.9 * std::cos(a), c.y() + s * 0.9 * std::sin(a)));
    }
}

}  // namespace

bool drawIcon(QPainter& p, const QString& name, const QRectF& box, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const qreal s = box.width();
    const QRectF left(box.left(), box.top(), s / 2, s);
    const QRectF right(box.center().x(), box.top(), s / 2, s);
    bool known = true;
    if (name == QLatin1String("play")) {
        p.drawPath(playTriangle(box.adjusted(s * 0.15, 0, -s * 0.05, 0), 1));
    } else if (name == QLatin1String("reverse")) {
        p.drawPath(playTriangle(box.adjusted(s * 0.05, 0, -s * 0.15, 0), -1));
    } else if (name == QLatin1String("pause")) {
        p.drawRect(QRectF(box.left() + s * 0.14, box.top(), s * 0.26, s));
        p.drawRect(QRectF(box.right() - s * 0.4, box.top(), s * 0.26, s));
    } else if (name == QLatin1String("stop")) {
        p.drawRect(box.adjusted(s * 0.08, s * 0.08, -s * 0.08, -s * 0.08));
    } else if (name == QLatin1String("ffwd")) {
        p.drawPath(playTriangle(left.adjusted(0, s * 0.12, 0, -s * 0.12), 1));
        p.drawPath(playTriangle(right.adjusted(0, s * 0.12, 0, -s * 0.12), 1));
    } else if (name == QLatin1String("rewind")) {
        p.drawPath(playTriangle(left.adjusted(0, s * 0.12, 0, -s * 0.12), -1));
        p.drawPath(playTriangle(right.adjusted(0, s * 0.12, 0, -s * 0.12), -1));
    } else if (name == QLatin1String("start")) {
        p.drawRect(QRectF(box.left() + s * 0.08, box.top() + s * 0.1, s * 0.16, s * 0.8));
        p.drawPath(playTriangle(QRectF(box.left() + s * 0.28, box.top() + s * 0.1, s * 0.64, s * 0.8), -1));
    } else if (name == QLatin1String("end")) {
        p.drawRect(QRectF(box.right() - s * 0.24, box.top() + s * 0.1, s * 0.16, s * 0.8));
        p.drawPath(playTriangle(QRectF(box.left() + s * 0.08, box.top() + s * 0.1, s * 0.64, s * 0.8), 1));
    } else if (name == QLatin1String("plus") || name == QLatin1String("minus")) {
        const qreal t = std::max<qreal>(2.0, s * 0.2);
        p.drawRect(QRectF(box.left() + s * 0.1, box.center().y() - t / 2, s * 0.8, t));
        if (name == QLatin1String("plus"))
            p.drawRect(QRectF(box.center().x() - t / 2, box.top() + s * 0.1, t, s * 0.8));
    } else if (name == QLatin1String("prev")) {
        p.drawPath(playTriangle(box.adjusted(s * 0.2, s * 0.1, -s * 0.25, -s * 0.1), -1));
    } else if (name == QLatin1String("next")) {
        p.drawPath(playTriangle(box.adjusted(s * 0.25, s * 0.1, -s * 0.2, -s * 0.1), 1));
    } else if (name.startsWith(QLatin1String("arrow"))) {
        arrow(p, box, name.mid(5).toDouble(), colour);
    } else if (name.startsWith(QLatin1String("grid"))) {
        gridGlyph(p, box, name.mid(4).toInt(), colour);
    } else if (name == QLatin1String("zoomin") || name == QLatin1String("zoomout")) {
        magnifier(p, box, name == QLatin1String("zoomin"), colour);
    } else if (name == QLatin1String("focusin") || name == QLatin1String("focusout")) {
        focus(p, box, name == QLatin1String("focusin"), colour);
    } else if (name == QLatin1String("bright") || name == QLatin1String("dark")) {
        sun(p, box, name == QLatin1String("bright"), colour);
    } else if (name == QLatin1String("power")) {
        power(p, box, colour);
    } else if (name == QLatin1String("connect") || name == QLatin1String("disconnect")) {
        link(p, box, name == QLatin1String("disconnect"), colour);
    } else if (name == QLatin1String("gear")) {
        gear(p, box, colour);
    } else if (name == QLatin1String("film")) {
        film(p, box, colour);
    } else if (name == QLatin1String("rotate")) {
        rotateGlyph(p, box, colour);
    } else if (name == QLatin1String("save")) {
        disk(p, box, colour);
    } else if (name == QLatin1String("print")) {
        printer(p, box, colour);
    } else if (name == QLatin1String("list")) {
        listGlyph(p, box, colour);
    } else if (name == QLatin1String("record")) {
        // Red on a light (normal) or dark (pressed) face; the state's grey when disabled.
        const int light = colour.lightness();
        p.setBrush(light > 180 ? QColor(0xff, 0x4d, 0x4d) : light < 60 ? QColor(0x8a, 0x1c, 0x1c) : colour);
        p.drawEllipse(box.adjusted(s * 0.12, s * 0.12, -s * 0.12, -s * 0.12));
    } else if (name == QLatin1String("open")) {
        folder(p, box, colour);
    } else if (name == QLatin1String("backup")) {
        download(p, box, colour);
    } else if (name == QLatin1String("edit")) {
        pencil(p, box, colour);
    } else if (name == QLatin1String("blur")) {
        drop(p, box, colour);
    } else if (name == QLatin1String("sharpen")) {
        sharpen(p, box, colour);
    } else if (name == QLatin1String("contrastup") || name == QLatin1String("contrastdown")) {
        contrast(p, box, name == QLatin1String("contrastup"), colour);
    } else if (name == QLatin1String("close")) {
        p.setPen(QPen(colour, std::max<qreal>(2.0, s / 6.0), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(box.topLeft() + QPointF(s * 0.15, s * 0.15),
                   box.bottomRight() - QPointF(s * 0.15, s * 0.15));
        p.drawLine(box.topRight() + QPointF(-s * 0.15, s * 0.15),
                   box.bottomLeft() + QPointF(s * 0.15, -s * 0.15));
    } else if (name == QLatin1String("speaker")) {
        speaker(p, box, colour);
    } else if (name.isEmpty()) {
        known = true;
    } else {
        known = false;
    }
    p.restore();
    return known;
}

QImage button(QSize size, ButtonState state, const QString& style, const QString& icon, const QString& label,
              const QColor& background) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const QRectF r(QPointF(0, 0), QSizeF(size));
    const bool down = state == ButtonState::Down || state == ButtonState::DownChecked;

    if (style == QLatin1String("wheel")) {
        image.fill(Qt::black);
        const int phase = state == ButtonState::Normal ? 0 : state == ButtonState::Down ? 1 : 2;
        const qreal side = std::min(r.width(), r.height()) * 0.78;
        spinner(p, QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side), phase,
                Palette::accent(), false);
        return image;
    }
    if (style == QLatin1String("label")) {
        QColor colour = state == ButtonState::Disabled ? Palette::title()
                        : down                         ? Palette::accent()
                                                       : Palette::text();
        p.setPen(colour);
        p.setFont(uiFont(std::clamp(size.height() - 6, 9, 12), true));
        p.drawText(r, Qt::AlignCenter, label);
        return image;
    }

    Chrome chrome = chromeFor(state, style);
    if (style == QLatin1String("lamp")) {
        // Indicator: dark well, lit in the accent colour when its state is on.
        chrome =
            state == ButtonState::Down || state == ButtonState::DownChecked
                ? Chrome{QColor(0x4f, 0xd0, 0xff), QColor(0x06, 0x92, 0xd4), QColor(0x9a, 0xe6, 0xff),
                         QColor(0x4f, 0xd0, 0xff), QColor(0x04, 0x14, 0x1e), true}
                : Chrome{QColor(0x12, 0x15, 0x1a),
                         QColor(0x12, 0x15, 0x1a),
                         QColor(0x2a, 0x2f, 0x37),
                         QColor(0x12, 0x15, 0x1a),
                         state == ButtonState::Disabled ? QColor(0x34, 0x39, 0x41) : QColor(0x4e, 0x56, 0x62),
                         true};
        drawChrome(p, r, chrome, ButtonState::Normal);
    } else {
        drawChrome(p, r, chrome, state);
    }
    const qreal shift = (down && style != QLatin1String("lamp")) ? 1.0 : 0.0;
    const QRectF content = r.adjusted(4, 3 + shift, -4, -3 + shift);

    if (style.contains(QLatin1String("tile"))) {
        // Icon above a small caption.
        QFont small = uiFont(label.size() > 6 ? 8 : 9, true);
        p.setFont(small);
        const QFontMetricsF sfm(small);
        const qreal captionH = label.isEmpty() ? 0 : sfm.height();
        const qreal side = std::min(content.height() - captionH - 2, std::min(content.width() * 0.6, 20.0));
        const qreal top = content.top() + (content.height() - side - captionH - 2) / 2;
        if (!icon.isEmpty())
            drawIcon(p, icon, QRectF(content.center().x() - side / 2, top, side, side), chrome.fg);
        if (!label.isEmpty()) {
            p.setPen(chrome.fg);
            p.drawText(QRectF(r.left(), top + side + 1, r.width(), captionH + 1),
                       Qt::AlignHCenter | Qt::AlignTop, label);
        }
        return image;
    }

    QFont font = uiFont(std::clamp(int(size.height() * 0.42), 9, 13), true);
    p.setFont(font);
    const QFontMetricsF fm(font);
    const qreal iconSide = std::min(content.height() * 0.78, std::min(content.width() * 0.8, 22.0));
    const qreal textWidth = label.isEmpty() ? 0 : fm.horizontalAdvance(label);
    const qreal gap = (!icon.isEmpty() && !label.isEmpty()) ? 6 : 0;
    const qreal total = (icon.isEmpty() ? 0 : iconSide) + gap + textWidth;
    qreal x = content.center().x() - total / 2;
    if (!icon.isEmpty()) {
        const QRectF iconBox(x, content.center().y() - iconSide / 2, iconSide, iconSide);
        drawIcon(p, icon, iconBox, chrome.fg);
        x += iconSide + gap;
    }
    if (!label.isEmpty()) {
        p.setPen(chrome.fg);
        p.drawText(QRectF(x, content.top(), textWidth + 2, content.height()),
                   Qt::AlignVCenter | Qt::AlignLeft, label);
    }
    return image;
}

void fillWindow(QPainter& p, const QRect& rect, const QColor& top, const QColor& bottom) {
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(rect, g);
}

void panel(QPainter& p, const QRect& rect, const QString& title) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Palette::panelBorder(), 1));
    p.setBrush(Palette::panel());
    p.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    if (!title.isEmpty()) {
        p.setFont(uiFont(9, true));
        p.setPen(Palette::title());
        p.drawText(QRect(rect.left() + 8, rect.top() + 3, rect.width() - 16, 12),
                   Qt::AlignLeft | Qt::AlignVCenter, title);
    }
    p.restore();
}

void well(QPainter& p, const QRect& rect) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(0x2a, 0x2f, 0x37), 1));
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(rect).adjusted(-1.5, -1.5, 1.5, 1.5), 3, 3);
    p.restore();
}

void screen(QPainter& p, const QRect& rect) {
    p.save();
    p.fillRect(rect.adjusted(-3, -3, 3, 3), QColor(0x08, 0x09, 0x0b));
    p.setPen(QPen(QColor(0x30, 0x36, 0x40), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect.adjusted(-3, -3, 2, 2));
    p.fillRect(rect, Qt::black);
    p.restore();
}

void text(QPainter& p, const QRect& rect, const QString& str, int pixelSize, const QColor& colour,
          Qt::Alignment align, bool bold) {
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(uiFont(pixelSize, bold));
    p.setPen(colour);
    p.drawText(rect, int(align), str);
    p.restore();
}

void wordmark(QPainter& p, const QRect& rect, const QString& str, int pixelSize) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QFont font = uiFont(pixelSize, true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, pixelSize * 0.18);
    p.setFont(font);
    const QFontMetrics fm(font);
    const int w = fm.horizontalAdvance(str);
    const int mark = pixelSize;
    const int total = mark + 8 + w;
    const int x = rect.left() + (rect.width() - total) / 2;
    const int cy = rect.center().y();
    // A lens mark: accent ring with a dark pupil.
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::accent());
    p.drawEllipse(QRectF(x, cy - mark / 2.0, mark, mark));
    p.setBrush(QColor(0x0e, 0x10, 0x14));
    p.drawEllipse(QRectF(x + mark * 0.26, cy - mark * 0.24, mark * 0.48, mark * 0.48));
    p.setBrush(Palette::accent());
    p.drawEllipse(QRectF(x + mark * 0.42, cy - mark * 0.08, mark * 0.16, mark * 0.16));
    p.setPen(Palette::text());
    p.drawText(QRect(x + mark + 8, rect.top(), w + 4, rect.height()), Qt::AlignVCenter | Qt::AlignLeft, str);
    p.restore();
}

QImage sliderTrack(QSize size, const QString& style) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Palette::panel());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (style == QLatin1String("player")) {
        // The player stretches the top-left 8 x 8 pixels: keep them a clean
        // groove colour band so the stretch gives a smooth track.
        QLinearGradient g(0, 0, 0, size.height());
        g.setColorAt(0, QColor(0x0b, 0x0d, 0x10));
        g.setColorAt(1, QColor(0x1a, 0x1e, 0x24));
        p.fillRect(image.rect(), g);
        return image;
    }
    const qreal cy = size.height() / 2.0;
    const QRectF groove(7, cy - 3, size.width() - 14, 6);
    p.setPen(QPen(QColor(0x2e, 0x34, 0x3e), 1));
    p.setBrush(QColor(0x0b, 0x0d, 0x10));
    p.drawRoundedRect(groove, 3, 3);
    // Hour ticks over the travel of 578 pixels.
    p.setPen(QPen(QColor(0x4a, 0x52, 0x5e), 1));
    for (int h = 0; h <= 24; ++h) {
        const qreal x = 7 + 578.0 * h / 24.0;
        const qreal len = (h % 6 == 0) ? 4 : 2;
        p.drawLine(QPointF(x, groove.bottom() + 2), QPointF(x, groove.bottom() + 2 + len));
    }
    return image;
}

QImage sliderThumb(QSize size, const QString& style) {
    QImage image(size, QImage::Format_RGB32);
    const bool viewer = style != QLatin1String("player");
    // The viewer draws the thumb keyed on its top-left pixel colour.
    image.fill(viewer ? QColor(0xff, 0x00, 0xff) : QColor(0x12, 0x15, 0x1a));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect body =
        viewer ? QRect(1, 1, size.width() - 2, size.height() - 2) : QRect(0, 0, size.width(), size.height());
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, QColor(0x4f, 0xd0, 0xff));
    g.setColorAt(1, QColor(0x06, 0x92, 0xd4));
    p.fillRect(body, g);
    p.setPen(QColor(0x9a, 0xe6, 0xff));
    p.drawLine(body.left(), body.top(), body.right(), body.top());
    p.setPen(QColor(0x04, 0x3d, 0x5a));
    const int cx = body.center().x();
    for (int dx : {-3, 0, 3})
        p.drawLine(cx + dx, body.top() + body.height() / 3, cx + dx, body.bottom() - body.height() / 3);
    return image;
}

QImage glyph(QSize size, const QString& str) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(str.size() > 1 ? size.height() * 0.55 : size.height() * 0.9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Palette::accent());
    p.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, str);
    return image;
}

}  // namespace SkinPainter
