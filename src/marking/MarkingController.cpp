#include "marking/MarkingController.h"

#include "browser/Browser.h"
#include "marking/TColorGrid.h"
#include "marking/TMyStatusBar.h"
#include "support/Dialogs.h"
#include "window/AppState.h"
#include "window/CommandGuard.h"
#include "window/EditModes.h"
#include "window/MainUi.h"

#include <QAction>
#include <QIcon>
#include <QImageReader>
#include <QPainter>
#include <QScopeGuard>
#include <QToolBar>

#include <cstdlib>
#include <exception>
#include <utility>

MarkingController::MarkingController(AppState &state, MainUi &ui, Browser &browser, Dialogs &dialogs, EditModes &modes,
                                     QObject *parent)
    : QObject(parent), m_state(state), m_ui(ui), m_browser(browser), m_dialogs(dialogs), m_modes(modes)
{
}

void MarkingController::connectCommands()
{
    const std::pair<QAction *, void (MarkingController::*)()> commands[] = {
        {m_ui.MarkMI, &MarkingController::MarkMIClick},           {m_ui.boldMI, &MarkingController::boldMIClick},
        {m_ui.ItalicMI, &MarkingController::ItalicMIClick},       {m_ui.UndMI, &MarkingController::UndMIClick},
        {m_ui.FormatRemMI, &MarkingController::FormatRemMIClick}, {m_ui.FontMI, &MarkingController::FontMIClick},
        {m_ui.markcolorMI, &MarkingController::markcolorMIClick},
    };
    for (const auto &[action, handler] : commands)
        connectCommand(action, this, m_dialogs, [this, handler = handler] { (this->*handler)(); });

    // A button clicks its menu item, so the item's enabled state guards both.
    const std::pair<QAction *, QAction *> buttons[] = {
        {m_ui.markB, m_ui.MarkMI}, {m_ui.BoldB, m_ui.boldMI},           {m_ui.italicB, m_ui.ItalicMI},
        {m_ui.undB, m_ui.UndMI},   {m_ui.formatremB, m_ui.FormatRemMI}, {m_ui.setcolB, m_ui.markcolorMI},
    };
    for (const auto &[button, menuItem] : buttons)
        connect(button, &QAction::triggered, menuItem, [menuItem = menuItem] { menuItem->trigger(); });

    connect(m_ui.cg1, &TColorGrid::OnClick, this, [this] { runGuarded(m_dialogs, [this] { cg1Click(); }); });
}

void MarkingController::sendCommand(const QString &name, const QVariant &value)
{
    // A failing command throws past SetSaveEnabled: nothing was changed.
    m_browser.execCommand(name, value);
    m_modes.SetSaveEnabled(true);
}

void MarkingController::MarkMIClick()
{
    sendCommand(QStringLiteral("BackColor"), QVariant::fromValue(m_state.MarkColor));
}

void MarkingController::boldMIClick()
{
    sendCommand(QStringLiteral("Bold"), 0);
}

void MarkingController::ItalicMIClick()
{
    sendCommand(QStringLiteral("Italic"), 0);
}

void MarkingController::UndMIClick()
{
    sendCommand(QStringLiteral("Underline"), 0);
}

void MarkingController::FormatRemMIClick()
{
    sendCommand(QStringLiteral("Removeformat"), QVariant());
}

int MarkingController::htmlFontSize(int pointSize)
{
    // Points of the seven HTML sizes; a size goes to the nearest of them.
    static constexpr int points[] = {8, 10, 12, 14, 18, 24, 36};
    int best = 0;
    for (int i = 1; i < 7; ++i) {
        if (std::abs(points[i] - pointSize) < std::abs(points[best] - pointSize))
            best = i;
    }
    return best + 1;
}

void MarkingController::FontMIClick()
{
    if (m_browser.HasDocument()) {
        // The font path reports nothing: a failed font change is not worth a box.
        try {
            if (const auto choice = m_dialogs.chooseFont()) {
                if (!choice->family.isEmpty())
                    m_browser.execCommand(QStringLiteral("FontName"), choice->family);
                // A font sized in pixels has no point size to map.
                if (choice->pointSize > 0)
                    m_browser.execCommand(QStringLiteral("FontSize"), htmlFontSize(choice->pointSize));
                // The document has no style to query, so only the chosen styles are sent.
                if (choice->bold)
                    m_browser.execCommand(QStringLiteral("Bold"), 0);
                if (choice->italic)
                    m_browser.execCommand(QStringLiteral("Italic"), 0);
                if (choice->underline)
                    m_browser.execCommand(QStringLiteral("Underline"), 0);
                if (choice->strikeOut)
                    m_browser.execCommand(QStringLiteral("StrikeThrough"), 0);
            }
        } catch (const std::exception &) {
        }
    }
    m_modes.SetSaveEnabled(true);
}

void MarkingController::markcolorMIClick()
{
    const auto chosen = m_dialogs.chooseColor(m_lastChosenColor);
    if (!chosen)
        return;
    m_lastChosenColor = *chosen;
    m_state.MarkColor = *chosen;
    setmarkglyph(m_state.MarkColor, NormalGlyph);
    setmarkglyph(m_state.MarkColor, HotGlyph);
    m_ui.StB1->ShowStatusText(QStringLiteral("New color set"));
}

void MarkingController::cg1Click()
{
    const std::uint32_t kept = m_state.MarkColor;
    // Also when the mark throws: the pick never changes the default colour
    // and leaves no labels behind.
    const auto restore = qScopeGuard([this, kept] {
        m_state.MarkColor = kept;
        m_ui.cg1->setForegroundEnabled(false);
        m_ui.cg1->setBackgroundEnabled(false);
    });
    m_state.MarkColor = m_ui.cg1->ForegroundCellColor();
    // Called directly rather than through the action, so that the colour is
    // restored before a failure reaches the error box; the action's enabled
    // state still decides.
    if (m_ui.MarkMI->isEnabled())
        MarkMIClick();
}

void MarkingController::setmarkglyph(std::uint32_t colour, int kind)
{
    if (kind < NormalGlyph || kind > HotGlyph)
        return;
    const QSize size = m_ui.ToolBar1->iconSize();
    QPixmap pixmap(size);
    pixmap.fill(m_ui.ToolBar1->palette().color(QPalette::Button));
    QPainter painter(&pixmap);
    QImageReader reader(QStringLiteral(":/icons/15-mark.svg"));
    reader.setScaledSize(size);
    const QImage icon = reader.read();
    if (!icon.isNull())
        painter.drawImage(0, 0, icon);
    const QColor brush =
        kind == DisabledGlyph ? QColor(192, 192, 192) : QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
    // Right and bottom edges exclusive: (4,1) up to (width - 9, height - 6).
    painter.fillRect(QRect(QPoint(4, 1), QPoint(size.width() - 10, size.height() - 7)), brush);
    painter.end();
    m_glyphs[std::size_t(kind)] = pixmap;

    QIcon swatch;
    const QIcon::Mode modes[] = {QIcon::Normal, QIcon::Disabled, QIcon::Active};
    for (int i = 0; i < 3; ++i) {
        if (!m_glyphs[std::size_t(i)].isNull())
            swatch.addPixmap(m_glyphs[std::size_t(i)], modes[i]);
    }
    m_ui.markB->setIcon(swatch);
}

QPixmap MarkingController::glyph(int kind) const
{
    if (kind < NormalGlyph || kind > HotGlyph)
        return {};
    return m_glyphs[std::size_t(kind)];
}
