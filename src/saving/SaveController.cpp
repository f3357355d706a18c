#include "saving/SaveController.h"

#include "browser/Browser.h"
#include "history/TMYcustomhistory.h"
#include "marking/TMyStatusBar.h"
#include "saving/DocumentWriter.h"
#include "saving/SaveToChooser.h"
#include "support/DateUtils.h"
#include "support/Dialogs.h"
#include "support/FileUtils.h"
#include "support/PathUtils.h"
#include "window/AppState.h"
#include "window/ArchiveChanges.h"
#include "window/CommandGuard.h"
#include "window/EditModes.h"
#include "window/FolderChooser.h"
#include "window/Histories.h"
#include "window/MainUi.h"
#include "window/Navigator.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QTimer>

namespace {
const QString JustSaved = QStringLiteral("justsaved");
const QString Untitled = QStringLiteral("untitled");

// The extension of the last path element, lower case, with its dot; "" when none.
QString extensionOf(const QString &name)
{
    const QString last = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : last.mid(dot).toLower();
}
} // namespace

SaveController::SaveController(AppState &state, MainUi &ui, Histories &histories, Browser &browser, Dialogs &dialogs,
                               EditModes &modes, Navigator &navigator, ArchiveChanges &archives, SaveToChooser &saveTo,
                               FolderChooser &folders, Beeper beep, QObject *parent)
    : QObject(parent), m_state(state), m_ui(ui), m_histories(histories), m_browser(browser), m_dialogs(dialogs),
      m_modes(modes), m_navigator(navigator), m_archives(archives), m_saveTo(saveTo), m_folders(folders),
      m_beep(std::move(beep))
{
}

