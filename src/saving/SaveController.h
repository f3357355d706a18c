#pragma once

#include "archive/QuotedPrintableMemo.h"
#include "support/SystemUtils.h"

#include <QObject>
#include <QString>

struct AppState;
struct Histories;
struct MainUi;
class Browser;
class ArchiveChanges;
class Dialogs;
class DocumentWriter;
class EditModes;
class FolderChooser;
class Navigator;
class SaveToChooser;

// Keeping a marked page: Save, Save As, Rename As, New, the default save
// folder, the two naming options and the change detector that enables Save.
class SaveController : public QObject
{
    Q_OBJECT
public:
    // saveTo is the Save-to dialog, folders the location chooser; archives
    // hears of every archive written or removed.
    SaveController(AppState &state, MainUi &ui, Histories &histories, Browser &browser, Dialogs &dialogs,
                   EditModes &modes, Navigator &navigator, ArchiveChanges &archives, SaveToChooser &saveTo,
                   FolderChooser &folders, Beeper beep, QObject *parent = nullptr);

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

private:
    void status(const QString &text);
    // SaveDocAsMht with "Saving..." in the status bar meanwhile and no
    // change detector tick in between; a failure is shown, and false.
    bool writeArchive(DocumentWriter &writer, const QString &path, const QString &sourceArchive);
    void reopenInDesignMode();

    AppState &m_state;
    MainUi &m_ui;
    Histories &m_histories;
    Browser &m_browser;
    Dialogs &m_dialogs;
    EditModes &m_modes;
    Navigator &m_navigator;
    ArchiveChanges &m_archives;
    SaveToChooser &m_saveTo;
    FolderChooser &m_folders;
    Beeper m_beep;
    // The encoded HTML of the last archive written, for the next save.
    QuotedPrintableMemo m_rootEncoding;
    // The browser's change count when the detector last read the page.
    quint64 m_seenChanges = 0;
    // A save or a tick is waiting for the page.
    bool m_busy = false;
};
