#include "ByteSink.h"

#include <QFileDevice>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/uio.h>
#endif

ByteSink::ByteSink(QIODevice *device, qsizetype reserve)
    : m_device(device), m_block(qMax<qsizetype>(reserve, 64), Qt::Uninitialized)
{
    w = m_block.data();
    end = w + m_block.size();
    m_spanned = w;
#ifdef Q_OS_UNIX
    // A pipe or a device such as /dev/full is written through as it is.
    auto *file = qobject_cast<QFileDevice *>(device);
    if (file && !file->isSequential() && file->handle() >= 0)
        m_file = file;
#endif
}

void ByteSink::makeRoom(qsizetype n)
{
    if (m_device)
        flush();
    if (end - w >= n)
        return;
    const qsizetype used = w - m_block.data();
    m_block.resize(qMax(m_block.size() * 2, used + n));
    w = m_block.data() + used;
    end = m_block.data() + m_block.size();
    m_spanned = w;
}

void ByteSink::put(const char *data, qsizetype n)
{
    if (m_device && n > BlockSize) {
        flush();
        if (!m_failed)
            m_failed = m_device->write(data, n) != n;
        return;
    }
    room(n);
    std::memcpy(w, data, size_t(n));
    w += n;
}

void ByteSink::putInPlace(const char *data, qsizetype n)
{
    if (n <= 0)
        return;
    if (!m_file) {
        put(data, n);
        return;
    }
    if (w > m_spanned)
        m_spans.push_back({m_spanned, w - m_spanned});
    m_spans.push_back({data, n});
    m_spanned = w;
    if (m_spans.size() >= MaxSpans - 1)
        flush();
}

void ByteSink::writeSpans()
{
#ifdef Q_OS_UNIX
    // Whatever the device still buffers goes first.
    if (m_failed || !m_file->flush()) {
        m_failed = true;
        m_spans.clear();
        return;
    }
    iovec parts[MaxSpans];
    size_t count = 0;
    qint64 total = 0;
    for (const Span &span : m_spans) {
        parts[count++] = {const_cast<char *>(span.data), size_t(span.size)};
        total += span.size;
    }
    m_spans.clear();
    iovec *next = parts;
    qint64 left = total;
    while (left > 0 && !m_failed) {
        const ssize_t n = ::writev(m_file->handle(), next, int(count - size_t(next - parts)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_failed = true;
            break;
        }
        left -= n;
        // A short write: on from the first byte it did not take.
        size_t done = size_t(n);
        while (done > 0 && done >= next->iov_len)
            done -= (next++)->iov_len;
        if (done > 0) {
            next->iov_base = static_cast<char *>(next->iov_base) + done;
            next->iov_len -= done;
        }
    }
    // The device's own position follows the descriptor's.
    if (!m_failed && !m_file->seek(m_file->pos() + total))
        m_failed = true;
#endif
}

bool ByteSink::flush()
{
    if (!m_spans.empty())
        writeSpans();
    // The bytes after the last span go through the device, so that whatever
    // watches its writes sees each flush.
    const qsizetype used = w - m_spanned;
    if (m_device && used > 0 && !m_failed)
        m_failed = m_device->write(m_spanned, used) != used;
    if (m_device) {
        w = m_block.data();
        m_spanned = w;
    }
    return !m_failed;
}

QByteArray ByteSink::take()
{
    m_block.truncate(w - m_block.data());
    return std::move(m_block);
}
