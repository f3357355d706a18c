#include "saving/FileManagementController.h"

#include "saving/SaveController.h"

#include "browser/Browser.h"
#include "history/TMYcustomhistory.h"
#include "marking/TMyStatusBar.h"
#include "support/Dialogs.h"
#include "support/FileMoves.h"
#include "support/FileUtils.h"
#include "support/PathUtils.h"
#include "window/AppState.h"
#include "window/ArchiveChanges.h"
#include "window/CommandGuard.h"
#include "window/FolderChooser.h"
#include "window/Histories.h"
#include "window/MainUi.h"
#include "window/Navigator.h"

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QWidget>

namespace {
const QString MhtFilter = QStringLiteral("MHT files (*.mht)");

QString joined(const QString &folder, const QString &name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}
} // namespace

FileManagementController::FileManagementController(AppState &state, MainUi &ui, Histories &histories, Browser &browser,
                                                   Dialogs &dialogs, QWidget &window, FolderChooser &folders,
                                                   SaveController &saving, Navigator &navigator,
                                                   ArchiveChanges &archives, QObject *parent)
    : QObject(parent), m_state(state), m_ui(ui), m_histories(histories), m_browser(browser), m_dialogs(dialogs),
      m_window(window), m_folders(folders), m_saving(saving), m_navigator(navigator), m_archives(archives)
{
}

void FileManagementController::connectCommands()
{
    MainUi &ui = m_ui;
    Dialogs &dialogs = m_dialogs;
    connectCommand(ui.DelBrowseMI, this, dialogs, [this] { DelBrowseMIClick(); });
    // An entry of a disabled menu ignores its shortcut as it ignores its click.
    connectCommand(ui.RenBrowseMI, this, dialogs, [this] {
        if (m_ui.RenMI->isEnabled())
            RenBrowseMIClick();
    });
    connectCommand(ui.MoveBrowseMI, this, dialogs, [this] {
        if (m_ui.MoveMI->isEnabled())
            MoveBrowseMIClick();
    });

    auto onClick = [this](TMYcustomhistory *list, void (FileManagementController::*handler)(const QString &)) {
        list->setOnitemclicked([this, handler](TMYcustomhistory *, const QString &entry) {
            runGuarded(m_dialogs, [this, handler, entry] { (this->*handler)(entry); });
        });
    };
    onClick(m_histories.delH, &FileManagementController::delHitemclicked);
    onClick(m_histories.renH, &FileManagementController::renHitemclicked);
    onClick(m_histories.MoveH, &FileManagementController::MoveHitemclicked);

    ui.URLs->installEventFilter(this);
}

bool FileManagementController::eventFilter(QObject *watched, QEvent *event)
{
    // A disabled address box takes no clicks, as everywhere else.
    if (watched == m_ui.URLs && event->type() == QEvent::MouseButtonDblClick && m_ui.URLs->isEnabled())
        runGuarded(m_dialogs, [this] { URLsDblClick(); });
    return QObject::eventFilter(watched, event);
}

void FileManagementController::status(const QString &text)
{
    m_ui.StB1->ShowStatusText(text);
}

void FileManagementController::delHitemclicked(const QString &path)
{
    if (!m_dialogs.AskYesNo(QStringLiteral("Really delete file and its history: ") + path))
        return;
    if (m_ui.URLs->text() == path) {
        if (m_state.SurfMode)
            m_navigator.homeBClick();
        else
            m_saving.NewMIClick();
    }
    const Deletion deletion = deleteFile(path);
    if (deletion == Deletion::Declined)
        return;
    if (deletion == Deletion::Failed) {
        m_dialogs.ShowMsg(QStringLiteral("Could not delete file. Probably in use or not existing."));
        if (QFileInfo::exists(path))
            return;
    }
    Histories &h = m_histories;
    for (TMYcustomhistory *list : h.fileLists())
        list->RemoveItem(path);
}

void FileManagementController::DelBrowseMIClick()
{
    const QString file =
        m_dialogs.openFileName(QStringLiteral("Select file to delete"), m_state.DefaultSaveFolder, MhtFilter);
    if (file.isEmpty())
        return;
    switch (deleteFile(file)) {
    case Deletion::ToTrash:
        status(QStringLiteral("Deleted: ") + file);
        break;
    case Deletion::Permanently:
        status(QStringLiteral("Deleted permanently: ") + file);
        break;
    case Deletion::Declined:
        break;
    case Deletion::Failed:
        m_dialogs.ShowWarningMsg(QStringLiteral("Could not delete: ") + file +
                                 QStringLiteral(". Probably in use. Please try remove it manually"));
        break;
    }
}

