// iconpaint: paints the program icons as PNG files at the sizes of the desktop's icon theme. The
// shapes are those of packaging/icons/*.svg, on the same 64-unit grid.
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void circle(QPainter& painter, double x, double y, double radius, const char* colour) {
    painter.setBrush(QColor(QLatin1StringView(colour)));
    painter.drawEllipse(QPointF(x, y), radius, radius);
}

void polygon(QPainter& painter, std::initializer_list<QPointF> points, const char* colour) {
    painter.setBrush(QColor(QLatin1StringView(colour)));
    painter.drawPolygon(QPolygonF(QList<QPointF>(points)));
}

void paintViewer(QPainter& painter) {
    painter.setBrush(QColor(0x1d, 0x35, 0x57));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    painter.setBrush(QColor(0xf1, 0xfa, 0xee));
    painter.drawRoundedRect(QRectF(10, 22, 32, 22), 4, 4);
    polygon(painter, {{42, 30}, {54, 23}, {54, 43}, {42, 36}}, "#f1faee");
    circle(painter, 26, 33, 6, "#457b9d");
    circle(painter, 16, 16, 4, "#e63946");
}

void paintPlayer(QPainter& painter) {
    painter.setBrush(QColor(0x26, 0x46, 0x53));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    circle(painter, 30, 30, 22, "#d9dee5");
    circle(painter, 30, 30, 9, "#8fa3b1");
    circle(painter, 30, 30, 3, "#264653");
    circle(painter, 47, 47, 12, "#e76f51");
    polygon(painter, {{43, 41}, {43, 53}, {53, 47}}, "#ffffff");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("Usage: iconpaint vistrel|discoro SIZE OUT.png\n", stderr);
        return 2;
    }
    const std::string name = argv[1];
    const int size = std::atoi(argv[2]);
    if ((name != "vistrel" && name != "discoro") || size < 8 || size > 1024) {
        std::fputs("iconpaint: unknown icon or size\n", stderr);
        return 2;
    }
    QGuiApplication app(argc, argv);
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.scale(size / 64.0, size / 64.0);
    name == "vistrel" ? paintViewer(painter) : paintPlayer(painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "iconpaint: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
