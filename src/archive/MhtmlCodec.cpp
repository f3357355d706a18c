#include "MhtmlCodec.h"

#include "ByteSink.h"
#include "WebEncoding.h"

#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";
constexpr char Base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Lines of a body: 76 characters, as RFC 2045 allows.
constexpr qsizetype MaxLine = 76;
constexpr qsizetype Base64LineInput = MaxLine / 4 * 3;

constexpr std::array<signed char, 256> hexValues = [] {
    std::array<signed char, 256> t{};
    t.fill(-1);
    for (int i = 0; i < 16; ++i) {
        t[static_cast<unsigned char>(HexDigits[i])] = static_cast<signed char>(i);
        t[static_cast<unsigned char>(HexDigits[i] | 0x20)] = static_cast<signed char>(i);
    }
    return t;
}();

constexpr std::array<signed char, 256> base64Values = [] {
    std::array<signed char, 256> t{};
    t.fill(-1);
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(Base64Alphabet[i])] = static_cast<signed char>(i);
    t['-'] = 62; // the URL-safe alphabet, seen in the wild
    t['_'] = 63;
    t['='] = -2;
    return t;
}();

// One table per position in a group of four, each value already shifted into
// place and anything not in the alphabet marked by the top bit, so a whole
// group costs four loads and one test.
constexpr quint32 Base64Invalid = 0x80000000u;
using ShiftedTable = std::array<quint32, 256>;
constexpr ShiftedTable shiftedBase64Table(int shift)
{
    ShiftedTable t{};
    for (int c = 0; c < 256; ++c)
        t[c] = base64Values[c] < 0 ? Base64Invalid : quint32(base64Values[c]) << shift;
    return t;
}
constexpr ShiftedTable base64At0 = shiftedBase64Table(18);
constexpr ShiftedTable base64At1 = shiftedBase64Table(12);
constexpr ShiftedTable base64At2 = shiftedBase64Table(6);
constexpr ShiftedTable base64At3 = shiftedBase64Table(0);

// Quoted-printable bytes: printable ASCII but "=" stands for itself; blanks
// do too, except before a line end.
enum QpClass : unsigned char { QpEscaped, QpLiteral, QpBlank };
constexpr std::array<QpClass, 256> qpClasses = [] {
    std::array<QpClass, 256> t{};
    for (int c = 33; c <= 126; ++c)
        t[c] = c == '=' ? QpEscaped : QpLiteral;
    t[' '] = t['\t'] = QpBlank;
    return t;
}();

// A soft line break at p ("=", optional transport padding, then CRLF, LF or
// the end of the text): where the text goes on; nullptr when p starts none.
const char *afterSoftBreak(const char *p, const char *e)
{
    const char *q = p + 1;
    while (q < e && (*q == ' ' || *q == '\t'))
        ++q;
    if (q == e)
        return e;
    if (*q == '\n')
        return q + 1;
    if (*q == '\r')
        return (q + 1 < e && q[1] == '\n') ? q + 2 : q + 1;
    return nullptr;
}

bool isEscape(const char *p, const char *e)
{
    return e - p >= 3 && hexValues[static_cast<unsigned char>(p[1])] >= 0 &&
           hexValues[static_cast<unsigned char>(p[2])] >= 0;
}

qsizetype base64Tail(qsizetype run)
{
    return run / 4 * 3 + (run % 4 == 2 ? 1 : run % 4 == 3 ? 2 : 0);
}

// One line of a base64 body byte by byte: the first one, a last short one,
// and any a tidy writer would not write. Returns the next line's start.
const char *sweepBase64Line(const char *p, const char *e, MhtmlCodec::Base64Sweep &s)
{
    const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(e - p)));
    const char *content = nl ? nl : e;
    const bool crlf = nl && content > p && content[-1] == '\r';
    if (crlf)
        --content;
    // Something follows a break that was no CRLF, or an empty line, or the
    // line that padding ended: no tidy body.
    if (s.pendingFault || (s.pads > 0 && content > p))
        s.clean = false;
    s.pendingFault = false;
    // Before any padding, characters of the alphabet only count: the run
    // up to the first other one (a last line's padding) in a tight loop.
    const char *q = p;
    if (s.pads == 0) {
        while (q < content && base64Values[static_cast<unsigned char>(*q)] >= 0)
            ++q;
        s.run += q - p;
    }
    for (; q < content; ++q) {
        const signed char v = base64Values[static_cast<unsigned char>(*q)];
        if (v >= 0) {
            ++s.run;
            if (s.pads > 0)
                s.clean = false;
        } else if (v == -2) {
            s.size += base64Tail(s.run);
            s.run = 0;
            if (++s.pads > 2)
                s.clean = false;
        } else if (*q == '\r' || s.pads > 0) {
            s.clean = false;
        }
    }
    const qsizetype length = content - p;
    if (length > MaxLine)
        s.clean = false;
    // Whether this break belongs to the body is known only once more follows.
    if (nl && (!crlf || length == 0))
        s.pendingFault = true;
    return nl ? nl + 1 : e;
}

