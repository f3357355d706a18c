#include "libraryview/LibraryController.h"

#include "library/LibraryFolders.h"
#include "library/LibraryIndex.h"
#include "library/LibraryWorker.h"
#include "libraryview/LibraryFoldersDialog.h"
#include "marking/TMyStatusBar.h"
#include "support/Dialogs.h"
#include "support/ProfileFile.h"
#include "window/AppState.h"
#include "window/CommandGuard.h"
#include "window/MainUi.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QToolButton>

LibraryController::LibraryController(AppState &state, MainUi &ui, Dialogs &dialogs, FolderChooser &folders,
                                     QWidget &window, QObject *parent)
    : QObject(parent), m_state(state), m_ui(ui), m_dialogs(dialogs), m_folders(folders), m_window(window)
{
    m_thread.setObjectName(QStringLiteral("library"));
    m_worker = new LibraryWorker(indexPath());
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &LibraryWorker::progress, this, &LibraryController::progress);
    connect(m_worker, &LibraryWorker::finished, this, &LibraryController::finished);
    // Reading archives must not take the processor from the window.
    m_thread.start(QThread::LowPriority);

    m_startTimer.setSingleShot(true);
    connect(&m_startTimer, &QTimer::timeout, this, &LibraryController::indexNow);
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(SettleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, &LibraryController::indexNow);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { m_settleTimer.start(); });

    m_progressLabel = new QLabel(m_ui.StB1);
    m_progressLabel->setObjectName(QStringLiteral("LibraryProgressL"));
    m_cancelButton = new QToolButton(m_ui.StB1);
    m_cancelButton->setObjectName(QStringLiteral("LibraryCancelB"));
    m_cancelButton->setText(QStringLiteral("Cancel"));
    m_cancelButton->setToolTip(QStringLiteral("Stop indexing the library; what is indexed stays"));
    m_ui.StB1->addPermanentWidget(m_progressLabel);
    m_ui.StB1->addPermanentWidget(m_cancelButton);
    showProgress(false);
}

LibraryController::~LibraryController()
{
    m_worker->cancel();
    m_thread.quit();
    m_thread.wait();
}

QString LibraryController::indexPath() const
{
    return QDir(m_state.ExeFolder).filePath(QLatin1String(LibraryIndex::FileName));
}

QString LibraryController::settingsPath() const
{
    return QDir(m_state.ExeFolder).filePath(QStringLiteral("quillet.ini"));
}

QStringList LibraryController::folders() const
{
    return LibraryFolders::read(ProfileFile(settingsPath()), m_state.DefaultSaveFolder);
}

void LibraryController::connectCommands()
{
    connectCommand(m_ui.LibraryFoldersMI, this, m_dialogs, [this] { LibraryFoldersMIClick(); });
    connect(m_cancelButton, &QToolButton::clicked, this, &LibraryController::cancel);
}

void LibraryController::start(int delayMs)
{
    m_startTimer.start(delayMs);
}

void LibraryController::indexNow()
{
    m_startTimer.stop();
    m_runWanted = true;
    startNext();
}

void LibraryController::cancel()
{
    m_runWanted = false;
    if (m_job == Job::Run)
        m_worker->cancel();
}

void LibraryController::archivesChanged(const QStringList &paths)
{
    for (const QString &path : paths) {
        if (QDir::isAbsolutePath(path) && LibraryIndexer::isArchiveName(path) && !m_changed.contains(path))
            m_changed << path;
    }
    startNext();
}

void LibraryController::startNext()
{
    if (m_job != Job::None)
        return;
    // What the user just did goes before a look round the folders.
    if (!m_changed.isEmpty()) {
        m_job = Job::Update;
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker, paths = std::exchange(m_changed, {})] { worker->update(paths); },
            Qt::QueuedConnection);
    } else if (m_runWanted) {
        m_runWanted = false;
        m_job = Job::Run;
        const QStringList listed = folders();
        watch(listed);
        // A folder that is not there now (an absent mount) keeps its entries: the indexer tells.
        const LibraryScope scope{listed, LibraryFolders::historyArchives(m_state.ExeFolder)};
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker, scope] { worker->index(scope); }, Qt::QueuedConnection);
    }
}

void LibraryController::progress(int done, int total, const QString &text)
{
    if (m_job != Job::Run)
        return;
    m_progressLabel->setText(text);
    showProgress(done < total);
}

void LibraryController::showProgress(bool shown)
{
    m_progressLabel->setVisible(shown);
    m_cancelButton->setVisible(shown);
}

void LibraryController::finished(const LibraryReport &report)
{
    const Job job = std::exchange(m_job, Job::None);
    showProgress(false);
    if (!report.notice.isEmpty())
        m_ui.StB1->ShowStatusText(report.notice);
    if (!report.result.ok())
        m_ui.StB1->ShowStatusText(report.result.message);
    else if (job == Job::Run && report.cancelled)
        m_ui.StB1->ShowStatusText(QStringLiteral("Indexing cancelled"));
    if (report.read > 0 || report.removed > 0 || !report.notice.isEmpty())
        Q_EMIT indexChanged();
    startNext();
}

void LibraryController::watch(const QStringList &folders)
{
    QStringList wanted;
    for (const QString &folder : folders) {
        if (!QFileInfo(folder).isDir())
            continue;
        wanted << folder;
        QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (wanted.size() < MostWatchedFolders && it.hasNext())
            wanted << it.next();
        if (wanted.size() >= MostWatchedFolders)
            break;
    }
    const QStringList watched = m_watcher.directories();
    QStringList gone;
    for (const QString &folder : watched) {
        if (!wanted.contains(folder))
            gone << folder;
    }
    if (!gone.isEmpty())
        m_watcher.removePaths(gone);
    QStringList added;
    for (const QString &folder : std::as_const(wanted)) {
        if (!watched.contains(folder))
            added << folder;
    }
    if (!added.isEmpty())
        m_watcher.addPaths(added);
}

void LibraryController::LibraryFoldersMIClick()
{
    LibraryFoldersDialog dialog(m_folders, &m_window);
    dialog.setFolders(folders());
    if (dialog.exec() != QDialog::Accepted)
        return;
    ProfileFile settings(settingsPath());
    LibraryFolders::write(settings, dialog.folders());
    if (!settings.save()) {
        m_dialogs.ShowErrorMsg(
            QStringLiteral("Unable to write to %1\n%2").arg(settings.path(), settings.errorString()));
        return;
    }
    indexNow();
}
