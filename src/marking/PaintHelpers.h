#pragma once

#include <QColor>
#include <QRect>

class QPainter;

// Drawing primitives shared by the owner-drawn controls. They work in whole
// pixels inside the given rectangle, like the platform calls they stand for.
namespace PaintHelpers {

// Outline r with pen and fill the inside with brush; nothing spills outside r.
void fillOutlined(QPainter &painter, const QRect &r, const QColor &pen, const QColor &brush);
// One-pixel outline of r, inside unchanged.
void outline(QPainter &painter, const QRect &r, const QColor &pen);
// width nested rings: topLeft on the top and left edges, bottomRight on the
// bottom and right edges. Shrinks r to the inside.
void frame3D(QPainter &painter, QRect &r, int width, const QColor &topLeft, const QColor &bottomRight);
// Every other pixel of r's outline inverted, so it shows on any colour.
void dottedFocusRect(QPainter &painter, const QRect &r);

} // namespace PaintHelpers