// Vectors of Width bytes, as the compiler's vector types.
template <int Width> struct Vector;
template <> struct Vector<16>
{
    using Bytes = unsigned char __attribute__((vector_size(16)));
    using SignedBytes = signed char __attribute__((vector_size(16)));
};
template <> struct Vector<32>
{
    using Bytes = unsigned char __attribute__((vector_size(32)));
    using SignedBytes = signed char __attribute__((vector_size(32)));
};

// Clears the lanes of valid whose byte at p is not in the base64 alphabet.
// Vectors go by reference: by value their layout would differ between the
// builds for wider vector units.
template <int Width> [[gnu::always_inline]] inline void base64Lanes(const char *p, typename Vector<Width>::Bytes &valid)
{
    using Bytes = typename Vector<Width>::Bytes;
    using SignedBytes = typename Vector<Width>::SignedBytes;
    Bytes c;
    std::memcpy(&c, p, sizeof c);
    // Unsigned ranges as signed comparisons, one instruction each; letters
    // of either case fold onto a-z.
    const auto letter = reinterpret_cast<SignedBytes>((c | 0x20) + (128 - 'a')) < SignedBytes{} + (26 - 128);
    const auto digit = reinterpret_cast<SignedBytes>(c + (128 - '0')) < SignedBytes{} + (10 - 128);
    valid &= reinterpret_cast<Bytes>(letter | digit | (c == '+') | (c == '/') | (c == '-') | (c == '_'));
}

// Lanes of the test that ends a line which an earlier test saw already,
// for each length of the line's last part.
template <int Width>
constexpr std::array<std::array<unsigned char, Width>, Width> seenLanes = [] {
    std::array<std::array<unsigned char, Width>, Width> t{};
    for (int rest = 0; rest < Width; ++rest) {
        for (int lane = 0; lane < Width; ++lane)
            t[rest][lane] = rest == 0 || lane < Width - rest ? 0xff : 0;
    }
    return t;
}();

using FastLines = const char *(*)(const char *p, const char *e, qsizetype &run);

#if defined(__x86_64__) && defined(__GNUC__)
// A byte's class as the AND of an entry for its high nibble and one for its
// low nibble: zero for the standard alphabet, the top bit for LF, the next
// for CR, some other bit for everything else. Bits 0 to 4 each stand for a
// group of high nibbles, set in the low nibbles that are not in the
// alphabet under them.
struct NibbleTables
{
    std::array<unsigned char, 16> high{};
    std::array<unsigned char, 16> low{};
};
constexpr unsigned char NibbleLf = 0x80;
constexpr unsigned char NibbleCr = 0x40;
constexpr NibbleTables base64Nibbles = [] {
    NibbleTables t;
    // The groups: no character of the alphabet; "+" and "/"; digits;
    // capitals and small letters to "o"; the rest of both to "z".
    for (int h = 0; h < 16; ++h)
        t.high[h] = h == 2 ? 0x02 : h == 3 ? 0x04 : (h == 4 || h == 6) ? 0x08 : (h == 5 || h == 7) ? 0x10 : 0x01;
    t.high[0] |= NibbleLf | NibbleCr;
    for (int l = 0; l < 16; ++l) {
        t.low[l] = 0x01;
        if (l != 0xB && l != 0xF)
            t.low[l] |= 0x02;
        if (l > 9)
            t.low[l] |= 0x04;
        if (l == 0)
            t.low[l] |= 0x08;
        if (l > 0xA)
            t.low[l] |= 0x10;
    }
    t.low[0xA] |= NibbleLf;
    t.low[0xD] |= NibbleCr;
    return t;
}();

constexpr unsigned char base64Class(unsigned char c)
{
    return base64Nibbles.high[c >> 4] & base64Nibbles.low[c & 15];
}

// The classes of the 32 bytes at p.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i base64Classes(const char *p)
{
    const __m256i high =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(base64Nibbles.high.data())));
    const __m256i low =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(base64Nibbles.low.data())));
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
    return _mm256_and_si256(_mm256_shuffle_epi8(high, _mm256_and_si256(_mm256_srli_epi16(c, 4), nibble)),
                            _mm256_shuffle_epi8(low, _mm256_and_si256(c, nibble)));
}

// Lines of exactly 76 characters of the alphabet and a CRLF, as nearly every
// writer writes them: three overlapping loads and one test a line.
[[gnu::target("avx2")]] inline const char *base64Lines76(const char *p, const char *e, qsizetype &run)
{
    alignas(32) static constexpr std::array<unsigned char, 32> tail = [] {
        std::array<unsigned char, 32> t{};
        t[30] = base64Class('\r');
        t[31] = base64Class('\n');
        return t;
    }();
    const __m256i zero = _mm256_setzero_si256();
    const __m256i expectedTail = _mm256_load_si256(reinterpret_cast<const __m256i *>(tail.data()));
    while (e - p >= MaxLine + 2) {
        const __m256i head = _mm256_cmpeq_epi8(base64Classes(p), zero);
        const __m256i middle = _mm256_cmpeq_epi8(base64Classes(p + 32), zero);
        const __m256i end = _mm256_cmpeq_epi8(base64Classes(p + MaxLine + 2 - 32), expectedTail);
        if (_mm256_movemask_epi8(_mm256_and_si256(_mm256_and_si256(head, middle), end)) != -1)
            break;
        run += MaxLine;
        p += MaxLine + 2;
    }
    return p;
}