void SaveController::connectCommands()
{
    MainUi &ui = m_ui;
    Dialogs &dialogs = m_dialogs;
    connectCommand(ui.SaveMI, this, dialogs, [this] { SaveMIClick(); });
    connect(ui.SaveB, &QAction::triggered, ui.SaveMI, [&ui] { ui.SaveMI->trigger(); });
    connectCommand(ui.SaveasMI, this, dialogs, [this] { SaveasMIClick(); });
    connectCommand(ui.RenAsMI, this, dialogs, [this] { RenAsMIClick(); });
    connectCommand(ui.NewMI, this, dialogs, [this] { NewMIClick(); });
    connectCommand(ui.Defaultsaveto1, this, dialogs, [this] { Defaultsaveto1Click(); });
    connectCommand(ui.PrependFilenameMI, this, dialogs, [this] { PrependFilenameMIClick(); });
    connectCommand(ui.UseSelection4FilenameMI, this, dialogs, [this] { UseSelection4FilenameMIClick(); });
    connect(ui.Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(&m_modes, &EditModes::editModeEntered, this, [this] { takeSnapshot(); });
}

void SaveController::status(const QString &text)
{
    m_ui.StB1->ShowStatusText(text);
}

bool SaveController::writeArchive(DocumentWriter &writer, const QString &path, const QString &sourceArchive)
{
    const QScopedValueRollback busy(m_busy, true);
    // A big page takes a while; the window cannot repaint until it is written.
    const QString before = m_ui.StB1->statusText();
    status(QStringLiteral("Saving..."));
    m_ui.StB1->repaint();
    // An enabled Save is the program's mark of unsaved changes.
    const FileWriteResult written = writer.SaveDocAsMht(path, sourceArchive, m_ui.SaveMI->isEnabled());
    if (written.ok())
        return true;
    status(before);
    m_dialogs.ShowErrorMsg(written.error);
    return false;
}

void SaveController::SaveMIClick()
{
    const QString name = m_browser.LocationName();
    if (name.contains(Untitled)) {
        status(QStringLiteral("Please do not save to the temporary filename containing \"untitled\""));
        SaveasMIClick();
        return;
    }
    // The box holds a local file's path; a typed file: address names it too.
    const QString openFile = UrlToPath(m_ui.URLs->text());
    QString target;
    if (m_state.EditableExtensions.contains(extensionOf(name)) && QFileInfo(openFile).isAbsolute()) {
        target = openFile;
    } else {
        // A page title may hold characters a file name cannot.
        target = m_state.DefaultSaveFolder + QLatin1Char('/') + SafeFileName(name, false) + QStringLiteral(".mht");
    }

    DocumentWriter writer(m_browser, m_dialogs, &m_rootEncoding);
    const QString ext = extensionOf(target);
    // Either way a failure has been reported; the changes are still unsaved.
    if (ext == QStringLiteral(".mht") || ext == QStringLiteral(".eml")) {
        if (!writeArchive(writer, target, QFileInfo(openFile).isAbsolute() ? openFile : QString()))
            return;
    } else if (!writer.SaveDocAsHtml(target)) {
        return;
    }
    if (!m_state.SurfMode)
        m_browser.setDesignMode(QStringLiteral("On"));

    for (TMYcustomhistory *list : m_histories.fileLists())
        list->AddItem(target);
    writer.confsavedsize(target, [this](const QString &text) { status(text); });
    m_archives.archivesChanged({target});
    m_modes.SetSaveEnabled(false);
    m_state.LastDocSnapshot = JustSaved;
}

void SaveController::SaveasMIClick()
{
    AppState &state = m_state;
    const bool renaming = state.RenameAsPending;
    state.RenameAsPending = false;

    SaveToChooser::Request request;
    request.caption = renaming ? QStringLiteral("Rename to...") : QStringLiteral("Save to...");
    const QString oldPath = m_ui.URLs->text();
    const QString locationName = m_browser.LocationName();
    const bool oldWasUntitled = locationName.contains(Untitled);

    request.title = FileNameNoExt(SafeFileName(locationName, false));
    const QString selection = m_browser.selectionText();
    if (!selection.isEmpty() && state.UseSelectionForFilename && !renaming)
        request.title = (state.PrependFilename ? DatePrefix() + QLatin1Char('-') : QString()) + selection;
    request.folders = m_histories.MoveH->histlist();
    request.startFolder = state.DefaultSaveFolder;

    if (!m_saveTo.choose(request, state.SaveToFolder, state.SaveToName)) {
        status(QStringLiteral("Cancelled saving"));
        return;
    }

    const QString path = archivePath(state.SaveToFolder, state.SaveToName);
    const QString dir = ExtractDir(path);
    if (!makeFolder(dir))
        return;
    if (QFileInfo::exists(path) && !confirmOverwrite(path))
        return;

    const QString oldFile = UrlToPath(oldPath);
    DocumentWriter writer(m_browser, m_dialogs, &m_rootEncoding);
    if (!writeArchive(writer, path, QFileInfo(oldFile).isAbsolute() ? oldFile : QString()))
        return;
    m_modes.SetSaveEnabled(false);

    for (TMYcustomhistory *list : m_histories.fileLists())
        list->AddItem(path);
    m_histories.MoveH->AddItem(dir);

    m_ui.URLs->setText(path);
    writer.confsavedsize(path, [this](const QString &text) { status(text); });
    m_modes.SetSaveEnabled(false);

    // Saving onto the open file itself must keep the file just written.
    if ((renaming || oldWasUntitled) && !SameFile(oldFile, path)) {
        QFile::remove(oldFile);
        for (TMYcustomhistory *list :
             {m_histories.allH, m_histories.startH, m_histories.renH, m_histories.delH, m_histories.backH})
            list->RemoveItem(oldPath);
    }
    m_archives.archivesChanged({path, oldFile});

    m_modes.updateCaption(QFileInfo(path).fileName());
    m_browser.Navigate(path);
    m_navigator.wait_till_complete();
    reopenInDesignMode();
    // Timer ticks during the wait saw the page loading, and the reloaded page
    // serialises differently; neither is a change of the user's.
    m_modes.SetSaveEnabled(false);
    state.LastDocSnapshot = JustSaved;
}

void SaveController::RenAsMIClick()
{
    m_state.RenameAsPending = true;
    m_ui.SaveasMI->trigger();
}

QString SaveController::archivePath(QString folder, const QString &name)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + name + QStringLiteral(".mht");
}

bool SaveController::makeFolder(const QString &dir)
{
    if (IsDirectory(dir))
        return true;
    if (!m_dialogs.AskYesNo(QStringLiteral("The given path does not exist. I try to create it?")))
        return false;
    ForceDir(dir);
    if (IsDirectory(dir))
        return true;
    m_dialogs.ShowErrorMsg(QStringLiteral("Creating of path ") + dir + QStringLiteral(" failed!"));
    return false;
}

