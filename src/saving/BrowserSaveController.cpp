#include "saving/BrowserSaveController.h"

#include "browser/Browser.h"
#include "history/TMYcustomhistory.h"
#include "marking/TMyStatusBar.h"
#include "saving/DocumentWriter.h"
#include "support/DateUtils.h"
#include "support/Desktop.h"
#include "support/Dialogs.h"
#include "support/FileUtils.h"
#include "support/PathUtils.h"
#include "support/ScriptStripper.h"
#include "window/AppState.h"
#include "window/ArchiveChanges.h"
#include "window/CommandGuard.h"
#include "window/EditModes.h"
#include "window/Histories.h"
#include "window/MainUi.h"
#include "window/Navigator.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>

#include <cerrno>
#include <cstdio>
#include <stdexcept>

namespace {

QString suffixFor(Browser::SaveFormat format)
{
    return format == Browser::SaveFormat::SingleFileArchive ? QStringLiteral(".mht") : QStringLiteral(".htm");
}

// Every line ends with CR LF, the last one too, as a text box saves its lines.
QByteArray asCrLfLines(const QString &text)
{
    if (text.isEmpty())
        return {};
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineBreak);
    if (lines.last().isEmpty())
        lines.removeLast();
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace

BrowserSaveController::BrowserSaveController(AppState &state, MainUi &ui, Histories &histories, Browser &browser,
                                             Dialogs &dialogs, Desktop &desktop, EditModes &modes, Navigator &navigator,
                                             ArchiveChanges &archives, Beeper beep, QObject *parent)
    : QObject(parent), m_state(state), m_ui(ui), m_histories(histories), m_browser(browser), m_dialogs(dialogs),
      m_desktop(desktop), m_modes(modes), m_navigator(navigator), m_archives(archives), m_beep(std::move(beep))
{
}

QString BrowserSaveController::archiveFilter()
{
    return QStringLiteral("Web archive, single file (*.mht *.mhtml)");
}

QString BrowserSaveController::completePageFilter()
{
    return QStringLiteral("Web page, complete (*.htm *.html)");
}

QString BrowserSaveController::htmlOnlyFilter()
{
    return QStringLiteral("Web page, HTML only (*.htm *.html)");
}

void BrowserSaveController::connectCommands()
{
    MainUi &ui = m_ui;
    connectCommand(ui.SaveAsIEMI, this, m_dialogs, [this] { SaveAsIEMIClick(); });
    connectCommand(ui.SaveasIEB, this, m_dialogs, [this] { SaveasIEBClick(); });
    connectCommand(ui.SavewhenIEfailsMI, this, m_dialogs, [this] { SavewhenIEfailsMIClick(); });
}

void BrowserSaveController::status(const QString &text)
{
    m_ui.StB1->ShowStatusText(text);
}

void BrowserSaveController::SaveAsIEMIClick()
{
    SaveasIEBClick();
    openNewestFile();
}

void BrowserSaveController::SaveasIEBClick()
{
    const QString name = m_browser.LocationName();
    const QString proposal = QFileInfo(name).isAbsolute() ? QFileInfo(name).completeBaseName() : name;
    QString filter = archiveFilter();
    QString path = m_dialogs.saveFileName(
        QStringLiteral("Save Web Page"),
        m_state.DefaultSaveFolder + QLatin1Char('/') + SafeFileName(proposal, false) + QStringLiteral(".mht"),
        archiveFilter() + QStringLiteral(";;") + completePageFilter() + QStringLiteral(";;") + htmlOnlyFilter(),
        &filter);
    if (path.isEmpty())
        return;
    const Browser::SaveFormat format = filter == completePageFilter() ? Browser::SaveFormat::CompletePage
                                       : filter == htmlOnlyFilter()   ? Browser::SaveFormat::HtmlOnly
                                                                      : Browser::SaveFormat::SingleFileArchive;
    if (QFileInfo(path).suffix().isEmpty())
        path += suffixFor(format);
    // The engine crashes when asked to write into a folder that is not there.
    const QString folder = ExtractDir(path);
    if (!IsDirectory(folder))
        throw std::runtime_error(QStringLiteral("The folder does not exist: %1").arg(folder).toStdString());
    m_browser.saveAs(path, format);
    // What the desktop's own save dialogs do, and how the file is found again.
    m_desktop.addRecentFile(path);
    m_archives.archivesChanged({path});
}

void BrowserSaveController::openNewestFile()
{
    // The list names files themselves: there is no shortcut to resolve.
    QString target = m_desktop.newestRecentEntry();
    if (target.isEmpty()) {
        m_beep();
        status(QStringLiteral("Warning. Could not find most recent file!"));
        return;
    }
    if (IsDirectory(target))
        target = NewestFile(target);
    if (FileDateOf(target) == -1) {
        m_beep();
        status(QStringLiteral("Error. Could not find date of most recent file!"));
        return;
    }
    // An older file is not the one just saved: the user cancelled, or the
    // engine wrote elsewhere.
    if (MSecsBetween(QFileInfo(target).lastModified(), QDateTime::currentDateTime()) > 30000)
        return;
    for (TMYcustomhistory *list : m_histories.fileLists())
        list->AddItem(target);
    m_navigator.startHitemclicked(target);
}

void BrowserSaveController::SavewhenIEfailsMIClick()
{
    // A second run would share the temporary files of this one: the entry
    // stays disabled until this run ends, whatever the mode rules say
    // meanwhile (Qt keeps an action of a disabled group disabled).
    QActionGroup running(nullptr);
    running.setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    running.addAction(m_ui.SavewhenIEfailsMI);
    running.setEnabled(false);
    const auto release = qScopeGuard([&] {
        running.setEnabled(true);
        running.removeAction(m_ui.SavewhenIEfailsMI);
    });
    stripAndSave();
}

void BrowserSaveController::stripAndSave()
{
    const QString chosen = m_dialogs.saveFileName(
        QString(), m_state.DefaultSaveFolder + QLatin1Char('/') + SafeFileName(m_browser.LocationName(), false),
        QStringLiteral("Mht files (*.mht)"));
    if (chosen.isEmpty()) {
        status(QStringLiteral("Cancelled saving"));
        return;
    }
    const QString target =
        chosen.endsWith(QStringLiteral(".mht"), Qt::CaseInsensitive) ? chosen : chosen + QStringLiteral(".mht");
    const QString temp = chosen + QStringLiteral("__tmp0.htm");
    const QString src = m_state.ExeFolder + QStringLiteral("/fromzqtmp1.htm");
    const QString dst = m_state.ExeFolder + QStringLiteral("/tozqtmp2.htm");
    // The pieces are appended: what an interrupted run left must not end up
    // in front of this page. And nothing of this run outlives it.
    const auto removeTemporaries = [&] {
        for (const QString &file : {temp, src, dst})
            QFile::remove(file);
    };
    removeTemporaries();
    const auto cleanUp = qScopeGuard(removeTemporaries);

    if (m_browser.LocationURL().isEmpty()) {
        m_dialogs.ShowMsg(QStringLiteral("No page available!"));
        return;
    }
    {
        QFile file(temp);
        const QByteArray body = asCrLfLines(m_browser.bodyOuterHtml());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(body) != body.size() || !file.flush())
            throw std::runtime_error(
                QStringLiteral("Could not write %1: %2").arg(temp, file.errorString()).toStdString());
    }

