#include "QuotedPrintableMemo.h"

#include "ByteSink.h"
#include "MhtmlArchive.h"

#include <algorithm>
#include <cstring>

namespace {

// How many bytes a and b share from their starts, at most n: whole blocks
// by memcmp, the last one byte by byte.
qsizetype sharedHead(const char *a, const char *b, qsizetype n)
{
    constexpr qsizetype Block = 4096;
    qsizetype i = 0;
    while (n - i >= Block && std::memcmp(a + i, b + i, Block) == 0)
        i += Block;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// How many bytes the ends of a and b share, at most n.
qsizetype sharedTail(const char *aEnd, const char *bEnd, qsizetype n)
{
    constexpr qsizetype Block = 4096;
    qsizetype i = 0;
    while (n - i >= Block && std::memcmp(aEnd - i - Block, bEnd - i - Block, Block) == 0)
        i += Block;
    while (i < n && aEnd[-i - 1] == bEnd[-i - 1])
        ++i;
    return i;
}

} // namespace

QByteArray QuotedPrintableMemo::encode(const QByteArray &text)
{
    const qsizetype n = text.size();
    const qsizetype m = m_text.size();
    if (n == m && text == m_text)
        return m_encoded;
    const char *in = text.constData();
    const qsizetype head = sharedHead(in, m_text.constData(), std::min(n, m));
    const qsizetype tail = sharedTail(in + n, m_text.constData() + m, std::min(n, m) - head);
    const auto byText = [](const MhtmlCodec::LineStart &line, qsizetype at) { return line.text < at; };
    // The last line start within the shared head (none: the text's start)...
    auto first = std::lower_bound(m_lines.cbegin(), m_lines.cend(), head + 1, byText);
    const MhtmlCodec::LineStart from = first == m_lines.cbegin() ? MhtmlCodec::LineStart{} : *(first - 1);
    // ... and the first one whose line feed lies in the shared tail (none:
    // the text's end).
    const void *feed = n - tail < n ? std::memchr(in + n - tail, '\n', size_t(tail)) : nullptr;
    const qsizetype to = feed ? static_cast<const char *>(feed) - in + 1 : n;
    const auto last = std::lower_bound(m_lines.cbegin(), m_lines.cend(), to - n + m, byText);
    const qsizetype keptTo = feed ? last->encoded : m_encoded.size();

    QList<MhtmlCodec::LineStart> lines;
    lines.reserve(m_lines.size() + 16);
    lines.append(m_lines.cbegin(), first);
    ByteSink sink(nullptr, m_encoded.size() - keptTo + from.encoded + (to - from.text) * 3 / 2 + 64);
    sink.put(m_encoded.constData(), from.encoded);
    const qsizetype before = lines.size();
    MhtmlCodec::encodeQuotedPrintable(sink, in + from.text, to - from.text, lines);
    for (auto it = lines.begin() + before; it != lines.end(); ++it)
        *it = {it->text + from.text, it->encoded + from.encoded};
    if (feed) {
        const qsizetype textShift = n - m;
        const qsizetype encodedShift = sink.size() - keptTo;
        for (auto it = last + 1; it != m_lines.cend(); ++it)
            lines.append({it->text + textShift, it->encoded + encodedShift});
        sink.put(m_encoded.constData() + keptTo, m_encoded.size() - keptTo);
    }
    m_text = text;
    m_encoded = sink.take();
    m_lines = std::move(lines);
    return m_encoded;
}

void QuotedPrintableMemo::encodePart(MhtmlPart &part)
{
    // Only text is written quoted-printable.
    if (part.data.isEmpty() || !part.hasTextLineBreaks())
        return;
    part.encoded = encode(part.data);
    part.transferEncoding = "quoted-printable";
    part.encodedSize = part.data.size();
    part.encodedCopyable = true;
    part.source.reset();
    part.data.clear();
}