// Bits of the 32 bytes at p: in the standard alphabet, CR, LF.
[[gnu::target("avx2"), gnu::always_inline]] inline void base64Bits(const char *p, quint32 &alphabet, quint32 &crs,
                                                                   quint32 &lfs)
{
    const __m256i classes = base64Classes(p);
    alphabet = quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(classes, _mm256_setzero_si256())));
    lfs = quint32(_mm256_movemask_epi8(classes));
    crs = quint32(_mm256_movemask_epi8(_mm256_add_epi8(classes, classes)));
}

// Other tidy lines, 64 bytes at a time, until one ends; returns the first
// line not taken.
[[gnu::target("avx2")]] inline const char *base64Blocks(const char *p, const char *e, qsizetype &run)
{
    const char *line = p;
    const char *block = p;
    quint64 carry = 0; // a CR that ended the block before
    while (e - block >= 64) {
        quint32 a0, a1, c0, c1, l0, l1;
        base64Bits(block, a0, c0, l0);
        base64Bits(block + 32, a1, c1, l1);
        const quint64 others = ~(quint64(a1) << 32 | a0);
        const quint64 crs = quint64(c1) << 32 | c0;
        const quint64 lfs = quint64(l1) << 32 | l0;
        // Bytes outside the alphabet are CR-LF pairs, and one line at most
        // ends here (shorter lines are left to the careful path).
        if (others != (crs | lfs) || lfs != ((crs << 1) | carry) || (lfs & (lfs - 1)) != 0)
            break;
        if (lfs != 0) {
            const char *nl = block + __builtin_ctzll(lfs);
            const qsizetype length = nl - 1 - line;
            if (length < 1 || length > MaxLine)
                break;
            run += length;
            return nl + 1;
        }
        carry = crs >> 63;
        block += 64;
    }
    return line;
}

// Whole lines from p, a line start, while every line is 1 to 76 characters
// of the standard alphabet and a CRLF: what tidy writers write. Anything
// else ("=", "-", a stray byte, a long or short line, the body's end) is
// left to the careful path, from the start of the line it falls in. Adds
// the characters taken to run; returns the first line not taken.
[[gnu::target("avx2")]] const char *fastBase64Lines(const char *p, const char *e, qsizetype &run)
{
    while (true) {
        const char *after76 = base64Lines76(p, e, run);
        p = base64Blocks(after76, e, run);
        if (p == after76)
            return p;
    }
}
#endif

// The bulk of a base64 body, line by line: a line that ends with CRLF is
// tested Width bytes at a time (from its start, and once more ending with
// it) for holding nothing but the alphabet; any other line goes byte by
// byte. Most lines are as long as the one before, so their end is looked
// for there first. Where given, fast takes runs of tidy lines in blocks.
template <int Width, FastLines fast = nullptr>
[[gnu::always_inline]] inline const char *sweepBase64Lines(const char *p, const char *e, MhtmlCodec::Base64Sweep &s,
                                                           bool checkFirst)
{
    using Bytes = typename Vector<Width>::Bytes;
    // Kept here: stores through s could change the bytes for all the
    // compiler knows, and would be repeated every line.
    qsizetype run = 0;
    bool pendingFault = s.pendingFault;
    bool clean = s.clean;
    qsizetype expected = 76;
    bool check = checkFirst;
    while (p < e) {
        if (check && e - p >= 2 && p[0] == '-' && p[1] == '-')
            break;
        check = true;
        if constexpr (fast != nullptr) {
            if (s.pads == 0) {
                qsizetype taken = 0;
                const char *next = fast(p, e, taken);
                if (next != p) {
                    clean = clean && !pendingFault;
                    pendingFault = false;
                    run += taken;
                    p = next;
                    continue;
                }
            }
        }
        qsizetype length = expected;
        if (s.pads > 0 || e - p < length + 2 || p[length] != '\r' || p[length + 1] != '\n') {
            const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(e - p)));
            const qsizetype found = nl ? nl - p - 1 : 0;
            length = found >= Width && found <= MaxLine && nl[-1] == '\r' && s.pads == 0 ? found : 0;
        }
        if (length >= Width) {
            Bytes valid = Bytes{} - 1;
            base64Lanes<Width>(p + length - Width, valid);
            Bytes seen;
            std::memcpy(&seen, seenLanes<Width>[size_t(length % Width)].data(), sizeof seen);
            valid |= seen;
            // The line length nearly every writer uses, unrolled.
            if (length == 76) {
                for (qsizetype at = 0; at + Width <= 76; at += Width)
                    base64Lanes<Width>(p + at, valid);
            } else {
                for (qsizetype at = 0; at + Width <= length; at += Width)
                    base64Lanes<Width>(p + at, valid);
            }
            quint64 words[Width / 8];
            std::memcpy(words, &valid, sizeof words);
            quint64 all = ~quint64(0);
            for (const quint64 word : words)
                all &= word;
            if (all == ~quint64(0)) {
                // Something follows a faulty break: the body goes on.
                clean = clean && !pendingFault;
                pendingFault = false;
                run += length;
                p += length + 2;
                expected = length;
                continue;
            }
        }
        s.run += run;
        run = 0;
        s.pendingFault = pendingFault;
        s.clean = clean;
        p = sweepBase64Line(p, e, s);
        pendingFault = s.pendingFault;
        clean = s.clean;
    }
    s.run += run;
    s.pendingFault = pendingFault;
    s.clean = clean;
    return p;
}

