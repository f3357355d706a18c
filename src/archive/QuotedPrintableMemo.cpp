#include "QuotedPrintableMemo.h"

#include "ByteSink.h"
#include "MhtmlCodec.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype Block = 2048;

// How many characters a and b share from their starts, at most n: whole
// blocks by memcmp, the last one character by character.
qsizetype sharedHead(const QChar *a, const QChar *b, qsizetype n)
{
    qsizetype i = 0;
    while (n - i >= Block && std::memcmp(a + i, b + i, Block * sizeof(QChar)) == 0)
        i += Block;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// How many characters the ends of a and b share, at most n.
qsizetype sharedTail(const QChar *aEnd, const QChar *bEnd, qsizetype n)
{
    qsizetype i = 0;
    while (n - i >= Block && std::memcmp(aEnd - i - Block, bEnd - i - Block, Block * sizeof(QChar)) == 0)
        i += Block;
    while (i < n && aEnd[-i - 1] == bEnd[-i - 1])
        ++i;
    return i;
}

} // namespace

QuotedPrintableMemo::Encoding QuotedPrintableMemo::encode(const QString &text)
{
    const qsizetype n = text.size();
    const qsizetype m = m_text.size();
    if (text == m_text && !m_encoding.encoded.isNull())
        return m_encoding;
    const QStringView view(text);
    const qsizetype head = sharedHead(text.constData(), m_text.constData(), std::min(n, m));
    const qsizetype tail = sharedTail(text.constData() + n, m_text.constData() + m, std::min(n, m) - head);
    const auto byText = [](const LineStart &line, qsizetype at) { return line.text < at; };
    // The last line start within the shared head (none: the text's start)...
    const auto first = std::lower_bound(m_lines.cbegin(), m_lines.cend(), head + 1, byText);
    const LineStart from = first == m_lines.cbegin() ? LineStart{} : *(first - 1);
    // ... and the first one after a line feed in the shared tail (none: the
    // text's end), which the old text has too.
    const qsizetype feed = tail > 0 ? view.indexOf(u'\n', n - tail) : -1;
    const qsizetype to = feed >= 0 ? feed + 1 : n;
    const auto last = std::lower_bound(m_lines.cbegin(), m_lines.cend(), to - n + m, byText);
    const LineStart kept = feed >= 0 ? *last : LineStart{m, m_encoding.size, m_encoding.encoded.size()};

    const QByteArray bytes = view.mid(from.text, to - from.text).toUtf8();
    const QByteArray &old = m_encoding.encoded;
    ByteSink sink(nullptr, from.encoded + bytes.size() * 3 / 2 + (old.size() - kept.encoded) + 64);
    if (from.encoded > 0)
        sink.put(old.constData(), from.encoded);
    QList<MhtmlCodec::LineStart> changed;
    MhtmlCodec::encodeQuotedPrintable(sink, bytes.constData(), bytes.size(), changed);

    QList<LineStart> lines;
    lines.reserve(m_lines.size() + changed.size());
    lines.append(m_lines.cbegin(), first);
    // The changed lines' starts in the text: after its line feeds in turn,
    // as in their UTF-8.
    qsizetype at = from.text;
    for (const MhtmlCodec::LineStart &line : changed) {
        at = view.indexOf(u'\n', at) + 1;
        lines.append({at, from.bytes + line.text, from.encoded + line.encoded});
    }
    const qsizetype size = from.bytes + bytes.size() + (m_encoding.size - kept.bytes);
    if (feed >= 0) {
        const LineStart shift{n - m, from.bytes + bytes.size() - kept.bytes, sink.size() - kept.encoded};
        for (auto it = last + 1; it != m_lines.cend(); ++it)
            lines.append({it->text + shift.text, it->bytes + shift.bytes, it->encoded + shift.encoded});
        sink.put(old.constData() + kept.encoded, old.size() - kept.encoded);
    }
    m_text = text;
    m_encoding = {sink.take(), size};
    m_lines = std::move(lines);
    return m_encoding;
}
