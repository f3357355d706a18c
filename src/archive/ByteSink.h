#pragma once

#include <QByteArray>

class QIODevice;

// Output written straight into a block: handed to a device whenever it is
// full, or grown when there is no device. Encoders fill it through a raw
// pointer (w, up to end) so their inner loops do no per-byte bookkeeping.
class ByteSink
{
public:
    // Large blocks keep the number of writes small.
    static constexpr qsizetype BlockSize = 1024 * 1024;

    explicit ByteSink(QIODevice *device, qsizetype reserve = BlockSize);

    // Makes room for n bytes at w.
    void room(qsizetype n)
    {
        if (end - w < n)
            makeRoom(n);
    }
    void put(const char *data, qsizetype n);
    void put(const QByteArray &bytes) { put(bytes.constData(), bytes.size()); }
    // A literal, without its terminating zero.
    template <qsizetype N> void put(const char (&text)[N]) { put(text, N - 1); }

    // Hands what the block holds to the device; false once any write to it
    // has failed.
    bool flush();
    // Without a device: everything put so far, and its size.
    QByteArray take();
    qsizetype size() const { return w - m_block.constData(); }
    bool ok() const { return !m_failed; }
    // For writes that bypass the block.
    void fail() { m_failed = true; }
    QIODevice *device() const { return m_device; }

    char *w = nullptr;
    char *end = nullptr;

private:
    void makeRoom(qsizetype n);

    QIODevice *m_device = nullptr;
    QByteArray m_block;
    bool m_failed = false;
};
