#include "saving/FileManagementController.h"

#include "app/AppState.h"
#include "app/CommandGuard.h"
#include "app/Histories.h"
#include "app/MainUi.h"
#include "browser/Browser.h"
#include "history/TMYcustomhistory.h"
#include "marking/TMyStatusBar.h"
#include "support/Dialogs.h"
#include "support/FileMoves.h"
#include "support/FileUtils.h"
#include "support/PathUtils.h"

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QWidget>

#include <stdexcept>

namespace {
const QString MhtFilter = QStringLiteral("MHT files (*.mht)");

QString joined(const QString &folder, const QString &name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}
} // namespace

FileManagementController::FileManagementController(Services services, QObject *parent)
    : QObject(parent), m_s(std::move(services))
{
}

void FileManagementController::connectCommands()
{
    MainUi &ui = m_s.ui;
    Dialogs &dialogs = m_s.dialogs;
    connectCommand(ui.DelBrowseMI, this, dialogs, [this] { DelBrowseMIClick(); });
    // An entry of a disabled menu ignores its shortcut as it ignores its click.
    connectCommand(ui.RenBrowseMI, this, dialogs, [this] {
        if (m_s.ui.RenMI->isEnabled())
            RenBrowseMIClick();
    });
    connectCommand(ui.MoveBrowseMI, this, dialogs, [this] {
        if (m_s.ui.MoveMI->isEnabled())
            MoveBrowseMIClick();
    });

    auto onClick = [this](TMYcustomhistory *list, void (FileManagementController::*handler)(const QString &)) {
        list->setOnitemclicked([this, handler](TMYcustomhistory *, const QString &entry) {
            runGuarded(m_s.dialogs, [this, handler, entry] { (this->*handler)(entry); });
        });
    };
    onClick(m_s.histories.delH, &FileManagementController::delHitemclicked);
    onClick(m_s.histories.renH, &FileManagementController::renHitemclicked);
    onClick(m_s.histories.MoveH, &FileManagementController::MoveHitemclicked);

    ui.URLs->installEventFilter(this);
}

bool FileManagementController::eventFilter(QObject *watched, QEvent *event)
{
    // A disabled address box takes no clicks, as everywhere else.
    if (watched == m_s.ui.URLs && event->type() == QEvent::MouseButtonDblClick && m_s.ui.URLs->isEnabled())
        runGuarded(m_s.dialogs, [this] { URLsDblClick(); });
    return QObject::eventFilter(watched, event);
}

void FileManagementController::status(const QString &text)
{
    m_s.ui.StB1->ShowStatusText(text);
}

void FileManagementController::delHitemclicked(const QString &path)
{
    if (!m_s.dialogs.AskYesNo(QStringLiteral("Really delete file and its history: ") + path))
        return;
    if (m_s.ui.URLs->text() == path) {
        const auto &leave = m_s.state.SurfMode ? m_s.goHome : m_s.newPage;
        if (!leave)
            throw std::runtime_error("Leaving the open file is not available.");
        leave();
    }
    const Deletion deletion = deleteFile(path);
    if (deletion == Deletion::Declined)
        return;
    if (deletion == Deletion::Failed) {
        m_s.dialogs.ShowMsg(QStringLiteral("Could not delete file. Probably in use or not existing."));
        if (QFileInfo::exists(path))
            return;
    }
    Histories &h = m_s.histories;
    for (TMYcustomhistory *list : h.fileLists())
        list->RemoveItem(path);
}

void FileManagementController::DelBrowseMIClick()
{
    const QString file =
        m_s.dialogs.openFileName(QStringLiteral("Select file to delete"), m_s.state.DefaultSaveFolder, MhtFilter);
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
        m_s.dialogs.ShowWarningMsg(QStringLiteral("Could not delete: ") + file +
                                   QStringLiteral(". Probably in use. Please try remove it manually"));
        break;
    }
}