    status(QStringLiteral("start removing"));
    if (!AppendFile(temp, src, m_dialogs, m_beep))
        return;
    const std::optional<int> count = StripScriptBlocks(src, dst, m_dialogs, [] { QCoreApplication::processEvents(); });
    if (!count)
        return;
    status(QString::number(*count) + QStringLiteral(" scripts removed"));

    QFile::remove(temp);
    errno = 0;
    if (std::rename(QFile::encodeName(dst).constData(), QFile::encodeName(temp).constData()) != 0) {
        // Going on would save whatever the browser shows for a missing file.
        m_dialogs.ShowMsg(QStringLiteral("rename mislukt") + QString::number(errno));
        return;
    }
    status(QStringLiteral("rename OK"));
    QFile::remove(src);

    // The stripped body may still hold event-handler attributes: the page
    // runs none of its own scripts.
    m_browser.NavigateWithoutScripts(temp);
    m_navigator.wait_till_complete();
    m_dialogs.ShowMsg(QStringLiteral("Please wait and press ok after loading..."));

    DocumentWriter writer(m_browser, m_dialogs);
    const FileWriteResult written = writer.SaveDocAsMht(target);
    if (!written.ok()) {
        m_dialogs.ShowErrorMsg(written.error);
        return;
    }
    m_desktop.addRecentFile(target);
    for (TMYcustomhistory *list : m_histories.fileLists())
        list->AddItem(target);
    m_browser.Navigate(target);
    QFile::remove(temp);
    m_histories.allH->RemoveItem(temp);
    writer.confsavedsize(target, [this](const QString &text) { status(text); });
    m_archives.archivesChanged({target});
    m_modes.SetSaveEnabled(true);
}
