#pragma once

#include <QColor>
#include <QPalette>
#include <QPixmap>

#include <array>

// The glyph of a colour button: a bitmap of up to four equal slices (up,
// disabled, down, exclusive) and the state images made from it, each made
// once and kept until the glyph, the face colour or the palette changes.
class TButtonGlyph
{
public:
    enum State { Up, Disabled, Down, Exclusive };

    // Takes a copy; drops the cached images and takes the bitmap's transparent
    // colour. A bitmap whose width is a whole multiple of its height holds
    // width / height slices when that is at most 4, else it counts as one.
    void setGlyph(const QPixmap &glyph);
    QPixmap glyph() const { return m_glyph; }

    int numGlyphs() const { return m_numGlyphs; }
    // Clamped to 1..4.
    void setNumGlyphs(int count);

    // RGB(128,128,0) until a bitmap is given, then its bottom-left pixel.
    QColor transparentColor() const { return m_transparent; }
    // Width of one slice by the bitmap's height; empty without a bitmap.
    QSize glyphSize() const;

    // The image of a state on a face of the given colour, made on first use.
    QPixmap stateImage(State state, const QColor &face, const QPalette &palette);
    bool isCached(State state) const { return !m_images[state].isNull(); }
    // How many state images were made so far; tells a test whether a cache was reused.
    int imagesMade() const { return m_imagesMade; }
    void dropImages();

private:
    QImage slice(int index) const;
    bool isTransparent(QRgb pixel) const;
    QImage makeImage(State state, const QColor &face, const QPalette &palette) const;

    QPixmap m_glyph;
    QColor m_transparent = QColor(128, 128, 0);
    int m_numGlyphs = 1;
    std::array<QPixmap, 4> m_images;
    int m_imagesMade = 0;
};
