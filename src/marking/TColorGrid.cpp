#include "marking/TColorGrid.h"

#include "marking/PaintHelpers.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

using PaintHelpers::fillOutlined;

TColorGrid::Palette TColorGrid::DefaultPalette()
{
    return {{{0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
             {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
             {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
             {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}}};
}

TColorGrid::TColorGrid(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    resize(100, 100);
    adjustToGrid();
}

void TColorGrid::setGridOrdering(TGridOrdering ordering)
{
    if (ordering == m_gridOrdering) {
        return;
    }
    m_gridOrdering = ordering;
    m_columns = CellCount >> int(ordering);
    m_rows = 1 << int(ordering);
    adjustToGrid();
    update();
}

void TColorGrid::adjustToGrid()
{
    const QSize fitted(m_columns * cellWidth(), m_rows * cellHeight());
    if (fitted != size() && !m_adjusting) {
        m_adjusting = true;
        resize(fitted);
        m_adjusting = false;
    }
}

void TColorGrid::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    adjustToGrid();
}

void TColorGrid::setForegroundIndex(int index)
{
    if (index < 0 || index >= CellCount || index == m_foregroundIndex || !m_foregroundEnabled) {
        return;
    }
    m_foregroundIndex = index;
    update();
    Q_EMIT OnChange();
}

void TColorGrid::setBackgroundIndex(int index)
{
    if (index < 0 || index >= CellCount || index == m_backgroundIndex || !m_backgroundEnabled) {
        return;
    }
    m_backgroundIndex = index;
    update();
    Q_EMIT OnChange();
}

void TColorGrid::setForegroundEnabled(bool on)
{
    if (on == m_foregroundEnabled) {
        return;
    }
    m_foregroundEnabled = on;
    update();
}

void TColorGrid::setBackgroundEnabled(bool on)
{
    if (on == m_backgroundEnabled) {
        return;
    }
    m_backgroundEnabled = on;
    update();
}

void TColorGrid::setSelection(int index)
{
    if (index < 0 || index >= CellCount || index == m_selection) {
        return;
    }
    m_selection = index;
    update();
}

void TColorGrid::setTabStop(bool on)
{
    m_tabStop = on;
    setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus);
}

void TColorGrid::setCtl3D(bool on)
{
    if (on == m_ctl3D) {
        return;
    }
    m_ctl3D = on;
    update();
}

QColor TColorGrid::cellColor(int index) const
{
    if (index < 0 || index >= CellCount) {
        return {};
    }
    // Cells 8..15 skip the four middle entries of the 20-entry palette.
    const PaletteEntry &entry = m_palette[index < 8 ? index : index + 4];
    return QColor(entry.red, entry.green, entry.blue);
}

std::uint32_t TColorGrid::ForegroundCellColor() const
{
    const QColor c = cellColor(m_foregroundIndex);
    if (!c.isValid()) {
        return 0;
    }
    return std::uint32_t(c.red()) | std::uint32_t(c.green()) << 8 | std::uint32_t(c.blue()) << 16;
}

QRect TColorGrid::cellRect(int index) const
{
    if (index < 0 || index >= CellCount) {
        return {};
    }
    const int w = cellWidth();
    const int h = cellHeight();
    return QRect((index % m_columns) * w, (index / m_columns) * h, w, h);
}

int TColorGrid::cellAt(const QPoint &pos) const
{
    const int x = std::clamp(pos.x(), 0, std::max(0, width() - 1));
    const int y = std::clamp(pos.y(), 0, std::max(0, height() - 1));
    // A grid too small for one pixel per cell still maps every point to a cell.
    const int column = std::min(x / std::max(1, cellWidth()), m_columns - 1);
    const int row = std::min(y / std::max(1, cellHeight()), m_rows - 1);
    return row * m_columns + column;
}

QColor TColorGrid::labelTextColor(const QColor &cell)
{
    auto flip = [](int component) { return component >= 128 ? 0 : 255; };
    return QColor(flip(cell.red()), flip(cell.green()), flip(cell.blue()));
}

void TColorGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    // Only visible while a resize is still being fitted to whole cells.
    painter.fillRect(rect(), palette().color(QPalette::Button));
    for (int i = 0; i < CellCount; ++i) {
        drawCell(painter, i, false);
    }
    drawCell(painter, m_selection, hasFocus());
    drawLabels(painter);
}

