#pragma once

#include "library/LibraryEntry.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <utility>

class QSqlError;

// A change of the index, written in one transaction: all of it or nothing.
struct LibraryChanges
{
    // Entries to add or replace (by path).
    QList<LibraryEntry> stored;
    QStringList removed;
    // Entries whose files cannot be reached now (an absent mount) or again.
    QStringList unavailable;
    QStringList available;

    bool isEmpty() const
    {
        return stored.isEmpty() && removed.isEmpty() && unavailable.isEmpty() && available.isEmpty();
    }
};

// The outcome of an index operation.
struct LibraryResult
{
    enum Kind { Ok, Damaged, Failed };
    Kind kind = Ok;
    // For the user; empty when ok.
    QString message;

    bool ok() const { return kind == Ok; }
    static LibraryResult failed(Kind kind, const QString &message) { return {kind, message}; }
};

// The index file of the library (SQLite through Qt SQL, full-text tables of
// FTS5). It is derived data: a missing, damaged or older-layout file is made
// anew (a damaged or old one moved aside first), and any number of programs
// share one file: write-ahead logging lets readers go on while one writes,
// writers wait their turn instead of failing, and a failed write (a full
// disk) rolls back whole. Use one object per thread.
class LibraryIndex
{
public:
    // The layout of the tables; an index of a lower one is rebuilt.
    // 2: ranked by quillet_rank. 3: unspaced scripts a character a token,
    // the steps of the pages' texts.
    static constexpr int Layout = 3;
    static constexpr int BusyTimeoutMs = 60000;
    static constexpr const char *FileName = "library.sqlite";

    struct Known
    {
        qint64 size = 0;
        qint64 modified = 0;
        QString volume;
        bool available = true;

        bool operator==(const Known &) const = default;
    };

    explicit LibraryIndex(QString path);
    ~LibraryIndex();
    LibraryIndex(const LibraryIndex &) = delete;
    LibraryIndex &operator=(const LibraryIndex &) = delete;

    QString path() const { return m_path; }

    // Opens the file, creating or rebuilding it when needed.
    LibraryResult open();
    // Why open() or rebuild() made the index anew, for one status message,
    // once; empty when the file was fine or simply missing.
    QString takeNotice() { return std::exchange(m_notice, QString()); }
    // Moves the file aside and starts an empty index (after a Damaged result).
    LibraryResult rebuild(const QString &why);

    // Every entry by path; the paths of one folder can be picked by prefix.
    QHash<QString, Known> known(LibraryResult *result = nullptr) const;
    LibraryResult write(const LibraryChanges &changes);

    // The connection, for queries (LibrarySearch).
    QSqlDatabase database() const;

    // Classifies an error of the database: damaged file or another failure.
    static LibraryResult resultOf(const QSqlError &error, const QString &doing);

private:
    enum class State { Ready, Older, Newer };

    LibraryResult openConnection();
    // Checks the layout and creates the tables of a new file.
    LibraryResult prepare(State &state);
    LibraryResult createTables();
    // Opens, moving a damaged or older file aside once; the caller holds the lock.
    LibraryResult openLocked();
    void closeConnection();
    LibraryResult moveAside(const QString &suffix);

    QString m_path;
    QString m_connection;
    QString m_notice;
};