FileManagementController::Deletion FileManagementController::deleteFile(const QString &file)
{
    switch (MoveToTrash(file)) {
    case TrashOutcome::Trashed:
        return Deletion::ToTrash;
    case TrashOutcome::NotMoved:
        return Deletion::Failed;
    case TrashOutcome::Refused:
        break;
    }
    if (!m_s.dialogs.AskYesNo(QStringLiteral("The trash cannot take ") + file +
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
        m_s.dialogs.openFileName(QStringLiteral("Select file to rename"), m_s.state.DefaultSaveFolder, MhtFilter);
    if (!file.isEmpty())
        renameOrMove(file);
}

void FileManagementController::MoveHitemclicked(const QString &folder)
{
    m_s.state.MoveTarget = folder;
    m_s.state.MovePending = true;
    renameOrMove(m_s.ui.URLs->text());
}

void FileManagementController::MoveBrowseMIClick()
{
    if (!m_s.chooseFolder)
        throw std::runtime_error("The location chooser is not available.");
    AppState &state = m_s.state;
    const QString chosen = m_s.chooseFolder(QStringLiteral("Give destination to move to."), state.DefaultSaveFolder);
    if (chosen.isEmpty())
        return;
    state.MoveTarget = chosen;
    state.MovePending = true;
    // The error box has said why; the status line must not claim a move.
    if (renameOrMove(m_s.ui.URLs->text()))
        status(QStringLiteral("Moving to: ") + state.MoveTarget);
}

bool FileManagementController::renameOrMove(const QString &path)
{
    AppState &state = m_s.state;
    QString newPath;
    if (state.MovePending) {
        if (state.MoveTarget.isEmpty())
            return true;
        StripBackslash(state.MoveTarget);
        newPath = joined(state.MoveTarget, QFileInfo(path).fileName());
        state.MovePending = false;
    } else {
        newPath =
            m_s.dialogs.inputQuery(QStringLiteral("Input Box"), QStringLiteral("Give new name"), path).value_or(path);
    }
    if (newPath == path)
        return true;

    const QString dir = ExtractDir(newPath);
    if (!IsDirectory(dir)) {
        // The user repeats the operation once the folder is there.
        if (m_s.dialogs.AskYesNo(QStringLiteral("The given path does not exist. I try to create it?"))) {
            ForceDir(dir);
            if (!IsDirectory(dir))
                m_s.dialogs.ShowErrorMsg(QStringLiteral("Creating of path ") + dir +
                                         QStringLiteral(" failed! Please check."));
        }
        return true;
    }
    if (!moveFile(path, newPath))
        return false;

    status(QStringLiteral("OK: ") + newPath);
    Histories &h = m_s.histories;
    for (TMYcustomhistory *list : {h.allH, h.startH, h.renH, h.delH, h.MoveH})
        list->ReplaceItem(path, newPath);
    if (m_s.ui.URLs->text().compare(path, Qt::CaseInsensitive) == 0) {
        m_s.ui.URLs->setText(newPath);
        m_s.browser.Navigate(newPath);
    }
    return true;
}

bool FileManagementController::moveFile(const QString &from, const QString &to)
{
    QString reason;
    if (MoveFileNoReplace(from, to, &reason))
        return true;
    m_s.dialogs.ShowErrorMsg(QStringLiteral("Could not move ") + from + QStringLiteral(" to ") + to +
                             QStringLiteral(": ") + reason);
    return false;
}

void FileManagementController::URLsDblClick()
{
    MainUi &ui = m_s.ui;
    const QString newPath = ui.URLs->text();
    const QString oldPath = ui.UrlMemL->text();
    if (m_s.state.SurfMode || oldPath == newPath)
        return;
    const auto answer = m_s.dialogs.message(Dialogs::Kind::Confirm, QStringLiteral("Confirm"),
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
    Histories &h = m_s.histories;
    for (TMYcustomhistory *list : h.fileLists())
        list->ReplaceItem(oldPath, newPath);
    const QString caption = QFileInfo(newPath).fileName() + QStringLiteral(" - Quillet");
    m_s.window.setWindowTitle(caption);
    m_s.dialogs.setApplicationTitle(caption);
    ui.UrlMemL->setText(newPath);
}
