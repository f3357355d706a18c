#pragma once

#include "library/LibraryIndexer.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// Runs the indexer for a window on a thread of its own: move it to a
// QThread and call its slots through queued connections; the signals come
// back the same way. It opens its own connection to the index in that thread,
// so it is deleted there too (QThread::finished to deleteLater).
class LibraryWorker : public QObject
{
    Q_OBJECT

public:
    explicit LibraryWorker(QString indexPath, LibraryIndexer::VolumeOf volumeOf = {});
    ~LibraryWorker() override;

    // Thread-safe: stops the running run at its next archive.
    void cancel();

public Q_SLOTS:
    void index(const LibraryScope &scope);
    void update(const QStringList &paths);

Q_SIGNALS:
    // text is the status line: "Indexing 120 of 3,400 archives..."
    void progress(int done, int total, const QString &text);
    void finished(const LibraryReport &report);

private:
    // Opens the index for a run or update, in the worker's thread.
    LibraryIndexer *indexer(LibraryReport &report);
    // Runs work on the indexer and reports its end.
    void runReporting(const std::function<LibraryReport(LibraryIndexer &)> &work);

    QString m_indexPath;
    LibraryIndexer::VolumeOf m_volumeOf;
    std::unique_ptr<LibraryIndex> m_index;
    std::unique_ptr<LibraryIndexer> m_indexer;
    // The indexer is made in the worker's thread; cancel() may come before it.
    std::atomic<LibraryIndexer *> m_running{nullptr};
};