FileManagementController::Deletion FileManagementController::deleteFile(const QString &file)
{
    const auto reported = qScopeGuard([&] { m_archives.archivesChanged({file}); });
    switch (MoveToTrash(file)) {
    case TrashOutcome::Trashed:
        return Deletion::ToTrash;
    case TrashOutcome::NotMoved:
        return Deletion::Failed;
    case TrashOutcome::Refused:
        break;
    }
    if (!m_dialogs.AskYesNo(QStringLiteral("The trash cannot take ") + file +
                            QStringLiteral("; delete it permanently?")))
        return Deletion::Declined;
    return QFile::remove(file) ? Deletion::Permanently : Deletion::Failed;
}

void FileManagementController::renHitemclicked(const QString &path)
{
    renameOrMove(path);
}

void FileManagementController::RenBrowseMIClick()
{
    const QString file =
        m_dialogs.openFileName(QStringLiteral("Select file to rename"), m_state.DefaultSaveFolder, MhtFilter);
    if (!file.isEmpty())
        renameOrMove(file);
}

void FileManagementController::MoveHitemclicked(const QString &folder)
{
    m_state.MoveTarget = folder;
    m_state.MovePending = true;
    renameOrMove(m_ui.URLs->text());
}

void FileManagementController::MoveBrowseMIClick()
{
    AppState &state = m_state;
    const QString chosen =
        m_folders.chooseFolder(QStringLiteral("Give destination to move to."), state.DefaultSaveFolder);
    if (chosen.isEmpty())
        return;
    state.MoveTarget = chosen;
    state.MovePending = true;
    // The error box has said why; the status line must not claim a move.
    if (renameOrMove(m_ui.URLs->text()))
        status(QStringLiteral("Moving to: ") + state.MoveTarget);
}

bool FileManagementController::renameOrMove(const QString &path)
{
    AppState &state = m_state;
    QString newPath;
    if (state.MovePending) {
        if (state.MoveTarget.isEmpty())
            return true;
        StripBackslash(state.MoveTarget);
        newPath = joined(state.MoveTarget, QFileInfo(path).fileName());
        state.MovePending = false;
    } else {
        newPath =
            m_dialogs.inputQuery(QStringLiteral("Input Box"), QStringLiteral("Give new name"), path).value_or(path);
    }
    if (newPath == path)
        return true;

    const QString dir = ExtractDir(newPath);
    if (!IsDirectory(dir)) {
        // The user repeats the operation once the folder is there.
        if (m_dialogs.AskYesNo(QStringLiteral("The given path does not exist. I try to create it?"))) {
            ForceDir(dir);
            if (!IsDirectory(dir))
                m_dialogs.ShowErrorMsg(QStringLiteral("Creating of path ") + dir +
                                       QStringLiteral(" failed! Please check."));
        }
        return true;
    }
    if (!moveFile(path, newPath))
        return false;

    status(QStringLiteral("OK: ") + newPath);
    Histories &h = m_histories;
    for (TMYcustomhistory *list : {h.allH, h.startH, h.renH, h.delH, h.MoveH})
        list->ReplaceItem(path, newPath);
    if (m_ui.URLs->text().compare(path, Qt::CaseInsensitive) == 0) {
        m_ui.URLs->setText(newPath);
        m_browser.Navigate(newPath);
    }
    return true;
}

bool FileManagementController::moveFile(const QString &from, const QString &to)
{
    QString reason;
    if (MoveFileNoReplace(from, to, &reason)) {
        m_archives.archivesChanged({from, to});
        return true;
    }
    m_dialogs.ShowErrorMsg(QStringLiteral("Could not move ") + from + QStringLiteral(" to ") + to +
                           QStringLiteral(": ") + reason);
    return false;
}

void FileManagementController::URLsDblClick()
{
    MainUi &ui = m_ui;
    const QString newPath = ui.URLs->text();
    const QString oldPath = ui.UrlMemL->text();
    if (m_state.SurfMode || oldPath == newPath)
        return;
    const auto answer = m_dialogs.message(Dialogs::Kind::Confirm, QStringLiteral("Confirm"),
                                          QStringLiteral("Renaming file ") + oldPath + QLatin1Char('\n') +
                                              QStringLiteral("Active contents will be saved in file ") + newPath,
                                          Dialogs::Buttons::OkCancel, Dialogs::Answer::Ok);
    if (answer != Dialogs::Answer::Ok)
        return;
    if (!moveFile(oldPath, newPath)) {
        // Save writes to the address box's file; it must stay the open one.
        ui.URLs->setText(oldPath);
        return;
    }
    Histories &h = m_histories;
    for (TMYcustomhistory *list : h.fileLists())
        list->ReplaceItem(oldPath, newPath);
    const QString caption = QFileInfo(newPath).fileName() + QStringLiteral(" - Quillet");
    m_window.setWindowTitle(caption);
    m_dialogs.setApplicationTitle(caption);
    ui.UrlMemL->setText(newPath);
}
