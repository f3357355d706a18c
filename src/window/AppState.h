#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// The program-wide state shared by the main window's controllers. One
// instance lives in the main window; controllers get a reference.
struct AppState
{
    QString ExeName;
    QString ExeFolder;
    bool FirstRun = false;

    // From the settings file.
    QString DefaultSaveFolder;
    bool AutoEditMode = false;
    bool MhtOnlyEdit = true;
    int MarkRed = 255;
    int MarkGreen = 0;
    int MarkBlue = 0;
    bool SuppressScripts = true;
    bool RegisterMht = false;
    bool LaunchFromIE = true;
    QString BkpDotMhtDef;
    QString BkpDotMhtCont;
    QString BkpIconDef;
    QString BkpOpenDef;
    bool PrependFilename = false;
    bool UseSelectionForFilename = true;

    // Red in the low byte, then green, then blue.
    std::uint32_t MarkColor = 0x0000FF;

    QString ScriptHtmlPath;
    QStringList EditableExtensions;

    bool SurfMode = false;
    bool UserNavigation = false;
    bool HomePending = false;
    bool HistoryStep = false;
    // 0 = last step was Back, 1 = Forward, 2 = ordinary.
    int NavDirection = 2;
    int BackPosition = 0;
    bool CtrlArmed = false;
    bool MaximizePending = true;

    // Saving state.
    bool RenameAsPending = false;
    QString MoveTarget;
    bool MovePending = false;
    QString LastDocSnapshot;
    QString SaveToFolder;
    QString SaveToName;
};

// Colour helpers: red in the low byte, each part taken as its low 8 bits.
inline std::uint32_t RGB(int red, int green, int blue)
{
    return std::uint32_t(red & 0xFF) | (std::uint32_t(green & 0xFF) << 8) | (std::uint32_t(blue & 0xFF) << 16);
}
inline int RedOf(std::uint32_t color)
{
    return int(color & 0xFF);
}
inline int GreenOf(std::uint32_t color)
{
    return int((color >> 8) & 0xFF);
}
inline int BlueOf(std::uint32_t color)
{
    return int((color >> 16) & 0xFF);
}
