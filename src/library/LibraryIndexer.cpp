#include "library/LibraryIndexer.h"

#include "library/ArchiveDigest.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <QStorageInfo>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace {

QString cleanPath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

qint64 modifiedOf(const QFileInfo &info)
{
    return info.lastModified().toMSecsSinceEpoch();
}

// Archives read on one thread for another to write, in order, bounded by
// the bytes of their texts.
class ArchiveReadAhead
{
public:
    struct Item
    {
        int index = 0;
        bool unchanged = false;
        LibraryEntry entry;
    };

    explicit ArchiveReadAhead(qint64 limit) : m_limit(limit) {}

    // Waits while the archives held are over the limit; false once stopped.
    bool put(Item item)
    {
        const qint64 bytes = item.entry.text.size() * 2;
        std::unique_lock lock(m_mutex);
        m_taken.wait(lock, [&] { return m_stopped || m_items.empty() || m_bytes < m_limit; });
        if (m_stopped)
            return false;
        m_bytes += bytes;
        m_items.push_back(std::move(item));
        m_put.notify_one();
        return true;
    }
    // No more archives come.
    void finish()
    {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
        m_put.notify_one();
    }
    // The next archive; none when all came or it was stopped.
    std::optional<Item> take()
    {
        std::unique_lock lock(m_mutex);
        m_put.wait(lock, [&] { return m_stopped || m_finished || !m_items.empty(); });
        if (m_stopped || m_items.empty())
            return std::nullopt;
        Item item = std::move(m_items.front());
        m_items.pop_front();
        m_bytes -= item.entry.text.size() * 2;
        m_taken.notify_one();
        return item;
    }
    // The reader stops at its next archive.
    void stop()
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_taken.notify_one();
        m_put.notify_one();
    }

private:
    const qint64 m_limit;
    std::mutex m_mutex;
    std::condition_variable m_put;
    std::condition_variable m_taken;
    std::deque<Item> m_items;
    qint64 m_bytes = 0;
    bool m_finished = false;
    bool m_stopped = false;
};

} // namespace

LibraryIndexer::LibraryIndexer(LibraryIndex &index, VolumeOf volumeOf)
    : m_index(index),
      m_volumeOf(volumeOf ? std::move(volumeOf) : [](const QString &path) { return QStorageInfo(path).rootPath(); })
{
}

void LibraryIndexer::cancel()
{
    if (m_running)
        m_cancel = true;
}

QString LibraryIndexer::progressText(int done, int total)
{
    const QLocale english(QLocale::English);
    return QStringLiteral("Indexing %1 of %2 archives...").arg(english.toString(done), english.toString(total));
}

bool LibraryIndexer::isArchiveName(const QString &path)
{
    return path.endsWith(QLatin1String(".mht"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".mhtml"), Qt::CaseInsensitive);
}

QString LibraryIndexer::volumeOfFolder(const QString &folder)
{
    auto it = m_volumes.constFind(folder);
    if (it == m_volumes.constEnd())
        it = m_volumes.insert(folder, m_volumeOf(folder));
    return *it;
}

bool LibraryIndexer::onAbsentMount(const QString &path, const QString &volume)
{
    QString ancestor = QFileInfo(path).absolutePath();
    while (!QFileInfo::exists(ancestor)) {
        const QString up = QFileInfo(ancestor).absolutePath();
        if (up == ancestor)
            break;
        ancestor = up;
    }
    // A folder of the mount point's own file system stands where the mount was.
    return !volume.isEmpty() && volumeOfFolder(ancestor) != volume;
}

bool LibraryIndexer::flush(LibraryChanges &changes, LibraryReport &report)
{
    const LibraryResult written = m_index.write(changes);
    changes = {};
    if (!written.ok()) {
        report.result = written;
        return false;
    }
    return true;
}

