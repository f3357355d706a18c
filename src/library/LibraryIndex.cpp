#include "library/LibraryIndex.h"

#include "library/LibraryRank.h"
#include "library/LibrarySnippet.h"
#include "library/LibraryTokenizer.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

namespace {

const char *const Schema[] = {
    "CREATE TABLE archives(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, size INTEGER NOT NULL,"
    " modified INTEGER NOT NULL, volume TEXT NOT NULL, available INTEGER NOT NULL, indexed INTEGER NOT NULL,"
    " reason TEXT NOT NULL, title TEXT NOT NULL, source TEXT NOT NULL, date TEXT NOT NULL)",
    "CREATE TABLE marks(id INTEGER PRIMARY KEY, archive INTEGER NOT NULL, ord INTEGER NOT NULL,"
    " colour TEXT NOT NULL, colour_name TEXT NOT NULL, bold INTEGER NOT NULL, italic INTEGER NOT NULL,"
    " underline INTEGER NOT NULL, text TEXT NOT NULL, sentence TEXT NOT NULL)",
    "CREATE INDEX marks_by_archive ON marks(archive, ord)",
    "CREATE INDEX marks_by_colour ON marks(colour)",
    // The title weighs ten times the body in the ranking.
    "CREATE VIRTUAL TABLE pages USING fts5(title, body, tokenize='quillet')",
    "INSERT INTO pages(pages, rank) VALUES('rank', 'quillet_rank(''pages'', 10.0, 1.0)')",
    // Where every LibraryTokenizer::StepTokens-th token of a page's text begins.
    "CREATE TABLE page_steps(id INTEGER PRIMARY KEY, steps BLOB NOT NULL)",
    "CREATE VIRTUAL TABLE mark_words USING fts5(text, tokenize='quillet')",
    "INSERT INTO mark_words(mark_words, rank) VALUES('rank', 'quillet_rank(''mark_words'')')",
};

QAtomicInt connectionCounter;

// A null QString binds as NULL; the columns hold texts, empty ones included.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QString describe(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.trimmed();
}

// Runs statements until one fails; the failure's result.
LibraryResult run(QSqlQuery &query, std::initializer_list<QString> statements, const QString &doing)
{
    for (const QString &statement : statements) {
        if (!query.exec(statement))
            return LibraryIndex::resultOf(query.lastError(), doing);
    }
    return {};
}

} // namespace

LibraryIndex::LibraryIndex(QString path)
    : m_path(std::move(path)),
      m_connection(QStringLiteral("quillet-library-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
}

LibraryIndex::~LibraryIndex()
{
    closeConnection();
}

LibraryResult LibraryIndex::resultOf(const QSqlError &error, const QString &doing)
{
    const int code = error.nativeErrorCode().toInt() & 0xFF;
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
        return LibraryResult::failed(LibraryResult::Damaged,
                                     QStringLiteral("The library index is damaged (%1)").arg(describe(error)));
    return LibraryResult::failed(LibraryResult::Failed,
                                 QStringLiteral("Cannot %1 the library index: %2").arg(doing, describe(error)));
}

QSqlDatabase LibraryIndex::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

void LibraryIndex::closeConnection()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

LibraryResult LibraryIndex::openConnection()
{
    closeConnection();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!db.isValid())
        return LibraryResult::failed(LibraryResult::Failed,
                                     QStringLiteral("Cannot open the library index: Qt's SQLite driver is missing"));
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!db.open())
        return resultOf(db.lastError(), QStringLiteral("open"));
    const QVariant handle = db.driver()->handle();
    sqlite3 *sqlite = handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0
                          ? *static_cast<sqlite3 *const *>(handle.constData())
                          : nullptr;
    QString registered = sqlite ? LibraryTokenizer::registerOn(sqlite) : QStringLiteral("no SQLite handle");
    if (registered.isEmpty())
        registered = LibrarySnippet::registerOn(sqlite);
    if (registered.isEmpty())
        registered = LibraryRank::registerOn(sqlite);
    if (!registered.isEmpty())
        return LibraryResult::failed(LibraryResult::Failed,
                                     QStringLiteral("Cannot open the library index: %1").arg(registered));
    return {};
}

