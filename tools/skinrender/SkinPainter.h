#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

// The default skins' look: one palette, button chrome per state, icons drawn
// as shapes. Every bitmap of both programs is painted through here.
namespace SkinPainter {

enum class ButtonState { Normal, Down, Disabled, DownChecked };

struct Palette {
    static QColor windowTop() { return {0x17, 0x1a, 0x20}; }
    static QColor windowBottom() { return {0x0e, 0x10, 0x14}; }
    static QColor panel() { return {0x1e, 0x22, 0x29}; }
    static QColor panelBorder() { return {0x2e, 0x34, 0x3e}; }
    static QColor title() { return {0x86, 0x90, 0x9d}; }
    static QColor accent() { return {0x06, 0xb5, 0xff}; }
    static QColor text() { return {0xe4, 0xe9, 0xf0}; }
    static QColor danger() { return {0xff, 0x5a, 0x5a}; }
};

// A button bitmap of size for one state. style: "default", "danger", "tile"
// (icon above caption), "danger-tile", "label", "lamp", "wheel". icon: a
// shape name (see drawIcon) or empty. background fills the rounded corners.
QImage button(QSize size, ButtonState state, const QString& style, const QString& icon, const QString& label,
              const QColor& background = Palette::panel());

// Draws a named shape centred in box. Returns false for an unknown name.
bool drawIcon(class QPainter& painter, const QString& name, const QRectF& box, const QColor& colour);

// Backgrounds.
void fillWindow(QPainter& painter, const QRect& rect, const QColor& top, const QColor& bottom);
void panel(QPainter& painter, const QRect& rect, const QString& title);
void well(QPainter& painter, const QRect& rect);
void screen(QPainter& painter, const QRect& rect);
void text(QPainter& painter, const QRect& rect, const QString& text, int pixelSize, const QColor& colour,
          Qt::Alignment align, bool bold);
void wordmark(QPainter& painter, const QRect& rect, const QString& text, int pixelSize);

// Slider parts. style "viewer": 14-pixel thumb keyed on magenta; "player":
// an 8 x 8 track tile is what the player stretches, thumb 18 pixels wide.
QImage sliderTrack(QSize size, const QString& style);
QImage sliderThumb(QSize size, const QString& style);

// A glyph bitmap (clock digits, AM/PM): accent text on black.
QImage glyph(QSize size, const QString& text);

}  // namespace SkinPainter
