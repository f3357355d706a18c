#include "library/LibraryIndexer.h"

#include "library/ArchiveDigest.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>

#include <algorithm>

namespace {

QString cleanPath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

qint64 modifiedOf(const QFileInfo &info)
{
    return info.lastModified().toMSecsSinceEpoch();
}

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
    qint64 batchBytes = 0;
    for (int i = 0; i < total; ++i) {
        if (m_cancel) {
            report.cancelled = true;
            break;
        }
        if (m_progress && sinceProgress.elapsed() >= 100) {
            m_progress(i, total);
            sinceProgress.restart();
        }
        const Candidate &c = candidates[i];
        const auto was = known.constFind(c.path);
        if (!always && was != known.constEnd() && was->size == c.size && was->modified == c.modified) {
            ++report.unchanged;
            if (!was->available)
                changes.available << c.path;
            continue;
        }
        LibraryEntry entry = ArchiveDigest::read(c.path, c.size, c.modified);
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