LibraryResult LibraryIndex::createTables()
{
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return resultOf(query.lastError(), QStringLiteral("create"));
    // Another program may have made them while this one waited.
    if (query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) && query.next() && query.value(0).toInt() > 0)
        return run(query, {QStringLiteral("COMMIT")}, QStringLiteral("create"));
    for (const char *statement : Schema) {
        if (!query.exec(QString::fromLatin1(statement))) {
            const LibraryResult failed = resultOf(query.lastError(), QStringLiteral("create"));
            query.exec(QStringLiteral("ROLLBACK"));
            return failed;
        }
    }
    const LibraryResult done =
        run(query, {QStringLiteral("PRAGMA user_version = %1").arg(Layout), QStringLiteral("COMMIT")},
            QStringLiteral("create"));
    if (!done.ok())
        query.exec(QStringLiteral("ROLLBACK"));
    return done;
}

LibraryResult LibraryIndex::prepare(State &state)
{
    state = State::Ready;
    QSqlQuery query(database());
    // Derived data: losing the last commits at a power cut costs a re-index, never consistency.
    LibraryResult r =
        run(query, {QStringLiteral("PRAGMA journal_mode = WAL"), QStringLiteral("PRAGMA synchronous = NORMAL")},
            QStringLiteral("open"));
    if (!r.ok())
        return r;
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return resultOf(query.lastError(), QStringLiteral("open"));
    const int layout = query.value(0).toInt();
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next())
        return resultOf(query.lastError(), QStringLiteral("open"));
    const int tables = query.value(0).toInt();
    if (layout == 0 && tables == 0)
        return createTables();
    if (layout < Layout) {
        state = State::Older;
        return {};
    }
    if (layout > Layout) {
        state = State::Newer;
        return LibraryResult::failed(LibraryResult::Failed,
                                     QStringLiteral("The library index %1 was made by a newer Quillet").arg(m_path));
    }
    // Reading a row of each table finds a file damaged in its first pages.
    return run(query,
               {QStringLiteral("SELECT id FROM archives LIMIT 1"), QStringLiteral("SELECT rowid FROM pages LIMIT 1"),
                QStringLiteral("SELECT rowid FROM mark_words LIMIT 1"), QStringLiteral("SELECT id FROM marks LIMIT 1"),
                QStringLiteral("SELECT id FROM page_steps LIMIT 1")},
               QStringLiteral("read"));
}

LibraryResult LibraryIndex::moveAside(const QString &suffix)
{
    closeConnection();
    const QString target = m_path + suffix;
    // The log and its index belong to the old file: a new file must not take them up.
    for (const QString &extra : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (!QFileInfo::exists(m_path + extra))
            continue;
        QFile::remove(target + extra);
        if (!QFile::rename(m_path + extra, target + extra) && !QFile::remove(m_path + extra))
            return LibraryResult::failed(LibraryResult::Failed,
                                         QStringLiteral("Cannot move the library index %1 aside").arg(m_path + extra));
    }
    return {};
}

LibraryResult LibraryIndex::openLocked()
{
    State state = State::Ready;
    LibraryResult r = openConnection();
    if (r.ok())
        r = prepare(state);
    if (r.ok() && state == State::Ready)
        return r;
    if (state == State::Newer || r.kind == LibraryResult::Failed)
        return r;
    const bool older = state == State::Older;
    const QString suffix = older ? QStringLiteral(".old") : QStringLiteral(".damaged");
    if (LibraryResult moved = moveAside(suffix); !moved.ok())
        return moved;
    m_notice = older ? QStringLiteral("The library index had an older layout; it is rebuilt from the archives")
                     : QStringLiteral("The library index was damaged; it is rebuilt from the archives (the old file "
                                      "is kept as %1)")
                           .arg(QFileInfo(m_path + suffix).fileName());
    r = openConnection();
    if (r.ok())
        r = prepare(state);
    return r;
}

