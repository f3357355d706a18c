#pragma once

#include "support/SystemUtils.h"

#include <QObject>
#include <QString>
#include <functional>

struct AppState;
struct Histories;
struct MainUi;
class Browser;
class Dialogs;
class DocumentWriter;
class ModeController;
class SaveToChooser;

// Keeping a marked page: Save, Save As, Rename As, New, the default save
// folder, the two naming options and the change detector that enables Save.
class SaveController : public QObject
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
        ModeController &modes;
        // The Save-to dialog; Save As refuses with a message when there is none.
        SaveToChooser *saveTo = nullptr;
        // The location chooser: (caption, start folder) -> the chosen folder,
        // empty when cancelled.
        std::function<QString(const QString &, const QString &)> chooseFolder;
        // Opens a file the way the file-open history does: address box,
        // navigation, wait, histories, surf mode.
        std::function<void(const QString &)> openFile;
        // Waits until the browser's document is complete.
        std::function<void()> waitTillComplete;
        Beeper beep;
    };

    explicit SaveController(Services services, QObject *parent = nullptr);

    // Connects the menu items, the Save button and the change timer.
    void connectCommands();

    void SaveMIClick();
    void SaveasMIClick();
    void RenAsMIClick();
    void NewMIClick();
    void Defaultsaveto1Click();
    void PrependFilenameMIClick();
    void UseSelection4FilenameMIClick();
    void Timer1Timer();
    // The change detector's baseline: the page as it is when edit mode starts.
    void takeSnapshot();

    // The overwrite question of Save As and New; true to go on.
    bool confirmOverwrite(const QString &path);
    // The archive a Save-to choice names: folder + "/" + name + ".mht".
    static QString archivePath(QString folder, const QString &name);
    // Offers to create a missing folder; true when it exists afterwards.
    bool makeFolder(const QString &dir);
    // The Save-to dialog, which the clipboard page may replace by a new one.
    void setSaveTo(SaveToChooser *saveTo) { m_s.saveTo = saveTo; }

private:
    void status(const QString &text);
    // SaveDocAsMht with "Saving..." in the status bar meanwhile and no
    // change detector tick in between.
    void writeArchive(DocumentWriter &writer, const QString &path, const QString &sourceArchive);
    void reopenInDesignMode();
    void waitForPage();

    Services m_s;
    // The browser's change count when the detector last read the page.
    quint64 m_seenChanges = 0;
    // A save or a tick is waiting for the page.
    bool m_busy = false;
};
