#pragma once

#include "support/SystemUtils.h"

#include <QObject>
#include <QString>
#include <functional>

struct AppState;
struct Histories;
struct MainUi;
class Browser;
class Desktop;
class Dialogs;
class ModeController;

// The two fall-back saves: the engine's own Save As, after which the file it
// wrote is found as the newest recently-used entry and opened, and the save
// that strips every script block from the page's body before writing it as
// an archive.
class BrowserSaveController : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        AppState &state;
        MainUi &ui;
        Histories &histories;
        Browser &browser;
        Dialogs &dialogs;
        Desktop &desktop;
        ModeController &modes;
        // Opens a file the way the file-open history does.
        std::function<void(const QString &)> openFile;
        // Waits until the browser's document is complete.
        std::function<void()> waitTillComplete;
        Beeper beep;
    };

    explicit BrowserSaveController(Services services, QObject *parent = nullptr);

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

    Services m_s;
};
