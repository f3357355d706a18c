#pragma once

#include <QColor>
#include <QWidget>

#include <array>
#include <cstdint>

// A grid of the sixteen standard colours. The left button picks the
// foreground colour, the other buttons the background colour; the picked
// cells carry "FG", "BG" or "FB" labels.
class TColorGrid : public QWidget
{
    Q_OBJECT

public:
    // columns = 16 >> ordinal, rows = 1 << ordinal
    enum TGridOrdering { go16x1, go8x2, go4x4, go2x8, go1x16 };
    Q_ENUM(TGridOrdering)

    static constexpr int CellCount = 16;

    struct PaletteEntry
    {
        quint8 red = 0;
        quint8 green = 0;
        quint8 blue = 0;
        quint8 flags = 0;
    };
    using Palette = std::array<PaletteEntry, 20>;
    // The platform's 20-entry default system palette; the grid skips its four
    // middle entries.
    static Palette DefaultPalette();

    explicit TColorGrid(QWidget *parent = nullptr);

    bool ClickEnablesColor() const { return m_clickEnablesColor; }
    void setClickEnablesColor(bool on) { m_clickEnablesColor = on; }

    TGridOrdering GridOrdering() const { return m_gridOrdering; }
    void setGridOrdering(TGridOrdering ordering);

    // Indexes outside 0..15 are ignored by the setters.
    int ForegroundIndex() const { return m_foregroundIndex; }
    void setForegroundIndex(int index);
    int BackgroundIndex() const { return m_backgroundIndex; }
    void setBackgroundIndex(int index);

    bool ForegroundEnabled() const { return m_foregroundEnabled; }
    void setForegroundEnabled(bool on);
    bool BackgroundEnabled() const { return m_backgroundEnabled; }
    void setBackgroundEnabled(bool on);

    int Selection() const { return m_selection; }
    void setSelection(int index);

    // Whether a click or Tab gives the grid the keyboard focus.
    bool TabStop() const { return m_tabStop; }
    void setTabStop(bool on);

    // 3-D cells (sunken frames) or flat cells with a black outline.
    bool Ctl3D() const { return m_ctl3D; }
    void setCtl3D(bool on);

    // Colour of the foreground cell, red in the low byte, then green, then blue.
    std::uint32_t ForegroundCellColor() const;

    // Invalid for indexes outside 0..15.
    QColor cellColor(int index) const;
    QRect cellRect(int index) const;
    // The cell under a point; points outside are clamped to the nearest edge cell.
    int cellAt(const QPoint &pos) const;
    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    // From the current size, so they hold before a hidden grid is first fitted.
    int cellWidth() const { return width() / m_columns; }
    int cellHeight() const { return height() / m_rows; }

    // Label text colour for a cell colour: each component 0 where the cell's is
    // 128 or more, 255 below.
    static QColor labelTextColor(const QColor &cell);

Q_SIGNALS:
    // A completed pick: left press and release over the grid, a right-button
    // release, or the F and B keys.
    void OnClick();
    // The foreground or background index changed.
    void OnChange();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void adjustToGrid();
    void press(QMouseEvent *event);
    void pickForeground(int cell);
    void pickBackground(int cell);
    int keyTarget(int key) const;
    void drawCell(QPainter &painter, int index, bool withSelector) const;
    void drawLabels(QPainter &painter) const;

    Palette m_palette = DefaultPalette();
    bool m_clickEnablesColor = false;
    TGridOrdering m_gridOrdering = go4x4;
    int m_foregroundIndex = 0;
    int m_backgroundIndex = 0;
    bool m_foregroundEnabled = true;
    bool m_backgroundEnabled = true;
    int m_selection = 0;
    bool m_tabStop = true;
    bool m_ctl3D = true;
    int m_columns = 4;
    int m_rows = 4;
    Qt::MouseButton m_pressedButton = Qt::NoButton;
    bool m_buttonDown = false;
    // The left press of a double click completes no pick on its release.
    bool m_leftPressIsDoubleClick = false;
    bool m_adjusting = false;
};
