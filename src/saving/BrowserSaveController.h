#pragma once

#include "support/SystemUtils.h"

#include <QObject>
#include <QString>

struct AppState;
struct Histories;
struct MainUi;
class Browser;
class Desktop;
class Dialogs;
class EditModes;
class Navigator;
class ArchiveChanges;

// The two fall-back saves: the engine's own Save As, after which the file it
// wrote is found as the newest recently-used entry and opened, and the save
// that strips every script block from the page's body before writing it as
// an archive.
class BrowserSaveController : public QObject
{
    Q_OBJECT
public:
    BrowserSaveController(AppState &state, MainUi &ui, Histories &histories, Browser &browser, Dialogs &dialogs,
                          Desktop &desktop, EditModes &modes, Navigator &navigator, ArchiveChanges &archives,
                          Beeper beep, QObject *parent = nullptr);

    void connectCommands();

    void SaveAsIEMIClick();
    void SaveasIEBClick();
    void SavewhenIEfailsMIClick();

    // The save dialog's filters, one per engine format.
    static QString archiveFilter();
    static QString completePageFilter();
    static QString htmlOnlyFilter();

private:
    void status(const QString &text);
    // Finds the newest recently-used file and opens it when it was written
    // in the last 30 seconds.
    void openNewestFile();
    void stripAndSave();

    AppState &m_state;
    MainUi &m_ui;
    Histories &m_histories;
    Browser &m_browser;
    Dialogs &m_dialogs;
    Desktop &m_desktop;
    EditModes &m_modes;
    Navigator &m_navigator;
    ArchiveChanges &m_archives;
    Beeper m_beep;
};