LibraryResult LibraryIndex::open()
{
    m_notice.clear();
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // Checking, moving aside and creating are one step for all programs that share the file.
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(BusyTimeoutMs))
        return LibraryResult::failed(
            LibraryResult::Failed,
            QStringLiteral("Cannot open the library index %1: another program holds it").arg(m_path));
    return openLocked();
}

LibraryResult LibraryIndex::rebuild(const QString &why)
{
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(BusyTimeoutMs))
        return LibraryResult::failed(
            LibraryResult::Failed,
            QStringLiteral("Cannot rebuild the library index %1: another program holds it").arg(m_path));
    // Another program may have rebuilt it meanwhile: only a file still bad goes.
    State state = State::Ready;
    LibraryResult r = openConnection();
    if (r.ok())
        r = prepare(state);
    if (r.ok() && state == State::Ready) {
        QSqlQuery probe(database());
        if (probe.exec(QStringLiteral("PRAGMA quick_check(1)")) && probe.next() &&
            probe.value(0).toString() == QLatin1String("ok"))
            return r;
    }
    if (LibraryResult moved = moveAside(QStringLiteral(".damaged")); !moved.ok())
        return moved;
    m_notice = QStringLiteral("%1; it is rebuilt from the archives").arg(why);
    r = openConnection();
    if (r.ok())
        r = prepare(state);
    return r;
}

QHash<QString, LibraryIndex::Known> LibraryIndex::known(LibraryResult *result) const
{
    QHash<QString, Known> entries;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT path, size, modified, volume, available FROM archives"))) {
        if (result)
            *result = resultOf(query.lastError(), QStringLiteral("read"));
        return entries;
    }
    while (query.next())
        entries.insert(query.value(0).toString(), {query.value(1).toLongLong(), query.value(2).toLongLong(),
                                                   query.value(3).toString(), query.value(4).toBool()});
    if (result)
        *result = query.lastError().isValid() ? resultOf(query.lastError(), QStringLiteral("read")) : LibraryResult{};
    return entries;
}

