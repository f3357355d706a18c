#include "support/Tfseekch.h"

#include "support/Dialogs.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

unsigned char asciiLower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool isAsciiLetter(unsigned char c)
{
    return asciiLower(c) >= 'a' && asciiLower(c) <= 'z';
}

// For each prefix of the pattern, the length of its longest proper prefix
// that is also its suffix: after a mismatch the search goes on from there, so
// no possible start of the pattern is ever skipped.
std::vector<qsizetype> fallbacks(const QByteArray &pattern)
{
    std::vector<qsizetype> table(size_t(pattern.size()), 0);
    qsizetype k = 0;
    for (qsizetype i = 1; i < pattern.size(); ++i) {
        while (k > 0 && pattern[i] != pattern[k])
            k = table[size_t(k - 1)];
        if (pattern[i] == pattern[k])
            ++k;
        table[size_t(i)] = k;
    }
    return table;
}

// The searched text, prepared for one search.
struct Needle
{
    Needle(const QByteArray &text, bool caseSensitive) : pattern(text), caseSensitive(caseSensitive)
    {
        if (!caseSensitive) {
            for (char &c : pattern)
                c = char(asciiLower(static_cast<unsigned char>(c)));
        }
        const auto first = static_cast<unsigned char>(pattern.front());
        const auto last = static_cast<unsigned char>(pattern.back());
        // Setting bit 5 turns an ASCII capital into its small letter and
        // leaves a small one as it is: one comparison covers both cases.
        firstFold = !caseSensitive && isAsciiLetter(first) ? 0x20 : 0;
        lastFold = !caseSensitive && isAsciiLetter(last) ? 0x20 : 0;
    }

    unsigned char fold(unsigned char c) const { return caseSensitive ? c : asciiLower(c); }

    bool matchesAt(const unsigned char *at) const
    {
        for (qsizetype j = 0; j < pattern.size(); ++j) {
            if (fold(at[j]) != static_cast<unsigned char>(pattern[j]))
                return false;
        }
        return true;
    }

    // The first position from `from` on at which the whole text lies in
    // block[0, count), or -1. Sixty-four possible starts are tested at a time
    // on their first and last byte, which together rarely both match; only
    // those that do are compared in full.
    qsizetype findWithin(const unsigned char *block, qsizetype from, qsizetype count) const
    {
        using Bytes = unsigned char __attribute__((vector_size(16)));
        constexpr qsizetype Width = sizeof(Bytes);
        constexpr qsizetype Step = 4 * Width;
        const qsizetype lastOffset = pattern.size() - 1;
        const Bytes firstWanted = Bytes{} + static_cast<unsigned char>(pattern.front());
        const Bytes lastWanted = Bytes{} + static_cast<unsigned char>(pattern.back());
        const Bytes firstBits = Bytes{} + firstFold;
        const Bytes lastBits = Bytes{} + lastFold;
        const auto candidates = [&](qsizetype at) {
            Bytes heads;
            Bytes tails;
            std::memcpy(&heads, block + at, Width);
            std::memcpy(&tails, block + at + lastOffset, Width);
            return ((heads | firstBits) == firstWanted) & ((tails | lastBits) == lastWanted);
        };
        qsizetype p = from;
        for (; p + lastOffset + Step <= count; p += Step) {
            const auto both =
                candidates(p) | candidates(p + Width) | candidates(p + 2 * Width) | candidates(p + 3 * Width);
            quint64 words[2];
            std::memcpy(words, &both, sizeof words);
            if ((words[0] | words[1]) == 0)
                continue;
            for (qsizetype k = 0; k < Step; ++k) {
                if (matchesAt(block + p + k))
                    return p + k;
            }
        }
        for (; p + lastOffset < count; ++p) {
            if (matchesAt(block + p))
                return p;
        }
        return -1;
    }

    QByteArray pattern;
    bool caseSensitive = false;
    unsigned char firstFold = 0;
    unsigned char lastFold = 0;
};

} // namespace

Tfseekch::Tfseekch(const QString &path, Dialogs &dialogs, std::function<void()> afterBlock)
    : m_dialogs(dialogs), m_afterBlock(std::move(afterBlock)), m_file(path), m_fileName(path)
{
    // Unbuffered: the scanner's own block is the only copy of the data.
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_dialogs.ShowErrorMsg(QStringLiteral("Error: Unable to open file: ") + path +
                               QStringLiteral(" for reading; please check complete file path!"));
        m_atEnd = true;
        return;
    }
    m_fileSize = m_file.size();
    if (m_fileSize == 0) {
        m_dialogs.ShowErrorMsg(QStringLiteral("Error: file ") + path + QStringLiteral(" is empty!!"));
        m_atEnd = true;
        return;
    }
    SeekTo(1);
}