const char *sweepBase64Narrow(const char *p, const char *e, MhtmlCodec::Base64Sweep &s, bool checkFirst)
{
    return sweepBase64Lines<16>(p, e, s, checkFirst);
}

#if defined(__x86_64__) && defined(__GNUC__)
// Half as many tests a line where the processor has the wider unit.
[[gnu::target("avx2")]] const char *sweepBase64Wide(const char *p, const char *e, MhtmlCodec::Base64Sweep &s,
                                                    bool checkFirst)
{
    return sweepBase64Lines<32, fastBase64Lines>(p, e, s, checkFirst);
}

const auto sweepBase64Best = __builtin_cpu_supports("avx2") ? sweepBase64Wide : sweepBase64Narrow;
#else
const auto sweepBase64Best = sweepBase64Narrow;
#endif

// A large decoded part is filled front to back at once. On Linux, huge
// pages and faulting the whole buffer in with one call spare a page fault per
// 4 KiB, which dominates the cost of filling fresh memory on virtual
// machines. Both are only advice: an older kernel simply ignores them.
void adviseFreshBuffer(char *data, qsizetype size)
{
#if defined(Q_OS_LINUX)
    constexpr qsizetype Huge = 2 * 1024 * 1024;
    if (size < Huge)
        return;
    const auto begin = reinterpret_cast<quintptr>(data);
    const quintptr end = begin + quintptr(size);
#if defined(MADV_HUGEPAGE)
    const quintptr firstHuge = (begin + Huge - 1) & ~quintptr(Huge - 1);
    const quintptr lastHuge = end & ~quintptr(Huge - 1);
    if (lastHuge > firstHuge)
        madvise(reinterpret_cast<void *>(firstHuge), lastHuge - firstHuge, MADV_HUGEPAGE);
#endif
    const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr first = (begin + page - 1) & ~(page - 1);
    const quintptr last = end & ~(page - 1);
    // Not in every libc's headers yet; the value is fixed by the kernel.
    constexpr int PopulateWrite = 23;
    if (last > first)
        madvise(reinterpret_cast<void *>(first), last - first, PopulateWrite);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

// Qt's decoder manages some 30 MB/s; archives are mostly base64 pictures.
// Skips what is not in the alphabet (standard or URL-safe); padding ends a
// group.
QByteArray decodeBase64(const QByteArray &encoded)
{
    // Room for the four-byte stores of the fast path past the last group.
    constexpr qsizetype Slack = 8;
    QByteArray out(encoded.size() / 4 * 3 + 3 + Slack, Qt::Uninitialized);
    adviseFreshBuffer(out.data(), out.size());
    char *o = out.data();
    quint32 bits = 0;
    int count = 0;
    const auto *in = reinterpret_cast<const unsigned char *>(encoded.constData());
    const unsigned char *const inEnd = in + encoded.size();
    const auto flushPartial = [&] {
        if (count == 2) {
            *o++ = char(bits >> 4);
        } else if (count == 3) {
            *o++ = char(bits >> 10);
            *o++ = char(bits >> 2);
        }
        bits = 0;
        count = 0;
    };
    while (in < inEnd) {
        // Whole groups of four valid characters, the bulk of any line, in one step.
        if (count == 0) {
            while (inEnd - in >= 4) {
                const quint32 v = base64At0[in[0]] | base64At1[in[1]] | base64At2[in[2]] | base64At3[in[3]];
                if (v & Base64Invalid)
                    break;
                const quint32 bigEndian = qToBigEndian(v << 8);
                std::memcpy(o, &bigEndian, 4);
                o += 3;
                in += 4;
            }
            if (in == inEnd)
                break;
        }
        const signed char v = base64Values[*in++];
        if (v >= 0) {
            bits = (bits << 6) | quint32(v);
            if (++count == 4) {
                *o++ = char(bits >> 16);
                *o++ = char(bits >> 8);
                *o++ = char(bits);
                bits = 0;
                count = 0;
            }
        } else if (v == -2) {
            // Padding ends a group; anything after it starts afresh.
            flushPartial();
        }
    }
    flushPartial();
    out.truncate(o - out.constData());
    return out;
}

// One line of a quoted-printable body, byte by byte: decodeQuotedPrintable's
// count never runs past a line's break, and tidiness is a matter of lines.
// Returns the next line's start.
const char *quotedPrintableLine(const char *p, const char *e, MhtmlCodec::Stats &stats)
{
    const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(e - p)));
    const char *next = nl ? nl + 1 : e;
    const bool crlf = nl && nl > p && nl[-1] == '\r';
    const char *content = crlf ? nl - 1 : nl ? nl : e;
    if ((nl && !crlf) || content - p > MaxLine ||
        (content > p && qpClasses[static_cast<unsigned char>(content[-1])] == QpBlank))
        stats.clean = false; // a bare break, a long line, or blanks lost in transport
    const char *q = p;
    while (q < content) {
        const QpClass kind = qpClasses[static_cast<unsigned char>(*q)];
        if (kind != QpEscaped) {
            ++stats.size;
            ++q;
        } else if (*q == '=' && isEscape(q, content)) {
            ++stats.size;
            q += 3;
        } else if (const char *after = *q == '=' ? afterSoftBreak(q, e) : nullptr) {
            // Tidy only as the last character of its line.
            if (q + 1 != content)
                stats.clean = false;
            q = after;
        } else {
            ++stats.size;
            ++q;
            stats.clean = false;
        }
    }
    // A soft break takes the line's break with it.
    if (q <= content)
        stats.size += next - content;
    return next;
}

