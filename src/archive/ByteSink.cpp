#include "ByteSink.h"

#include <QIODevice>

#include <cstring>

ByteSink::ByteSink(QIODevice *device, qsizetype reserve)
    : m_device(device), m_block(qMax<qsizetype>(reserve, 64), Qt::Uninitialized)
{
    w = m_block.data();
    end = w + m_block.size();
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

bool ByteSink::flush()
{
    const qsizetype used = w - m_block.data();
    if (m_device && used > 0 && !m_failed)
        m_failed = m_device->write(m_block.constData(), used) != used;
    if (m_device)
        w = m_block.data();
    return !m_failed;
}

QByteArray ByteSink::take()
{
    m_block.truncate(w - m_block.data());
    return std::move(m_block);
}