Tfseekch::~Tfseekch()
{
    if (!m_file.isOpen())
        return;
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        m_dialogs.ShowErrorMsg(QStringLiteral("Error: Unable to close file: ") + m_fileName + QStringLiteral("!"));
}

void Tfseekch::readBlock()
{
    const qint64 got = m_file.read(m_buffer.data(), BlockSize);
    m_count = got > 0 ? qsizetype(got) : 0;
    m_index = 1;
    // A file that shrank under the scanner ends the scan rather than looping.
    if (m_count == 0)
        m_atEnd = true;
}

void Tfseekch::SeekTo(qint64 position)
{
    if (!m_file.isOpen())
        return;
    m_position = position;
    m_atEnd = false;
    if (!m_file.seek(position - 1)) {
        m_count = 0;
        m_atEnd = true;
        return;
    }
    readBlock();
}

void Tfseekch::consume(qsizetype n)
{
    m_current = static_cast<unsigned char>(m_buffer[m_index - 1 + n - 1]);
    m_position += n;
    m_index += n;
    if (m_index <= m_count)
        return;
    if (m_position > m_fileSize) {
        m_atEnd = true;
        return;
    }
    readBlock();
    if (m_afterBlock)
        m_afterBlock();
}

void Tfseekch::NextByte()
{
    if (m_atEnd)
        return;
    consume(1);
}

qint64 Tfseekch::FindNext(const QByteArray &text, bool caseSensitive, const Passed &passed)
{
    m_patternLength = text.size();
    m_found = false;
    if (m_atEnd)
        return -1;
    if (text.isEmpty()) {
        m_found = true;
        return m_position;
    }
    const Needle needle(text, caseSensitive);
    const std::vector<qsizetype> fallback = fallbacks(needle.pattern);
    const auto *want = reinterpret_cast<const unsigned char *>(needle.pattern.constData());

    // The bytes of a partial match at a block's end: the next block decides
    // whether they were passed over or begin the occurrence.
    QByteArray carried;
    qsizetype matched = 0;
    while (!m_atEnd) {
        const auto *block = reinterpret_cast<const unsigned char *>(m_buffer.constData());
        const qsizetype start = m_index - 1;
        qsizetype i = start;
        bool complete = false;
        while (i < m_count) {
            if (matched == 0) {
                // Whole occurrences inside the block are found in bulk; only
                // one that may run on into the next block goes byte by byte.
                const qsizetype hit = needle.findWithin(block, i, m_count);
                if (hit >= 0) {
                    i = hit + m_patternLength;
                    matched = m_patternLength;
                    complete = true;
                    break;
                }
                i = std::max(i, m_count - (m_patternLength - 1));
                if (i >= m_count)
                    break;
            }
            const unsigned char byte = needle.fold(block[i]);
            ++i;
            while (matched > 0 && byte != want[matched])
                matched = fallback[size_t(matched - 1)];
            if (byte == want[matched])
                ++matched;
            if (matched == m_patternLength) {
                complete = true;
                break;
            }
        }
        if (passed) {
            // Everything read over but the (partial) match is passed on; the
            // partial match is kept, as the block is about to be replaced.
            const auto *span = reinterpret_cast<const char *>(block) + start;
            const qsizetype spanSize = i - start;
            const qsizetype passedSize = carried.size() + spanSize - matched;
            if (passedSize > 0) {
                const qsizetype fromCarried = std::min(passedSize, carried.size());
                if (fromCarried > 0)
                    passed(carried.constData(), fromCarried);
                if (passedSize > fromCarried)
                    passed(span, passedSize - fromCarried);
            }
            if (complete)
                carried.clear();
            else if (matched <= spanSize)
                carried = QByteArray(span + spanSize - matched, matched);
            else
                carried = carried.right(matched - spanSize) + QByteArray(span, spanSize);
        }
        if (i > start)
            consume(i - start);
        if (complete) {
            m_found = true;
            return m_position - m_patternLength;
        }
    }
    if (passed && !carried.isEmpty())
        passed(carried.constData(), carried.size());
    return -1;
}
