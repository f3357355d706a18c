#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

struct AppState;
struct Histories;
struct MainUi;
class Browser;
class Desktop;
class Dialogs;
class ModeController;
class SettingsFile;

// Start-up and shutdown: creating the settings file on the first run, reading
// and writing it, the start-up navigation, and the Exit command.
class LifecycleController : public QObject
{
    Q_OBJECT
public:
    struct Steps
    {
        // Paints the Mark button's swatch: (colour, kind 0 normal / 1 disabled / 2 hot).
        std::function<void(std::uint32_t, int)> setmarkglyph;
        // Clicks Save (the Yes answer of the exit question).
        std::function<void()> save;
        // Closes the main window without further questions.
        std::function<void()> close;
        // Waits until the browser's document is complete.
        std::function<void()> waitTillComplete;
    };

    LifecycleController(AppState &state, MainUi &ui, Histories &histories, Browser &browser, Dialogs &dialogs,
                        Desktop &desktop, ModeController &modes, SettingsFile &settings, Steps steps,
                        QObject *parent = nullptr);

    // The creation steps that touch the settings file: creates it on the
    // first run (with its message), then reads every key into the state and
    // the menu check marks.
    void createSettings();
    void readSettings();
    // The first activation: opens the command-line file, the best-practice
    // page on the first run or the home page, then switches to surf mode.
    void FormActivate(const QStringList &arguments);
    // Writes every setting; throws when the file cannot be written.
    void FormClose();
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
    Steps m_steps;
};