LibraryResult LibraryIndex::write(const LibraryChanges &changes)
{
    if (changes.isEmpty())
        return {};
    QSqlDatabase db = database();
    QSqlQuery query(db);
    const QString doing = QStringLiteral("write");
    // Taking the write lock first: a reader that turns writer later could not wait for it.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return resultOf(query.lastError(), doing);
    QSqlQuery find(db), clearPage(db), clearSteps(db), steps(db), clearMarkWords(db), clearMarks(db), removeEntry(db),
        update(db), insert(db), page(db), mark(db), markWords(db), availability(db);
    find.prepare(QStringLiteral("SELECT id FROM archives WHERE path = ?"));
    clearPage.prepare(QStringLiteral("DELETE FROM pages WHERE rowid = ?"));
    clearSteps.prepare(QStringLiteral("DELETE FROM page_steps WHERE id = ?"));
    steps.prepare(QStringLiteral("INSERT INTO page_steps(id, steps) VALUES(?, ?)"));
    clearMarkWords.prepare(
        QStringLiteral("DELETE FROM mark_words WHERE rowid IN (SELECT id FROM marks WHERE archive = ?)"));
    clearMarks.prepare(QStringLiteral("DELETE FROM marks WHERE archive = ?"));
    removeEntry.prepare(QStringLiteral("DELETE FROM archives WHERE id = ?"));
    update.prepare(QStringLiteral("UPDATE archives SET size = ?, modified = ?, volume = ?, available = 1, indexed = ?,"
                                  " reason = ?, title = ?, source = ?, date = ? WHERE id = ?"));
    insert.prepare(QStringLiteral("INSERT INTO archives(size, modified, volume, available, indexed, reason, title, "
                                  "source, date, path) VALUES(?, ?, ?, 1, ?, ?, ?, ?, ?, ?)"));
    page.prepare(QStringLiteral("INSERT INTO pages(rowid, title, body) VALUES(?, ?, ?)"));
    mark.prepare(QStringLiteral("INSERT INTO marks(archive, ord, colour, colour_name, bold, italic, underline, text, "
                                "sentence) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    markWords.prepare(QStringLiteral("INSERT INTO mark_words(rowid, text) VALUES(?, ?)"));
    availability.prepare(QStringLiteral("UPDATE archives SET available = ? WHERE path = ?"));

    QSqlQuery *failed = nullptr;
    const auto exec = [&failed](QSqlQuery &q, const QVariantList &values) {
        for (qsizetype i = 0; i < values.size(); ++i)
            q.bindValue(int(i), values[i]);
        if (!q.exec())
            failed = &q;
        return failed == nullptr;
    };
    // The rows of an archive go before it is written again or removed.
    const auto clear = [&](const QString &path, bool removing) -> std::optional<qint64> {
        if (!exec(find, {path}))
            return std::nullopt;
        if (!find.next())
            return -1;
        const qint64 id = find.value(0).toLongLong();
        find.finish();
        if (!exec(clearPage, {id}) || !exec(clearSteps, {id}) || !exec(clearMarkWords, {id}) ||
            !exec(clearMarks, {id}) || (removing && !exec(removeEntry, {id})))
            return std::nullopt;
        return id;
    };
    const auto store = [&](const LibraryEntry &e) {
        const std::optional<qint64> existing = clear(e.path, false);
        if (!existing)
            return false;
        const QString date = e.date.isValid() ? e.date.toUTC().toString(Qt::ISODate) : QString();
        QVariantList fields{e.size,         e.modified,    text(e.volume), e.indexed ? 1 : 0,
                            text(e.reason), text(e.title), text(e.source), text(date)};
        qint64 id = *existing;
        if (id >= 0) {
            if (!exec(update, fields << id))
                return false;
        } else {
            if (!exec(insert, fields << text(e.path)))
                return false;
            id = insert.lastInsertId().toLongLong();
        }
        if (!e.indexed)
            return true;
        QByteArray bodySteps;
        {
            LibraryTokenizer::StepRecorder recorder;
            if (!exec(page, {id, text(e.title), text(e.text)}))
                return false;
            // The title, then the text: the last steps are the text's.
            if (recorder.documents() == 2)
                bodySteps = recorder.lastSteps();
        }
        if (!bodySteps.isEmpty() && !exec(steps, {id, bodySteps}))
            return false;
        for (const LibraryMark &m : e.marks) {
            if (!exec(mark, {id, m.order, text(m.colour), text(m.colourName), m.bold ? 1 : 0, m.italic ? 1 : 0,
                             m.underline ? 1 : 0, text(m.text), text(m.sentence)}) ||
                !exec(markWords, {mark.lastInsertId(), text(m.text)}))
                return false;
        }
        return true;
    };

    bool ok = true;
    for (const LibraryEntry &e : changes.stored)
        ok = ok && store(e);
    for (const QString &path : changes.removed)
        ok = ok && clear(path, true).has_value();
    for (const QString &path : changes.unavailable)
        ok = ok && exec(availability, {0, path});
    for (const QString &path : changes.available)
        ok = ok && exec(availability, {1, path});
    LibraryResult result;
    if (!ok)
        result = resultOf(failed ? failed->lastError() : db.lastError(), doing);
    else if (!query.exec(QStringLiteral("COMMIT")))
        result = resultOf(query.lastError(), doing);
    if (!result.ok()) {
        // Everything of this change goes; what was there before stays, usable.
        query.exec(QStringLiteral("ROLLBACK"));
    }
    return result;
}