bool SaveController::confirmOverwrite(const QString &path)
{
    return m_dialogs.AskYesNo(path +
                              QStringLiteral(" exists already. If you continue this file will be overwritten! ") +
                              QStringLiteral("Continue?"));
}

void SaveController::NewMIClick()
{
    const AppState &state = m_state;
    const QString path =
        state.DefaultSaveFolder + QLatin1Char('/') +
        (state.PrependFilename ? DatePrefix() + QStringLiteral("-untitled.mht") : QStringLiteral("untitled.mht"));
    if (QFileInfo::exists(path) && !confirmOverwrite(path))
        return;
    // The default folder is the documents folder at first, which a fresh
    // desktop may not have yet.
    ForceDir(state.DefaultSaveFolder);
    // A failed copy has been reported; there is nothing to open.
    if (!CopyFileKeepDate(state.ExeFolder + QStringLiteral("/untitled.mht"), path, m_dialogs, m_beep))
        return;
    m_navigator.startHitemclicked(path);
    m_modes.seteditmode(false);
}

void SaveController::Defaultsaveto1Click()
{
    QString chosen =
        m_folders.chooseFolder(QStringLiteral("Give Default destination to save to."), m_state.DefaultSaveFolder);
    if (chosen.isEmpty())
        return;
    StripBackslash(chosen);
    m_state.DefaultSaveFolder = chosen;
    status(QStringLiteral("Default location to save to: ") + chosen);
}

void SaveController::PrependFilenameMIClick()
{
    m_state.PrependFilename = !m_state.PrependFilename;
    m_ui.PrependFilenameMI->setChecked(m_state.PrependFilename);
}

void SaveController::UseSelection4FilenameMIClick()
{
    m_state.UseSelectionForFilename = !m_state.UseSelectionForFilename;
    m_ui.UseSelection4FilenameMI->setChecked(m_state.UseSelectionForFilename);
}

void SaveController::Timer1Timer()
{
    AppState &state = m_state;
    const quint64 changes = m_browser.documentChanges();
    // Reading a big page costs far more than a tick: an unchanged one is left
    // unread, except that the first tick after a save takes a fresh snapshot.
    // A tick that comes while a save or an earlier tick waits for the page
    // would only read it twice; one that comes while any other call waits
    // (a mark waiting for the engine to draw it) would hold that call up
    // until the page was read. A page still loading (Save As reopening the
    // file) is nobody's change, and a big one takes seconds to read half
    // loaded. All are left to a later tick.
    if (m_busy || m_browser.isWaiting() || m_browser.Busy() ||
        (changes == m_seenChanges && state.LastDocSnapshot != JustSaved))
        return;
    Result<QString> html;
    {
        const QScopedValueRollback busy(m_busy, true);
        html = DocumentWriter(m_browser, m_dialogs).GetDocHtml();
    }
    // A page that cannot be read right now is looked at again next tick; an
    // error box every second would lock the user out.
    if (!html.ok())
        return;
    m_seenChanges = changes;
    if (html.value != state.LastDocSnapshot) {
        if (!state.SurfMode && state.LastDocSnapshot != JustSaved)
            m_modes.SetSaveEnabled(true);
        state.LastDocSnapshot = html.value;
    }
}

void SaveController::takeSnapshot()
{
    // The change timer may run already (edit mode entered again): a tick
    // inside this read (a big page takes longer than one) would compare with
    // the old snapshot and enable Save on an unchanged page.
    const QScopedValueRollback busy(m_busy, true);
    const quint64 changes = m_browser.documentChanges();
    const Result<QString> html = DocumentWriter(m_browser, m_dialogs).GetDocHtml();
    if (html.ok()) {
        m_state.LastDocSnapshot = html.value;
        m_seenChanges = changes;
    } else {
        // Unreadable now: the detector's next reading becomes the baseline
        // instead of counting as a change.
        m_state.LastDocSnapshot = JustSaved;
    }
}

void SaveController::reopenInDesignMode()
{
    // Design mode belongs to edit mode; a page saved in surf mode stays read-only.
    if (!m_state.SurfMode)
        m_browser.setDesignMode(QStringLiteral("On"));
}