void LibraryIndexer::readAndWrite(const QList<Candidate> &candidates, const QHash<QString, LibraryIndex::Known> &known,
                                  bool always, LibraryChanges changes, LibraryReport &report)
{
    const int total = int(candidates.size());
    report.seen = total;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    if (m_progress)
        m_progress(0, total);
    // Reading an archive (decoding, taking the text out) and writing it into
    // the index take about as long each: a thread of its own reads ahead
    // while this one writes, never more than a batch's worth of text ahead.
    ArchiveReadAhead ahead(BatchTextBytes / 2);
    std::thread reader;
    const auto stopReader = qScopeGuard([&] {
        ahead.stop();
        if (reader.joinable())
            reader.join();
    });
    if (!m_cancel) {
        reader = std::thread([&] {
            for (int i = 0; i < total; ++i) {
                const Candidate &c = candidates[i];
                const auto was = known.constFind(c.path);
                const bool unchanged =
                    !always && was != known.constEnd() && was->size == c.size && was->modified == c.modified;
                LibraryEntry entry;
                if (!unchanged)
                    entry = ArchiveDigest::read(c.path, c.size, c.modified);
                if (!ahead.put({i, unchanged, std::move(entry)}))
                    return;
            }
            ahead.finish();
        });
    }
    qint64 batchBytes = 0;
    for (;;) {
        if (m_cancel) {
            report.cancelled = true;
            break;
        }
        std::optional<ArchiveReadAhead::Item> item = ahead.take();
        if (!item)
            break;
        if (m_progress && sinceProgress.elapsed() >= 100) {
            m_progress(item->index, total);
            sinceProgress.restart();
        }
        const Candidate &c = candidates[item->index];
        if (item->unchanged) {
            ++report.unchanged;
            if (!known.value(c.path).available)
                changes.available << c.path;
            continue;
        }
        LibraryEntry entry = std::move(item->entry);
        entry.volume = volumeOfFolder(QFileInfo(c.path).absolutePath());
        ++report.read;
        if (!entry.indexed)
            report.refused.append({c.path, entry.reason});
        batchBytes += entry.text.size() * 2;
        changes.stored.append(std::move(entry));
        if ((batchBytes >= BatchTextBytes || changes.stored.size() >= BatchEntries) && !flush(changes, report))
            return;
        if (changes.stored.isEmpty())
            batchBytes = 0;
    }
    ahead.stop();
    if (flush(changes, report) && m_progress && !report.cancelled)
        m_progress(total, total);
}

LibraryReport LibraryIndexer::runOnce(const LibraryScope &scope)
{
    LibraryReport report;
    const QHash<QString, LibraryIndex::Known> known = m_index.known(&report.result);
    if (!report.result.ok())
        return report;
    QHash<QString, Candidate> found;
    const auto consider = [&found](const QString &path, const QFileInfo &info) {
        if (!found.contains(path))
            found.insert(path, {path, info.size(), modifiedOf(info)});
    };
    for (const QString &folder : scope.folders) {
        QDirIterator it(cleanPath(folder), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            if (isArchiveName(info.fileName()))
                consider(cleanPath(info.filePath()), info);
        }
    }
    for (const QString &file : scope.files) {
        const QFileInfo info(file);
        if (info.isFile())
            consider(cleanPath(file), info);
    }
    LibraryChanges changes;
    for (auto it = known.constBegin(); it != known.constEnd(); ++it) {
        if (found.contains(it.key()))
            continue;
        const QFileInfo info(it.key());
        if (info.isFile()) {
            consider(it.key(), info);
        } else if (onAbsentMount(it.key(), it->volume)) {
            ++report.unavailable;
            if (it->available)
                changes.unavailable << it.key();
        } else {
            ++report.removed;
            changes.removed << it.key();
        }
    }
    QList<Candidate> candidates = found.values();
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate &a, const Candidate &b) { return a.path < b.path; });
    readAndWrite(candidates, known, false, std::move(changes), report);
    return report;
}

LibraryReport LibraryIndexer::updateOnce(const QStringList &paths)
{
    LibraryReport report;
    QList<Candidate> candidates;
    LibraryChanges changes;
    for (const QString &path : paths) {
        const QString clean = cleanPath(path);
        const QFileInfo info(clean);
        if (info.isFile()) {
            candidates.append({clean, info.size(), modifiedOf(info)});
        } else {
            changes.removed << clean;
            ++report.removed;
        }
    }
    readAndWrite(candidates, {}, true, std::move(changes), report);
    return report;
}

LibraryReport LibraryIndexer::guarded(const std::function<LibraryReport()> &work)
{
    m_running = true;
    m_volumes.clear();
    LibraryReport report = work();
    // A file found damaged while in use is moved aside and made anew, once.
    if (report.result.kind == LibraryResult::Damaged) {
        const LibraryResult rebuilt = m_index.rebuild(report.result.message);
        if (rebuilt.ok()) {
            report = work();
        } else {
            report.result = rebuilt;
        }
    }
    report.notice = m_index.takeNotice();
    m_running = false;
    m_cancel = false;
    return report;
}

LibraryReport LibraryIndexer::run(const LibraryScope &scope)
{
    return guarded([&] { return runOnce(scope); });
}

LibraryReport LibraryIndexer::update(const QStringList &paths)
{
    return guarded([&] { return updateOnce(paths); });
}
