#include "MhtmlCodec.h"

#include "ByteSink.h"
#include "WebEncoding.h"

#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

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
    for (const char *q = p; q < content; ++q) {
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

// The bulk of a base64 body, line by line: a line that ends with CRLF is
// tested Width bytes at a time (from its start, and once more ending with
// it) for holding nothing but the alphabet; any other line goes byte by
// byte. Most lines are as long as the one before, so their end is looked
// for there first.
template <int Width>
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
    return sweepBase64Lines<32>(p, e, s, checkFirst);
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

// Line by line: decodeQuotedPrintable's count never runs past a line's
// break, and tidiness is a matter of lines.
MhtmlCodec::Stats quotedPrintableStats(const char *p, const char *e)
{
    MhtmlCodec::Stats stats{0, true};
    while (p < e) {
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
        p = next;
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

void MhtmlCodec::encodeQuotedPrintable(ByteSink &sink, const QByteArray &data)
{
    const qsizetype n = data.size();
    const char *in = data.constData();
    int column = 0;
    char *w = sink.w;
    for (qsizetype i = 0; i < n; ++i) {
        if (sink.end - w < 8) {
            sink.w = w;
            sink.room(8);
            w = sink.w;
        }
        const char c = in[i];
        const auto u = static_cast<unsigned char>(c);
        int width = 1;
        if (qpClasses[u] != QpLiteral) {
            if (c == '\n' || (c == '\r' && i + 1 < n && in[i + 1] == '\n')) {
                if (c == '\r')
                    ++i;
                w[0] = '\r';
                w[1] = '\n';
                w += 2;
                column = 0;
                continue;
            }
            // Blanks before a line end would be lost in transport, so they are escaped.
            const bool lineEnds =
                i + 1 == n || in[i + 1] == '\n' || (in[i + 1] == '\r' && i + 2 < n && in[i + 2] == '\n');
            if (!(qpClasses[u] == QpBlank && !lineEnds))
                width = 3;
        }
        // 75 columns plus the soft break's "=" make 76; an escape is never split.
        if (column + width > MaxLine - 1) {
            w[0] = '=';
            w[1] = '\r';
            w[2] = '\n';
            w += 3;
            column = 0;
        }
        if (width == 1) {
            *w++ = c;
        } else {
            w[0] = '=';
            w[1] = HexDigits[u >> 4];
            w[2] = HexDigits[u & 15];
            w += 3;
        }
        column += width;
    }
    sink.w = w;
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
