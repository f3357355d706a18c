#include "libraryview/MarkSwatch.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>

QIcon MarkSwatch(const QString &colour, int size)
{
    QPixmap swatch(size, size);
    swatch.fill(Qt::transparent);
    QPainter painter(&swatch);
    painter.setPen(QColor(96, 96, 96));
    painter.setBrush(QColor::fromString(colour));
    painter.drawRect(0, 0, size - 1, size - 1);
    return QIcon(swatch);
}
