#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRect>
#include <QRegion>
#include <QString>

namespace dvr::live {

// The face of the on-screen texts: a bold sans face 12 pixels high, narrowed towards an average character
// width of 5 pixels.
QFont makeScreenFont();

// The colour of the live window's texts.
QColor screenTextColour();

// Draws a text with an opaque black background behind the glyphs, when its rectangle is being repainted.
void drawOpaqueText(QPainter& painter, const QRegion& dirty, const QRect& rect, int flags,
                    const QString& text);

}  // namespace dvr::live
