#pragma once

#include <QObject>
#include <QPixmap>

#include <array>
#include <cstdint>

struct AppState;
struct MainUi;
class Browser;
class Dialogs;
class EditModes;

// The marking and formatting commands of edit mode, the choice of the marking
// colour, the colour grid's one-shot mark and the Mark button's swatch.
class MarkingController : public QObject
{
    Q_OBJECT
public:
    // Which image of the swatch setmarkglyph paints.
    enum GlyphKind { NormalGlyph = 0, DisabledGlyph = 1, HotGlyph = 2 };

    MarkingController(AppState &state, MainUi &ui, Browser &browser, Dialogs &dialogs, EditModes &modes,
                      QObject *parent = nullptr);

    // Connects the menu items, their toolbar buttons and the grid, each
    // through the command guard.
    void connectCommands();

    void MarkMIClick();
    void boldMIClick();
    void ItalicMIClick();
    void UndMIClick();
    void FormatRemMIClick();
    void FontMIClick();
    void markcolorMIClick();
    void cg1Click();

    // Paints the swatch image of one kind and refreshes the Mark button's icon.
    void setmarkglyph(std::uint32_t colour, int kind);
    QPixmap glyph(int kind) const;

    // The HTML font size (1..7) closest to a size in points.
    static int htmlFontSize(int pointSize);

private:
    void sendCommand(const QString &name, const QVariant &value);

    AppState &m_state;
    MainUi &m_ui;
    Browser &m_browser;
    Dialogs &m_dialogs;
    EditModes &m_modes;
    std::array<QPixmap, 3> m_glyphs;
    // What the colour dialog shows next: its last choice in this run.
    std::uint32_t m_lastChosenColor = 0;
};
