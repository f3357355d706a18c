#pragma once

#include "support/AtomicFile.h"

#include <QObject>
#include <QStringList>

struct AppState;
struct Histories;
struct MainUi;
class Browser;
class Desktop;
class Dialogs;
class MarkingController;
class ModeController;
class Navigator;
class QWidget;
class SettingsFile;

// Start-up and shutdown: creating the settings file on the first run, reading
// and writing it, the start-up navigation, and the Exit command.
class LifecycleController : public QObject
{
    Q_OBJECT
public:
    // marking paints the Mark button's swatch; navigator waits for the
    // command-line file; window is closed by Exit.
    LifecycleController(AppState &state, MainUi &ui, Histories &histories, Browser &browser, Dialogs &dialogs,
                        Desktop &desktop, ModeController &modes, SettingsFile &settings, MarkingController &marking,
                        Navigator &navigator, QWidget &window, QObject *parent = nullptr);

    // The creation steps that touch the settings file: creates it on the
    // first run (with its message), then reads every key into the state and
    // the menu check marks.
    void createSettings();
    void readSettings();
    // The first activation: opens the command-line file, the best-practice
    // page on the first run or the home page, then switches to surf mode.
    void FormActivate(const QStringList &arguments);
    // Writes every setting; the error says why the file could not be written.
    FileWriteResult FormClose();
    void ExitMIClick();

private:
    // Opens an existing file named on the command line; false when there is
    // none or it cannot be shown.
    bool openCommandLineFile(const QString &argument);

    AppState &m_state;
    MainUi &m_ui;
    Histories &m_histories;
    Browser &m_browser;
    Dialogs &m_dialogs;
    Desktop &m_desktop;
    ModeController &m_modes;
    SettingsFile &m_settings;
    MarkingController &m_marking;
    Navigator &m_navigator;
    QWidget &m_window;
};
