#include "support/Tfseekch.h"

#include "support/Dialogs.h"

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

qint64 Tfseekch::FindNext(const QByteArray &text, bool caseSensitive)
{
    m_patternLength = text.size();
    m_found = false;
    if (m_atEnd)
        return -1;
    if (text.isEmpty()) {
        m_found = true;
        return m_position;
    }
    QByteArray pattern = text;
    if (!caseSensitive) {
        for (char &c : pattern)
            c = char(asciiLower(static_cast<unsigned char>(c)));
    }
    const std::vector<qsizetype> fallback = fallbacks(pattern);
    const auto *want = reinterpret_cast<const unsigned char *>(pattern.constData());
    // While nothing matches, memchr finds the next candidate first byte far
    // faster than a byte-by-byte loop; a letter has two forms to look for.
    const bool skipWithMemchr = caseSensitive || !isAsciiLetter(want[0]);

    qsizetype matched = 0;
    while (!m_atEnd) {
        const auto *block = reinterpret_cast<const unsigned char *>(m_buffer.constData());
        const qsizetype start = m_index - 1;
        qsizetype i = start;
        bool complete = false;
        while (i < m_count) {
            if (matched == 0 && skipWithMemchr) {
                const void *hit = std::memchr(block + i, want[0], size_t(m_count - i));
                if (!hit) {
                    i = m_count;
                    break;
                }
                i = static_cast<const unsigned char *>(hit) - block;
            }
            const unsigned char byte = caseSensitive ? block[i] : asciiLower(block[i]);
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
        if (i > start)
            consume(i - start);
        if (complete) {
            m_found = true;
            return m_position - m_patternLength;
        }
    }
    return -1;
}
