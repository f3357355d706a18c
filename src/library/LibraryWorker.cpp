#include "library/LibraryWorker.h"

LibraryWorker::LibraryWorker(QString indexPath, LibraryIndexer::VolumeOf volumeOf)
    : m_indexPath(std::move(indexPath)), m_volumeOf(std::move(volumeOf))
{
}

LibraryWorker::~LibraryWorker() = default;

void LibraryWorker::cancel()
{
    if (LibraryIndexer *running = m_running.load())
        running->cancel();
}

LibraryIndexer *LibraryWorker::indexer(LibraryReport &report)
{
    if (!m_index)
        m_index = std::make_unique<LibraryIndex>(m_indexPath);
    // Opened afresh for each job: another program (or the search window) may
    // have made the file anew, and a connection kept would go on writing into
    // the one moved aside.
    report.result = m_index->open();
    if (!report.result.ok())
        return nullptr;
    if (!m_indexer) {
        m_indexer = std::make_unique<LibraryIndexer>(*m_index, m_volumeOf);
        m_indexer->setProgress(
            [this](int done, int total) { Q_EMIT progress(done, total, LibraryIndexer::progressText(done, total)); });
    }
    return m_indexer.get();
}

void LibraryWorker::runReporting(const std::function<LibraryReport(LibraryIndexer &)> &work)
{
    LibraryReport report;
    if (LibraryIndexer *indexer = this->indexer(report)) {
        m_running = indexer;
        report = work(*indexer);
        m_running = nullptr;
    }
    Q_EMIT finished(report);
}

void LibraryWorker::index(const LibraryScope &scope)
{
    runReporting([&](LibraryIndexer &indexer) { return indexer.run(scope); });
}

void LibraryWorker::update(const QStringList &paths)
{
    runReporting([&](LibraryIndexer &indexer) { return indexer.update(paths); });
}
