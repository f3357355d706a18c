#pragma once

#include "library/LibraryIndex.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// What to index: folders (searched through, sub-folders included) and single files.
struct LibraryScope
{
    QStringList folders;
    QStringList files;
};

// What an indexing run did.
struct LibraryReport
{
    // Archives looked at: those of the scope and those the index knew.
    int seen = 0;
    // Read because they were new or changed.
    int read = 0;
    int unchanged = 0;
    int removed = 0;
    // Kept although their files cannot be reached now (an absent mount).
    int unavailable = 0;
    // Read in this run but not indexed: path and the reason.
    QList<QPair<QString, QString>> refused;
    bool cancelled = false;
    // A failure of the index itself; the archives are fine.
    LibraryResult result;
    // The index was made anew (damaged or older layout); one message for the user.
    QString notice;
};

// Brings the index up to date with the archives, incrementally: a file whose
// size and modification time are what the index holds is not read again.
// Archives are only ever read. A file that is gone is dropped from the index,
// unless the mount it lay on is absent (a disconnected drive): then it stays,
// unavailable, until the mount is back. Progress is reported as it goes and
// a run can be cancelled from any thread; what was done until then is kept.
// The index is written in batches, each one transaction, while a thread of
// the run reads the next archives, and memory stays bounded whatever the
// number or size of the archives.
class LibraryIndexer
{
public:
    // done of total archives looked at.
    using Progress = std::function<void(int done, int total)>;
    // The root of the mount an existing path lies on.
    using VolumeOf = std::function<QString(const QString &path)>;

    static constexpr qint64 BatchTextBytes = qint64(16) * 1024 * 1024;
    static constexpr int BatchEntries = 200;

    // volumeOf defaults to the system's mount table.
    explicit LibraryIndexer(LibraryIndex &index, VolumeOf volumeOf = {});

    // Called at the start, at the end and about ten times a second between.
    void setProgress(Progress progress) { m_progress = std::move(progress); }
    // Thread-safe; takes effect at the next archive of a running run.
    void cancel();

    // The scope and every archive the index knows.
    LibraryReport run(const LibraryScope &scope);
    // These paths at once, changed or not (after a save, rename, move or
    // delete): an existing file is read, a missing one dropped.
    LibraryReport update(const QStringList &paths);

    // "Indexing 120 of 3,400 archives..."
    static QString progressText(int done, int total);
    // Archive files by their extension.
    static bool isArchiveName(const QString &path);

private:
    struct Candidate
    {
        QString path;
        qint64 size = 0;
        qint64 modified = 0;
    };

    // Runs work, and once more on a new index when it found the file damaged.
    LibraryReport guarded(const std::function<LibraryReport()> &work);
    LibraryReport runOnce(const LibraryScope &scope);
    LibraryReport updateOnce(const QStringList &paths);
    QString volumeOfFolder(const QString &folder);
    // Whether a missing file lay on a mount that is absent now.
    bool onAbsentMount(const QString &path, const QString &volume);
    // Reads the candidates that changed and writes them, with changes, in batches.
    void readAndWrite(const QList<Candidate> &candidates, const QHash<QString, LibraryIndex::Known> &known, bool always,
                      LibraryChanges changes, LibraryReport &report);
    bool flush(LibraryChanges &changes, LibraryReport &report);

    LibraryIndex &m_index;
    VolumeOf m_volumeOf;
    Progress m_progress;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_cancel{false};
    QHash<QString, QString> m_volumes;
};
