#include "MhtmlSource.h"

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

std::shared_ptr<MhtmlSource> MhtmlSource::open(const QString &path, qint64 maxSize, QString *error)
{
    std::shared_ptr<MhtmlSource> source(new MhtmlSource);
    QFile &file = source->m_file;
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot open %1: %2").arg(path, file.errorString());
        return nullptr;
    }
    if (file.size() > maxSize) {
        *error = QStringLiteral("%1 is too large to read (%2 bytes; the limit is %3)")
                     .arg(path)
                     .arg(file.size())
                     .arg(maxSize);
        return nullptr;
    }
    // Mapping spares a copy of the whole file; the open file keeps it alive.
    if (uchar *mapped = file.size() > 0 ? file.map(0, file.size()) : nullptr) {
        source->m_bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), file.size());
        source->m_mapped = true;
    } else {
        source->m_bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
            return nullptr;
        }
    }
    source->m_data = source->m_bytes.constData();
    source->m_size = source->m_bytes.size();
    return source;
}

MhtmlSource::MhtmlSource(QByteArray bytes) : m_bytes(std::move(bytes))
{
    // Raw data belongs to someone else, who may free it before the parts go.
    if (!m_bytes.data_ptr().isMutable())
        m_bytes = QByteArray(m_bytes.constData(), m_bytes.size());
    m_data = m_bytes.constData();
    m_size = m_bytes.size();
}

namespace {

// Advice on the whole pages inside [begin, end) of a mapping.
void advise(const char *begin, const char *end, int advice)
{
#ifdef Q_OS_LINUX
    static const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr first = (reinterpret_cast<quintptr>(begin) + page - 1) & ~(page - 1);
    const quintptr last = reinterpret_cast<quintptr>(end) & ~(page - 1);
    if (last > first)
        madvise(reinterpret_cast<void *>(first), last - first, advice);
#else
    Q_UNUSED(begin);
    Q_UNUSED(end);
    Q_UNUSED(advice);
#endif
}

} // namespace

void MhtmlSource::release(const char *begin, const char *end) const
{
#ifdef Q_OS_LINUX
    // A shared read-only mapping of a file loses nothing: only the process's
    // view of the pages goes.
    if (m_mapped)
        advise(begin, end, MADV_DONTNEED);
#else
    Q_UNUSED(begin);
    Q_UNUSED(end);
#endif
}

void MhtmlSource::populate(const char *begin, const char *end) const
{
#ifdef Q_OS_LINUX
    begin = qMax(begin, m_data);
    end = qMin(end, m_data + m_size);
    if (!m_mapped || end <= begin)
        return;
    static const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr first = reinterpret_cast<quintptr>(begin) & ~(page - 1);
    const quintptr last = (reinterpret_cast<quintptr>(end) + page - 1) & ~(page - 1);
#ifdef MADV_POPULATE_READ
    madvise(reinterpret_cast<void *>(first), last - first, MADV_POPULATE_READ);
#else
    Q_UNUSED(first);
    Q_UNUSED(last);
#endif
#else
    Q_UNUSED(begin);
    Q_UNUSED(end);
#endif
}

int MhtmlSource::fileHandle() const
{
    return m_mapped ? m_file.handle() : -1;
}