bool isSpecialInQuotedPrintable(unsigned char c)
{
    return (c < ' ' && c != '\t') || c >= 127 || c == '=';
}

// Where the next byte at or after a position lies that a tidy line must look
// at: "=", line breaks, and anything but printable ASCII and blanks. Finds
// them 64 bytes at a time; in HTML most bytes between are plain text.
class QuotedPrintableSpecials
{
public:
    QuotedPrintableSpecials(const char *p, const char *e) : m_begin(p), m_size(e - p) {}

    qsizetype next(qsizetype at)
    {
        while (true) {
            if (at >= m_at && at < m_at + 64) {
                const quint64 left = m_bits & (~quint64(0) << (at - m_at));
                if (left != 0)
                    return m_at + __builtin_ctzll(left);
                at = m_at + 64;
            }
            if (at >= m_size)
                return m_size;
            m_at = at;
            m_bits = bitsAt(m_begin + at, m_size - at);
        }
    }

private:
    static quint64 bitsAt(const char *p, qsizetype left)
    {
        quint64 bits = 0;
#if defined(__SSE2__)
        if (left >= 64) {
            for (int i = 0; i < 4; ++i) {
                const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
                // Signed: bytes from 128 up count as below the blank.
                const __m128i control =
                    _mm_andnot_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8('\t')), _mm_cmplt_epi8(c, _mm_set1_epi8(' ')));
                const __m128i special = _mm_or_si128(control, _mm_or_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8(127)),
                                                                           _mm_cmpeq_epi8(c, _mm_set1_epi8('='))));
                bits |= quint64(quint32(_mm_movemask_epi8(special))) << (16 * i);
            }
            return bits;
        }
#endif
        for (qsizetype i = 0; i < qMin<qsizetype>(left, 64); ++i) {
            if (isSpecialInQuotedPrintable(static_cast<unsigned char>(p[i])))
                bits |= quint64(1) << i;
        }
        return bits;
    }

    const char *m_begin;
    qsizetype m_size;
    // The 64 bytes looked at last, from m_at on.
    qsizetype m_at = -64;
    quint64 m_bits = 0;
};

// A tidy line at p, as a tidy writer writes them: at most 76 characters,
// text and escapes, ending in a soft break, a CRLF not after a blank, or the
// end of the text. Adds its decoded size to size and returns the next
// line's start; nullptr for any other line, which only the careful path
// judges.
const char *tidyQuotedPrintableLine(const char *begin, const char *p, const char *e, QuotedPrintableSpecials &specials,
                                    qsizetype &size)
{
    qsizetype lineSize = 0;
    const char *q = p;
    const auto endsTidily = [&](const char *content) {
        return content - p <= MaxLine &&
               (content == p || qpClasses[static_cast<unsigned char>(content[-1])] != QpBlank);
    };
    while (true) {
        const char *s = begin + specials.next(q - begin);
        lineSize += s - q;
        if (s == e) {
            if (!endsTidily(s))
                return nullptr;
            size += lineSize;
            return e;
        }
        if (*s == '=') {
            if (isEscape(s, e)) {
                ++lineSize;
                q = s + 3;
                continue;
            }
            if (e - s == 1 || (e - s >= 3 && s[1] == '\r' && s[2] == '\n')) {
                if (s + 1 - p > MaxLine)
                    return nullptr;
                size += lineSize;
                return e - s == 1 ? e : s + 3;
            }
            return nullptr;
        }
        if (*s == '\r' && e - s >= 2 && s[1] == '\n' && endsTidily(s)) {
            size += lineSize + 2;
            return s + 2;
        }
        return nullptr;
    }
}

using FastQuotedPrintable = const char *(*)(const char *p, const char *e, qsizetype &size);

#if defined(__x86_64__) && defined(__GNUC__)
// What a block of a quoted-printable body holds, a bit a byte.
struct QpBits
{
    quint64 equals = 0, crs = 0, lfs = 0, blanks = 0, hex = 0;
    bool bad = false; // anything but printable ASCII, blanks and CR-LF
};

