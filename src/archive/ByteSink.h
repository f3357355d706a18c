#pragma once

#include <QByteArray>

#include <vector>

class QFileDevice;
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
    // Bytes that stay where they are, unchanged, until the next flush(). A
    // file gets them from there, in one gathered write with the block's
    // bytes around them, instead of through a copy into the block: for
    // 100,000 small parts that copy cost as much as the writing itself.
    void putInPlace(const char *data, qsizetype n);

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
    struct Span
    {
        const char *data;
        qsizetype size;
    };
    // Writes at most one call's worth of spans at a time.
    static constexpr size_t MaxSpans = 1024;

    void makeRoom(qsizetype n);
    void writeSpans();

    QIODevice *m_device = nullptr;
    // The device when it is a file that takes gathered writes.
    QFileDevice *m_file = nullptr;
    QByteArray m_block;
    // What goes before the block's bytes from spanned on, in order.
    std::vector<Span> m_spans;
    char *m_spanned = nullptr;
    bool m_failed = false;
};
