#include "marking/TButtonGlyph.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

void TButtonGlyph::setGlyph(const QPixmap &glyph)
{
    dropImages();
    m_glyph = glyph;
    if (glyph.isNull()) {
        return;
    }
    const QImage image = glyph.toImage();
    m_transparent = image.pixelColor(0, image.height() - 1);
    if (glyph.width() % glyph.height() == 0) {
        const int count = glyph.width() / glyph.height();
        m_numGlyphs = count <= 4 ? std::max(1, count) : 1;
    }
}

void TButtonGlyph::setNumGlyphs(int count)
{
    count = std::clamp(count, 1, 4);
    if (count == m_numGlyphs) {
        return;
    }
    m_numGlyphs = count;
    dropImages();
}

QSize TButtonGlyph::glyphSize() const
{
    if (m_glyph.isNull()) {
        return {0, 0};
    }
    return {m_glyph.width() / m_numGlyphs, m_glyph.height()};
}

void TButtonGlyph::dropImages()
{
    m_images = {};
}

QPixmap TButtonGlyph::stateImage(State state, const QColor &face, const QPalette &palette)
{
    if (m_glyph.isNull()) {
        return {};
    }
    QPixmap &cached = m_images[state];
    if (cached.isNull()) {
        cached = QPixmap::fromImage(makeImage(state, face, palette));
        ++m_imagesMade;
    }
    return cached;
}

QImage TButtonGlyph::slice(int index) const
{
    const QSize size = glyphSize();
    return m_glyph.toImage().copy(QRect(QPoint(index * size.width(), 0), size)).convertToFormat(QImage::Format_ARGB32);
}

bool TButtonGlyph::isTransparent(QRgb pixel) const
{
    return qAlpha(pixel) == 0 || (qAlpha(pixel) == 255 && (pixel & 0xffffff) == (m_transparent.rgb() & 0xffffff));
}

QImage TButtonGlyph::makeImage(State state, const QColor &face, const QPalette &palette) const
{
    const QSize size = glyphSize();
    QImage result(size, QImage::Format_ARGB32);
    result.fill(state == Exclusive ? QColor(Qt::transparent) : face);

    if (state == Disabled && m_numGlyphs < 2) {
        // No disabled slice: emboss the up slice's dark shape.
        const QImage up = slice(0);
        QImage shape(size, QImage::Format_ARGB32);
        shape.fill(Qt::transparent);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb p = up.pixel(x, y);
                if (!isTransparent(p) && qGray(p) < 192) {
                    shape.setPixel(x, y, qRgba(0, 0, 0, 255));
                }
            }
        }
        auto tinted = [&shape](const QColor &color) {
            QImage image = shape;
            QPainter p(&image);
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(image.rect(), color);
            return image;
        };
        QPainter painter(&result);
        painter.drawImage(QPoint(1, 1), tinted(palette.color(QPalette::Light)));
        painter.drawImage(QPoint(0, 0), tinted(palette.color(QPalette::Dark)));
        return result;
    }

    int index = 0;
    if (state == Disabled) {
        index = 1;
    } else if (state == Down && m_numGlyphs >= 3) {
        index = 2;
    } else if (state == Exclusive && m_numGlyphs >= 4) {
        index = 3;
    }
    QImage source = slice(index);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb p = source.pixel(x, y);
            if (isTransparent(p)) {
                source.setPixel(x, y, qRgba(0, 0, 0, 0));
            } else if (state == Disabled && (p & 0xffffff) == 0xffffff) {
                source.setPixel(x, y, palette.color(QPalette::Light).rgb());
            } else if (state == Disabled && (p & 0xffffff) == 0x808080) {
                source.setPixel(x, y, palette.color(QPalette::Dark).rgb());
            }
        }
    }
    QPainter painter(&result);
    painter.drawImage(QPoint(0, 0), source);
    return result;
}
