#include "marking/PaintHelpers.h"

#include <QPainter>
#include <QPolygon>

namespace PaintHelpers {

void fillOutlined(QPainter &painter, const QRect &r, const QColor &pen, const QColor &brush)
{
    painter.fillRect(r, pen);
    painter.fillRect(r.adjusted(1, 1, -1, -1), brush);
}

void outline(QPainter &painter, const QRect &r, const QColor &pen)
{
    if (r.width() <= 0 || r.height() <= 0) {
        return;
    }
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), pen);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), pen);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), pen);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), pen);
}

void frame3D(QPainter &painter, QRect &r, int width, const QColor &topLeft, const QColor &bottomRight)
{
    for (int i = 0; i < width && r.width() > 0 && r.height() > 0; ++i) {
        painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
        r.adjust(1, 1, -1, -1);
    }
}

void dottedFocusRect(QPainter &painter, const QRect &r)
{
    if (r.width() <= 0 || r.height() <= 0) {
        return;
    }
    QPolygon dots;
    auto dot = [&dots](int x, int y) {
        if ((x + y) % 2 == 0) {
            dots << QPoint(x, y);
        }
    };
    for (int x = r.left(); x <= r.right(); ++x) {
        dot(x, r.top());
        if (r.bottom() != r.top()) {
            dot(x, r.bottom());
        }
    }
    for (int y = r.top() + 1; y < r.bottom(); ++y) {
        dot(r.left(), y);
        if (r.right() != r.left()) {
            dot(r.right(), y);
        }
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 0));
    painter.drawPoints(dots);
    painter.restore();
}

} // namespace PaintHelpers
