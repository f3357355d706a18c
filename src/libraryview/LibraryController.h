#pragma once

#include "library/LibraryIndexer.h"
#include "window/ArchiveChanges.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QTimer>

struct AppState;
struct MainUi;
class Dialogs;
class FolderChooser;
class LibraryWorker;
class QLabel;
class QToolButton;
class QWidget;

// Keeps the library's index up to date while the window runs: every archive
// of the histories and of the library folders, looked at a minute after
// start-up, after each change in a library folder, and at once for the
// archives the program itself writes, renames, moves or deletes. The work
// runs on a thread of its own; the window never waits for it, and a run
// over the folders shows its progress in the status bar with a button that
// cancels it.
class LibraryController : public QObject, public ArchiveChanges
{
    Q_OBJECT
public:
    static constexpr int StartDelayMs = 60000;
    // A folder that changes is looked at once it has been quiet this long.
    static constexpr int SettleMs = 2000;
    // Watching costs the system a handle per folder: the rest is found by the runs.
    static constexpr int MostWatchedFolders = 256;

    // folders is the location chooser, for the library folders dialog;
    // window is the dialog's parent.
    LibraryController(AppState &state, MainUi &ui, Dialogs &dialogs, FolderChooser &folders, QWidget &window,
                      QObject *parent = nullptr);
    // Cancels what runs and waits for the worker to stop.
    ~LibraryController() override;

    QString indexPath() const;
    // The folders the library takes its archives from.
    QStringList folders() const;

    // Connects "Library folders..." and the status bar's Cancel.
    void connectCommands();
    // Schedules the first run over the library.
    void start(int delayMs = StartDelayMs);
    // A run over the library now (after the one that runs, if any).
    void indexNow();
    void cancel();
    // Whether the worker has a run or an update in hand.
    bool busy() const { return m_job != Job::None; }

    void archivesChanged(const QStringList &paths) override;
    void LibraryFoldersMIClick();

Q_SIGNALS:
    // A run or update has written to the index: a search shown may look again.
    void indexChanged();

private:
    enum class Job { None, Run, Update };

    void startNext();
    void finished(const LibraryReport &report);
    void progress(int done, int total, const QString &text);
    void showProgress(bool shown);
    // Watches the folders and their sub-folders, as many as allowed.
    void watch(const QStringList &folders);
    QString settingsPath() const;

    AppState &m_state;
    MainUi &m_ui;
    Dialogs &m_dialogs;
    FolderChooser &m_folders;
    QWidget &m_window;
    QThread m_thread;
    // Lives in m_thread, deleted there when it finishes.
    LibraryWorker *m_worker = nullptr;
    QFileSystemWatcher m_watcher;
    QTimer m_startTimer;
    QTimer m_settleTimer;
    Job m_job = Job::None;
    bool m_runWanted = false;
    QStringList m_changed;
    QLabel *m_progressLabel = nullptr;
    QToolButton *m_cancelButton = nullptr;
};