[[gnu::target("avx2"), gnu::always_inline]] inline quint64 mask(__m256i v)
{
    return quint64(quint32(_mm256_movemask_epi8(v)));
}

[[gnu::target("avx2"), gnu::always_inline]] inline void qpBits32(const char *p, QpBits &bits, int shift)
{
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
    const __m256i cr = _mm256_cmpeq_epi8(c, _mm256_set1_epi8('\r'));
    const __m256i lf = _mm256_cmpeq_epi8(c, _mm256_set1_epi8('\n'));
    const __m256i tab = _mm256_cmpeq_epi8(c, _mm256_set1_epi8('\t'));
    const __m256i blank = _mm256_or_si256(_mm256_cmpeq_epi8(c, _mm256_set1_epi8(' ')), tab);
    // Signed: bytes from 128 up count as below the blank.
    const __m256i control =
        _mm256_or_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(' '), c), _mm256_cmpeq_epi8(c, _mm256_set1_epi8(127)));
    const __m256i bad = _mm256_andnot_si256(_mm256_or_si256(_mm256_or_si256(cr, lf), tab), control);
    const __m256i digit =
        _mm256_cmpgt_epi8(_mm256_set1_epi8(char(10 - 128)), _mm256_add_epi8(c, _mm256_set1_epi8(char(128 - '0'))));
    const __m256i letter =
        _mm256_cmpgt_epi8(_mm256_set1_epi8(char(6 - 128)), _mm256_add_epi8(_mm256_or_si256(c, _mm256_set1_epi8(0x20)),
                                                                           _mm256_set1_epi8(char(128 - 'a'))));
    bits.equals |= mask(_mm256_cmpeq_epi8(c, _mm256_set1_epi8('='))) << shift;
    bits.crs |= mask(cr) << shift;
    bits.lfs |= mask(lf) << shift;
    bits.blanks |= mask(blank) << shift;
    bits.hex |= mask(_mm256_or_si256(digit, letter)) << shift;
    bits.bad = bits.bad || !_mm256_testz_si256(bad, bad);
}

[[gnu::target("avx2"), gnu::always_inline]] inline QpBits qpBits(const char *p)
{
    QpBits bits;
    qpBits32(p, bits, 0);
    qpBits32(p + 32, bits, 32);
    return bits;
}

// Whole tidy lines from p, a line start, 64 bytes at a time: text, escapes
// and soft breaks, lines of at most 76 characters, CRLF not after a blank.
// Each block is judged with the first bytes of the next one, where an
// escape or a break may run on. Adds the decoded size of the lines taken to
// size; returns the first line not taken, for the careful path.
[[gnu::target("avx2")]] const char *fastQuotedPrintableLines(const char *p, const char *e, qsizetype &size)
{
    const char *line = p;
    const char *block = p;
    qsizetype pending = 0; // the decoded size of the line begun before block
    quint64 carry = 0;     // a CR that ended the block before
    if (e - block < 128)
        return line;
    QpBits bits = qpBits(block);
    while (e - block >= 128) {
        const QpBits next = qpBits(block + 64);
        const quint64 hex1 = (bits.hex >> 1) | (next.hex << 63);
        const quint64 hex2 = (bits.hex >> 2) | (next.hex << 62);
        const quint64 cr1 = (bits.crs >> 1) | (next.crs << 63);
        const quint64 escapes = bits.equals & hex1 & hex2;
        const quint64 soft = bits.equals & cr1;
        if (bits.bad || bits.equals != (escapes | soft) || bits.lfs != ((bits.crs << 1) | carry) ||
            (bits.blanks & cr1) != 0)
            break;
        // Three bytes of an escape decode to one, a soft break to none.
        const auto decoded = [&](quint64 within, qsizetype bytes) {
            return bytes - 2 * __builtin_popcountll(escapes & within) - 3 * __builtin_popcountll(soft & within);
        };
        if (bits.lfs != 0) {
            // Only the first line ending here can be too long: any other
            // began in this block.
            if (block + __builtin_ctzll(bits.lfs) - 1 - line > MaxLine)
                break;
            const int last = 63 - __builtin_clzll(bits.lfs);
            const quint64 done = last == 63 ? ~quint64(0) : (quint64(1) << (last + 1)) - 1;
            size += pending + decoded(done, last + 1);
            pending = decoded(~done, 63 - last);
            line = block + last + 1;
        } else {
            pending += decoded(~quint64(0), 64);
        }
        carry = bits.crs >> 63;
        bits = next;
        block += 64;
    }
    return line;
}

const FastQuotedPrintable fastQuotedPrintable = __builtin_cpu_supports("avx2") ? fastQuotedPrintableLines : nullptr;
#else
const FastQuotedPrintable fastQuotedPrintable = nullptr;
#endif

MhtmlCodec::Stats quotedPrintableStats(const char *p, const char *e)
{
    MhtmlCodec::Stats stats{0, true};
    QuotedPrintableSpecials specials(p, e);
    const char *const begin = p;
    while (p < e) {
        if (fastQuotedPrintable) {
            const char *after = fastQuotedPrintable(p, e, stats.size);
            if (after != p) {
                p = after;
                continue;
            }
        }
        const char *next = tidyQuotedPrintableLine(begin, p, e, specials, stats.size);
        p = next ? next : quotedPrintableLine(p, e, stats);
    }
    return stats;
}

} // namespace

