#include "saving/SaveController.h"

#include "app/AppState.h"
#include "app/CommandGuard.h"
#include "app/Histories.h"
#include "app/MainUi.h"
#include "app/ModeController.h"
#include "browser/Browser.h"
#include "history/TMYcustomhistory.h"
#include "marking/TMyStatusBar.h"
#include "saving/DocumentWriter.h"
#include "saving/SaveToChooser.h"
#include "support/DateUtils.h"
#include "support/Dialogs.h"
#include "support/FileUtils.h"
#include "support/PathUtils.h"

#include <QAction>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QTimer>

#include <stdexcept>

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

SaveController::SaveController(Services services, QObject *parent) : QObject(parent), m_s(std::move(services))
{
}

void SaveController::connectCommands()
{
    MainUi &ui = m_s.ui;
    Dialogs &dialogs = m_s.dialogs;
    connectCommand(ui.SaveMI, this, dialogs, [this] { SaveMIClick(); });
    connect(ui.SaveB, &QAction::triggered, ui.SaveMI, [&ui] { ui.SaveMI->trigger(); });
    connectCommand(ui.SaveasMI, this, dialogs, [this] { SaveasMIClick(); });
    connectCommand(ui.RenAsMI, this, dialogs, [this] { RenAsMIClick(); });
    connectCommand(ui.NewMI, this, dialogs, [this] { NewMIClick(); });
    connectCommand(ui.Defaultsaveto1, this, dialogs, [this] { Defaultsaveto1Click(); });
    connectCommand(ui.PrependFilenameMI, this, dialogs, [this] { PrependFilenameMIClick(); });
    connectCommand(ui.UseSelection4FilenameMI, this, dialogs, [this] { UseSelection4FilenameMIClick(); });
    connect(ui.Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(&m_s.modes, &ModeController::editModeEntered, this, [this] { takeSnapshot(); });
}

void SaveController::status(const QString &text)
{
    m_s.ui.StB1->ShowStatusText(text);
}

void SaveController::writeArchive(DocumentWriter &writer, const QString &path, const QString &sourceArchive)
{
    const QScopedValueRollback busy(m_busy, true);
    // A big page takes a while; the window cannot repaint until it is written.
    const QString before = m_s.ui.StB1->statusText();
    status(QStringLiteral("Saving..."));
    m_s.ui.StB1->repaint();
    try {
        writer.SaveDocAsMht(path, sourceArchive);
    } catch (...) {
        status(before);
        throw;
    }
}

void SaveController::SaveMIClick()
{
    const QString name = m_s.browser.LocationName();
    if (name.contains(Untitled)) {
        status(QStringLiteral("Please do not save to the temporary filename containing \"untitled\""));
        SaveasMIClick();
        return;
    }
    // The box holds a local file's path; a typed file: address names it too.
    const QString openFile = UrlToPath(m_s.ui.URLs->text());
    QString target;
    if (m_s.state.EditableExtensions.contains(extensionOf(name)) && QFileInfo(openFile).isAbsolute()) {
        target = openFile;
    } else {
        // A page title may hold characters a file name cannot.
        target = m_s.state.DefaultSaveFolder + QLatin1Char('/') + SafeFileName(name, false) + QStringLiteral(".mht");
    }

    DocumentWriter writer(m_s.browser, m_s.dialogs);
    const QString ext = extensionOf(target);
    if (ext == QStringLiteral(".mht") || ext == QStringLiteral(".eml"))
        writeArchive(writer, target, QFileInfo(openFile).isAbsolute() ? openFile : QString());
    else if (!writer.SaveDocAsHtml(target))
        return; // reported by the writer; the changes are still unsaved
    if (!m_s.state.SurfMode)
        m_s.browser.setDesignMode(QStringLiteral("On"));

    for (TMYcustomhistory *list : m_s.histories.fileLists())
        list->AddItem(target);
    writer.confsavedsize(target, [this](const QString &text) { status(text); });
    m_s.modes.SetSaveEnabled(false);
    m_s.state.LastDocSnapshot = JustSaved;
}

void SaveController::SaveasMIClick()
{
    AppState &state = m_s.state;
    const bool renaming = state.RenameAsPending;
    state.RenameAsPending = false;
    if (!m_s.saveTo)
        throw std::runtime_error("The Save-to dialog is not available.");

    SaveToChooser::Request request;
    request.caption = renaming ? QStringLiteral("Rename to...") : QStringLiteral("Save to...");
    const QString oldPath = m_s.ui.URLs->text();
    const QString locationName = m_s.browser.LocationName();
    const bool oldWasUntitled = locationName.contains(Untitled);

    request.title = FileNameNoExt(SafeFileName(locationName, false));
    const QString selection = m_s.browser.selectionText();
    if (!selection.isEmpty() && state.UseSelectionForFilename && !renaming)
        request.title = (state.PrependFilename ? DatePrefix() + QLatin1Char('-') : QString()) + selection;
    request.folders = m_s.histories.MoveH->histlist();
    request.startFolder = state.DefaultSaveFolder;

    if (!m_s.saveTo->choose(request, state.SaveToFolder, state.SaveToName)) {
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
    DocumentWriter writer(m_s.browser, m_s.dialogs);
    writeArchive(writer, path, QFileInfo(oldFile).isAbsolute() ? oldFile : QString());
    m_s.modes.SetSaveEnabled(false);

    for (TMYcustomhistory *list : m_s.histories.fileLists())
        list->AddItem(path);
    m_s.histories.MoveH->AddItem(dir);

    m_s.ui.URLs->setText(path);
    writer.confsavedsize(path, [this](const QString &text) { status(text); });
    m_s.modes.SetSaveEnabled(false);

    // Saving onto the open file itself must keep the file just written.
    if ((renaming || oldWasUntitled) && !SameFile(oldFile, path)) {
        QFile::remove(oldFile);
        for (TMYcustomhistory *list :
             {m_s.histories.allH, m_s.histories.startH, m_s.histories.renH, m_s.histories.delH, m_s.histories.backH})
            list->RemoveItem(oldPath);
    }

    m_s.modes.updateCaption(QFileInfo(path).fileName());
    m_s.browser.Navigate(path);
    waitForPage();
    reopenInDesignMode();
    // Timer ticks during the wait saw the page loading, and the reloaded page
    // serialises differently; neither is a change of the user's.
    m_s.modes.SetSaveEnabled(false);
    state.LastDocSnapshot = JustSaved;
}

void SaveController::RenAsMIClick()
{
    m_s.state.RenameAsPending = true;
    m_s.ui.SaveasMI->trigger();
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
    if (!m_s.dialogs.AskYesNo(QStringLiteral("The given path does not exist. I try to create it?")))
        return false;
    ForceDir(dir);
    if (IsDirectory(dir))
        return true;
    m_s.dialogs.ShowErrorMsg(QStringLiteral("Creating of path ") + dir + QStringLiteral(" failed!"));
    return false;
}

bool SaveController::confirmOverwrite(const QString &path)
{
    return m_s.dialogs.AskYesNo(path +
                                QStringLiteral(" exists already. If you continue this file will be overwritten! ") +
                                QStringLiteral("Continue?"));
}

void SaveController::NewMIClick()
{
    const AppState &state = m_s.state;
    const QString path =
        state.DefaultSaveFolder + QLatin1Char('/') +
        (state.PrependFilename ? DatePrefix() + QStringLiteral("-untitled.mht") : QStringLiteral("untitled.mht"));
    if (QFileInfo::exists(path) && !confirmOverwrite(path))
        return;
    // The default folder is the documents folder at first, which a fresh
    // desktop may not have yet.
    ForceDir(state.DefaultSaveFolder);
    // A failed copy has been reported; there is nothing to open.
    if (!CopyFileKeepDate(state.ExeFolder + QStringLiteral("/untitled.mht"), path, m_s.dialogs, m_s.beep))
        return;
    if (!m_s.openFile)
        throw std::runtime_error("Opening files is not available.");
    m_s.openFile(path);
    m_s.modes.seteditmode(false);
}

void SaveController::Defaultsaveto1Click()
{
    if (!m_s.chooseFolder)
        throw std::runtime_error("The location chooser is not available.");
    QString chosen =
        m_s.chooseFolder(QStringLiteral("Give Default destination to save to."), m_s.state.DefaultSaveFolder);
    if (chosen.isEmpty())
        return;
    StripBackslash(chosen);
    m_s.state.DefaultSaveFolder = chosen;
    status(QStringLiteral("Default location to save to: ") + chosen);
}

void SaveController::PrependFilenameMIClick()
{
    m_s.state.PrependFilename = !m_s.state.PrependFilename;
    m_s.ui.PrependFilenameMI->setChecked(m_s.state.PrependFilename);
}

void SaveController::UseSelection4FilenameMIClick()
{
    m_s.state.UseSelectionForFilename = !m_s.state.UseSelectionForFilename;
    m_s.ui.UseSelection4FilenameMI->setChecked(m_s.state.UseSelectionForFilename);
}

void SaveController::Timer1Timer()
{
    AppState &state = m_s.state;
    const quint64 changes = m_s.browser.documentChanges();
    // Reading a big page costs far more than a tick: an unchanged one is left
    // unread, except that the first tick after a save takes a fresh snapshot.
    // A tick that comes while a save or an earlier tick waits for the page
    // would only read it twice; one that comes while any other call waits
    // (a mark waiting for the engine to draw it) would hold that call up
    // until the page was read. A page still loading (Save As reopening the
    // file) is nobody's change, and a big one takes seconds to read half
    // loaded. All are left to a later tick.
    if (m_busy || m_s.browser.isWaiting() || m_s.browser.Busy() ||
        (changes == m_seenChanges && state.LastDocSnapshot != JustSaved))
        return;
    QString text;
    try {
        const QScopedValueRollback busy(m_busy, true);
        text = DocumentWriter(m_s.browser, m_s.dialogs).GetDocHtml();
    } catch (const std::exception &) {
        // A page that cannot be read right now is looked at again next tick;
        // an error box every second would lock the user out.
        return;
    }
    m_seenChanges = changes;
    if (text != state.LastDocSnapshot) {
        if (!state.SurfMode && state.LastDocSnapshot != JustSaved)
            m_s.modes.SetSaveEnabled(true);
        state.LastDocSnapshot = text;
    }
}

void SaveController::takeSnapshot()
{
    // The change timer may run already (edit mode entered again): a tick
    // inside this read (a big page takes longer than one) would compare with
    // the old snapshot and enable Save on an unchanged page.
    const QScopedValueRollback busy(m_busy, true);
    const quint64 changes = m_s.browser.documentChanges();
    try {
        m_s.state.LastDocSnapshot = DocumentWriter(m_s.browser, m_s.dialogs).GetDocHtml();
        m_seenChanges = changes;
    } catch (const std::exception &) {
        // Unreadable now: the detector's next reading becomes the baseline
        // instead of counting as a change.
        m_s.state.LastDocSnapshot = JustSaved;
    }
}

void SaveController::reopenInDesignMode()
{
    // Design mode belongs to edit mode; a page saved in surf mode stays read-only.
    if (!m_s.state.SurfMode)
        m_s.browser.setDesignMode(QStringLiteral("On"));
}

void SaveController::waitForPage()
{
    if (m_s.waitTillComplete) {
        m_s.waitTillComplete();
        return;
    }
    while (m_s.browser.ReadyState() != 4) {
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        connect(&m_s.browser, &Browser::DocumentComplete, &loop, &QEventLoop::quit);
        loop.exec();
    }
}