void TColorGrid::drawCell(QPainter &painter, int index, bool withSelector) const
{
    const QColor color = cellColor(index);
    if (!color.isValid()) {
        return;
    }
    QRect r = cellRect(index);
    if (m_ctl3D) {
        painter.fillRect(r, palette().color(QPalette::Button));
        r.adjust(1, 1, -1, -1);
        PaintHelpers::frame3D(painter, r, 2, palette().color(QPalette::Dark), palette().color(QPalette::Light));
        painter.fillRect(r, color);
        if (withSelector) {
            PaintHelpers::dottedFocusRect(painter, r.adjusted(1, 1, -1, -1));
        }
        return;
    }
    if (!withSelector) {
        fillOutlined(painter, r, Qt::black, color);
        return;
    }
    fillOutlined(painter, r, Qt::black, color);
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    painter.restore();
    fillOutlined(painter, r.adjusted(2, 2, -2, -2), Qt::black, color);
}

void TColorGrid::drawLabels(QPainter &painter) const
{
    const bool shared = m_foregroundIndex == m_backgroundIndex;
    auto label = [this, &painter](int index, const QString &text) {
        const QColor color = cellColor(index);
        if (!color.isValid()) {
            return;
        }
        painter.setPen(labelTextColor(color));
        painter.drawText(cellRect(index), Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
    };
    if (m_foregroundEnabled) {
        label(m_foregroundIndex, shared && m_backgroundEnabled ? QStringLiteral("FB") : QStringLiteral("FG"));
    }
    // A shared cell gets its "FB" once: drawing it twice would darken its
    // anti-aliased edges.
    if (m_backgroundEnabled && !(shared && m_foregroundEnabled)) {
        label(m_backgroundIndex, QStringLiteral("BG"));
    }
}

void TColorGrid::pickForeground(int cell)
{
    if (!m_foregroundEnabled && m_clickEnablesColor) {
        m_foregroundEnabled = true;
        // Forget the old index so picking the same cell again still counts as a change.
        m_foregroundIndex = -1;
        update();
    }
    setForegroundIndex(cell);
}

void TColorGrid::pickBackground(int cell)
{
    if (!m_backgroundEnabled && m_clickEnablesColor) {
        m_backgroundEnabled = true;
        m_backgroundIndex = -1;
        update();
    }
    setBackgroundIndex(cell);
}

void TColorGrid::press(QMouseEvent *event)
{
    m_pressedButton = event->button();
    m_buttonDown = true;
    const int cell = cellAt(event->position().toPoint());
    // Qt grabs the mouse for every button from press to release, so the
    // other buttons need no explicit capture.
    if (m_pressedButton == Qt::LeftButton) {
        pickForeground(cell);
    } else {
        pickBackground(cell);
    }
    setSelection(cell);
    if (m_tabStop) {
        setFocus(Qt::MouseFocusReason);
    }
}

void TColorGrid::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_leftPressIsDoubleClick = false;
    }
    press(event);
}

void TColorGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_leftPressIsDoubleClick = true;
    }
    press(event);
}

void TColorGrid::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_buttonDown) {
        return;
    }
    const int cell = cellAt(event->position().toPoint());
    if (m_pressedButton == Qt::LeftButton) {
        setForegroundIndex(cell);
    } else {
        setBackgroundIndex(cell);
    }
    setSelection(cell);
}

void TColorGrid::mouseReleaseEvent(QMouseEvent *event)
{
    m_buttonDown = false;
    if (event->button() == Qt::RightButton) {
        Q_EMIT OnClick();
    } else if (event->button() == Qt::LeftButton) {
        const bool completes = !m_leftPressIsDoubleClick && rect().contains(event->position().toPoint());
        m_leftPressIsDoubleClick = false;
        if (completes) {
            Q_EMIT OnClick();
        }
    }
}

int TColorGrid::keyTarget(int key) const
{
    const int last = CellCount - 1;
    switch (key) {
    case Qt::Key_Right:
    case Qt::Key_Space:
        return m_selection >= last ? 0 : m_selection + 1;
    case Qt::Key_Left:
        return m_selection <= 0 ? last : m_selection - 1;
    case Qt::Key_Home:
        return 0;
    case Qt::Key_End:
        return last;
    case Qt::Key_Up:
        if (m_selection <= 0) {
            return last;
        }
        // From the top row to the bottom of the previous column.
        return m_selection < m_columns ? CellCount - m_columns + m_selection - 1 : m_selection - m_columns;
    case Qt::Key_Down:
        if (m_selection >= last) {
            return 0;
        }
        // From the bottom row to the top of the next column.
        return m_selection >= CellCount - m_columns ? m_selection % m_columns + 1 : m_selection + m_columns;
    default:
        return -1;
    }
}

void TColorGrid::keyPressEvent(QKeyEvent *event)
{
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plain && event->key() == Qt::Key_F) {
        pickForeground(m_selection);
        Q_EMIT OnClick();
        return;
    }
    if (plain && event->key() == Qt::Key_B) {
        pickBackground(m_selection);
        Q_EMIT OnClick();
        return;
    }
    const int target = keyTarget(event->key());
    if (target < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    setSelection(target);
}

void TColorGrid::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void TColorGrid::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}