QByteArray MhtmlCodec::decodeBody(const QByteArray &encoded, const QByteArray &transferEncoding)
{
    if (transferEncoding == "base64")
        return decodeBase64(encoded);
    if (transferEncoding == "quoted-printable")
        return decodeQuotedPrintable(encoded);
    return QByteArray(encoded.constData(), encoded.size());
}

qsizetype MhtmlCodec::decodedSize(const QByteArray &encoded, const QByteArray &transferEncoding)
{
    return bodyStats(encoded.constData(), encoded.constData() + encoded.size(), transferEncoding).size;
}

const char *MhtmlCodec::sweepBase64(const char *p, const char *e, Base64Sweep &sweep, bool checkFirst)
{
    return sweepBase64Best(p, e, sweep, checkFirst);
}

void MhtmlCodec::finishBase64(Base64Sweep &sweep, bool atDelimiter)
{
    sweep.size += base64Tail(sweep.run);
    sweep.run = 0;
    if (sweep.pendingFault && !atDelimiter)
        sweep.clean = false;
    sweep.pendingFault = false;
}

QByteArray MhtmlCodec::decodeQuotedPrintable(const QByteArray &encoded)
{
    QByteArray out(encoded.size(), Qt::Uninitialized);
    char *o = out.data();
    const char *p = encoded.constData();
    const char *const e = p + encoded.size();
    while (p < e) {
        // Escapes come every few bytes in HTML ("=3D" in every attribute), so
        // a plain loop beats a memchr and a memcpy call per run.
        if (*p != '=') {
            *o++ = *p++;
            continue;
        }
        if (isEscape(p, e)) {
            *o++ = char(hexValues[static_cast<unsigned char>(p[1])] * 16 + hexValues[static_cast<unsigned char>(p[2])]);
            p += 3;
            continue;
        }
        if (const char *next = afterSoftBreak(p, e)) {
            p = next;
        } else {
            *o++ = '='; // not an escape: kept as written
            ++p;
        }
    }
    out.truncate(o - out.constData());
    return out;
}

// Qt's toBase64 manages some 250 MB/s and needs a second pass to cut lines.
void MhtmlCodec::encodeBase64(ByteSink &sink, const QByteArray &data)
{
    const auto *in = reinterpret_cast<const unsigned char *>(data.constData());
    qsizetype left = data.size();
    while (left >= 3) {
        sink.room(MaxLine + 2);
        const qsizetype lineInput = qMin(left - left % 3, Base64LineInput);
        char *w = sink.w;
        for (const unsigned char *stop = in + lineInput; in < stop; in += 3) {
            const quint32 v = quint32(in[0]) << 16 | quint32(in[1]) << 8 | in[2];
            w[0] = Base64Alphabet[v >> 18];
            w[1] = Base64Alphabet[(v >> 12) & 63];
            w[2] = Base64Alphabet[(v >> 6) & 63];
            w[3] = Base64Alphabet[v & 63];
            w += 4;
        }
        left -= lineInput;
        if (lineInput == Base64LineInput || left == 0) {
            *w++ = '\r';
            *w++ = '\n';
        }
        sink.w = w;
    }
    if (left > 0) {
        // The tail shares the last line, which has room: it held fewer than 57 bytes.
        sink.room(6);
        char *w = sink.w;
        const quint32 v = quint32(in[0]) << 16 | (left == 2 ? quint32(in[1]) << 8 : 0);
        w[0] = Base64Alphabet[v >> 18];
        w[1] = Base64Alphabet[(v >> 12) & 63];
        w[2] = left == 2 ? Base64Alphabet[(v >> 6) & 63] : '=';
        w[3] = '=';
        w[4] = '\r';
        w[5] = '\n';
        sink.w = w + 6;
    }
}

namespace {

void encodeQuotedPrintableLines(ByteSink &sink, const char *in, qsizetype n, QList<MhtmlCodec::LineStart> *lines)
{
    // Run by run, not byte by byte: most of a page is plain text between
    // the bytes that need a look ("=", line breaks, anything but printable
    // ASCII and blanks), and a run goes out in pieces of a line's room.
    QuotedPrintableSpecials specials(in, in + n);
    // 75 columns plus the soft break's "=" make 76.
    constexpr qsizetype Room = MaxLine - 1;
    qsizetype column = 0;
    const auto put = [&](const char *bytes, qsizetype size) {
        sink.room(size);
        std::memcpy(sink.w, bytes, size_t(size));
        sink.w += size;
    };
    const auto softBreak = [&] {
        put("=\r\n", 3);
        column = 0;
    };
    const auto escape = [&](unsigned char u) {
        // An escape is never split.
        if (column + 3 > Room)
            softBreak();
        sink.room(3);
        sink.w[0] = '=';
        sink.w[1] = HexDigits[u >> 4];
        sink.w[2] = HexDigits[u & 15];
        sink.w += 3;
        column += 3;
    };
    const qsizetype start = lines ? sink.size() : 0;
    qsizetype i = 0;
    while (i < n) {
        const qsizetype s = specials.next(i);
        const bool lineEnds = s == n || in[s] == '\n' || (in[s] == '\r' && s + 1 < n && in[s + 1] == '\n');
        // A blank before a line end would be lost in transport, so it is escaped.
        const bool blankEnds = lineEnds && s > i && qpClasses[static_cast<unsigned char>(in[s - 1])] == QpBlank;
        qsizetype run = s - i - (blankEnds ? 1 : 0);
        while (column + run > Room) {
            const qsizetype piece = Room - column;
            put(in + i, piece);
            i += piece;
            run -= piece;
            softBreak();
        }
        put(in + i, run);
        i += run;
        column += run;
        if (blankEnds)
            escape(static_cast<unsigned char>(in[i++]));
        if (s == n)
            break;
        if (lineEnds) {
            put("\r\n", 2);
            column = 0;
            i = s + (in[s] == '\r' ? 2 : 1);
            if (lines)
                lines->append({i, sink.size() - start});
        } else {
            escape(static_cast<unsigned char>(in[s]));
            i = s + 1;
        }
    }
}

} // namespace

void MhtmlCodec::encodeQuotedPrintable(ByteSink &sink, const QByteArray &data)
{
    encodeQuotedPrintableLines(sink, data.constData(), data.size(), nullptr);
}

void MhtmlCodec::encodeQuotedPrintable(ByteSink &sink, const char *data, qsizetype size, QList<LineStart> &lines)
{
    encodeQuotedPrintableLines(sink, data, size, &lines);
}

QByteArray MhtmlCodec::encodeQuotedPrintable(const QByteArray &data)
{
    ByteSink sink(nullptr, data.size() + data.size() / 8 + 64);
    encodeQuotedPrintable(sink, data);
    return sink.take();
}

MhtmlCodec::Stats MhtmlCodec::bodyStats(const char *p, const char *e, const QByteArray &transferEncoding)
{
    if (transferEncoding == "quoted-printable")
        return quotedPrintableStats(p, e);
    if (transferEncoding != "base64")
        return {e - p, false};
    // A body on its own holds no delimiter: a line that starts with "--"
    // is swept as the others.
    Base64Sweep sweep;
    while (p < e)
        p = sweepBase64(p, e, sweep, false);
    finishBase64(sweep, false);
    return {sweep.size, sweep.clean};
}

QString MhtmlCodec::decodeHeaderWords(const QByteArray &value)
{
    // The text of a word holds no "?"; blanks in it are a writer's fold.
    static const QRegularExpression word(QStringLiteral(R"(=\?([^?\s]+)\?([BbQq])\?([^?]*)\?=)"));
    // Offsets into the Latin-1 view are offsets into the bytes.
    const QString text = QString::fromLatin1(value);
    QString out;
    QByteArray charset;
    QByteArray pending;
    bool wordPending = false;
    const auto flushWords = [&] {
        if (wordPending)
            out += WebEncoding::decode(pending, charset);
        pending.clear();
        wordPending = false;
    };
    qsizetype last = 0;
    auto it = word.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QByteArray between = value.mid(last, m.capturedStart() - last);
        // Blanks between two words are not part of the text.
        if (!wordPending || !between.trimmed().isEmpty()) {
            flushWords();
            out += QString::fromUtf8(between);
        }
        QByteArray label = m.captured(1).toLatin1().toLower();
        const qsizetype star = label.indexOf('*'); // RFC 2231 language suffix
        if (star >= 0)
            label.truncate(star);
        if (wordPending && label != charset)
            flushWords();
        charset = label;
        QByteArray payload = m.captured(3).toLatin1();
        payload.removeIf([](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
        if (m.captured(2).compare(QLatin1String("B"), Qt::CaseInsensitive) == 0) {
            pending += decodeBase64(payload);
        } else {
            payload.replace('_', ' ');
            pending += decodeQuotedPrintable(payload);
        }
        wordPending = true;
        last = m.capturedEnd();
    }
    flushWords();
    out += QString::fromUtf8(value.mid(last));
    return out;
}

QByteArray MhtmlCodec::encodeHeaderText(const QString &text)
{
    const bool ascii = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u' ' && c <= u'~'; });
    if (ascii)
        return text.toLatin1();
    // Words of 60 characters at most, split between characters, so even the
    // first line with its header name stays within 76 columns.
    QByteArray out;
    QByteArray pending;
    const auto flush = [&] {
        if (pending.isEmpty())
            return;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?utf-8?B?" + pending.toBase64() + "?=";
        pending.clear();
    };
    const QList<uint> codePoints = text.toUcs4();
    for (const uint cp : codePoints) {
        const QByteArray bytes = QString::fromUcs4(reinterpret_cast<const char32_t *>(&cp), 1).toUtf8();
        if (pending.size() + bytes.size() > 36)
            flush();
        pending += bytes;
    }
    flush();
    return out;
}
