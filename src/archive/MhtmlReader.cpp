#include "MhtmlReader.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Deeper nesting than this is no real archive, and recursion must stay bounded.
constexpr int MaxDepth = 8;

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

struct ContentType
{
    QByteArray type;
    QMap<QByteArray, QByteArray> params;
};

struct Span
{
    qsizetype begin = 0;
    qsizetype end = 0;
};

ContentType parseContentType(const QByteArray &value)
{
    ContentType ct;
    qsizetype i = 0;
    const qsizetype n = value.size();
    qsizetype semi = value.indexOf(';');
    if (semi < 0)
        semi = n;
    ct.type = value.left(semi).trimmed().toLower();
    i = semi + 1;
    while (i < n) {
        while (i < n && (value[i] == ' ' || value[i] == '\t' || value[i] == ';'))
            ++i;
        const qsizetype eq = value.indexOf('=', i);
        if (eq < 0)
            break;
        const QByteArray name = value.mid(i, eq - i).trimmed().toLower();
        i = eq + 1;
        while (i < n && (value[i] == ' ' || value[i] == '\t'))
            ++i;
        QByteArray param;
        if (i < n && value[i] == '"') {
            ++i;
            while (i < n && value[i] != '"') {
                if (value[i] == '\\' && i + 1 < n)
                    ++i;
                param += value[i++];
            }
            ++i;
            const qsizetype next = value.indexOf(';', i);
            i = next < 0 ? n : next;
        } else {
            const qsizetype next = value.indexOf(';', i);
            const qsizetype stop = next < 0 ? n : next;
            param = value.mid(i, stop - i).trimmed();
            i = stop;
        }
        if (!name.isEmpty())
            ct.params.insert(name, param);
    }
    return ct;
}

QByteArray headerValue(const HeaderList &headers, const char *name)
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

// A header name is a token: a line whose text before its colon holds a
// blank is no header of its own.
bool isFieldName(const QByteArray &name)
{
    return !name.isEmpty() && std::all_of(name.cbegin(), name.cend(), [](char c) { return c > ' ' && c < 127; });
}

// Reads header lines from pos; returns where the body begins, or -1 when the
// text does not start with a header at all. Like browsers, a line that is no
// header (a wrapped value that lost its indentation) continues the header
// above it, and only a blank line ends the block; when none comes, the body
// is taken to begin at the first such line.
qsizetype parseHeaders(const QByteArray &data, qsizetype pos, qsizetype end, HeaderList &headers)
{
    const char *d = data.constData();
    qsizetype strayAt = -1;
    qsizetype headersAtStray = 0;
    qsizetype valueSizeAtStray = 0;
    while (pos < end) {
        const void *hit = std::memchr(d + pos, '\n', size_t(end - pos));
        const qsizetype nl = hit ? static_cast<const char *>(hit) - d : end;
        qsizetype lineEnd = nl;
        if (lineEnd > pos && d[lineEnd - 1] == '\r')
            --lineEnd;
        const qsizetype next = nl < end ? nl + 1 : end;
        if (lineEnd == pos)
            return next;
        const QByteArray line = QByteArray::fromRawData(d + pos, lineEnd - pos);
        const qsizetype colon = line.indexOf(':');
        const bool folded = line[0] == ' ' || line[0] == '\t';
        if (folded && !headers.isEmpty()) {
            // A URL folded over lines gains no spaces; other values keep one.
            if (headers.last().first.compare("Content-Location", Qt::CaseInsensitive) == 0)
                headers.last().second += line.trimmed();
            else
                headers.last().second += line;
        } else if (colon > 0 && isFieldName(line.left(colon).trimmed())) {
            headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        } else {
            if (headers.isEmpty())
                return -1;
            if (strayAt < 0) {
                strayAt = pos;
                headersAtStray = headers.size();
                valueSizeAtStray = headers.last().second.size();
            }
            headers.last().second += ' ' + line.trimmed();
        }
        pos = next;
    }
    if (strayAt < 0)
        return end;
    // No blank line at all: the body began without one, at the first stray line.
    headers.resize(headersAtStray);
    headers.last().second.truncate(valueSizeAtStray);
    return strayAt;
}

// Splits [begin, end) at the delimiter lines of boundary into the bodies of its parts.
QString splitMultipart(const QByteArray &data, Span span, const QByteArray &boundary, QList<Span> &bodies)
{
    const QByteArray delimiter = "--" + boundary;
    const char *d = data.constData();
    qsizetype from = span.begin;
    qsizetype partStart = -1;
    while (true) {
        // A delimiter starts a line with "--", and base64 text never holds a
        // '-': looking for that one byte skips whole pictures at memchr speed.
        const void *dash = std::memchr(d + from, '-', size_t(span.end - from));
        if (!dash)
            break;
        const qsizetype p = static_cast<const char *>(dash) - d;
        from = p + 1;
        if (p != span.begin && d[p - 1] != '\n')
            continue;
        if (span.end - p < delimiter.size() || std::memcmp(d + p, delimiter.constData(), size_t(delimiter.size())) != 0)
            continue;
        qsizetype after = p + delimiter.size();
        const bool closing = after + 1 < span.end && d[after] == '-' && d[after + 1] == '-';
        if (closing)
            after += 2;
        qsizetype q = after;
        while (q < span.end && (d[q] == ' ' || d[q] == '\t' || d[q] == '\r'))
            ++q;
        if (q < span.end && d[q] != '\n')
            continue; // the boundary text begins a longer line: part of a body
        const qsizetype lineAfter = q < span.end ? q + 1 : span.end;
        if (partStart >= 0) {
            // The line break before a delimiter belongs to the delimiter.
            qsizetype bodyEnd = p;
            if (bodyEnd > partStart && d[bodyEnd - 1] == '\n')
                --bodyEnd;
            if (bodyEnd > partStart && d[bodyEnd - 1] == '\r')
                --bodyEnd;
            bodies.append({partStart, bodyEnd});
        }
        if (closing)
            return bodies.isEmpty() ? QStringLiteral("the archive holds no parts") : QString();
        partStart = lineAfter;
        from = lineAfter;
    }
    if (partStart < 0)
        return QStringLiteral("the boundary \"%1\" of its parts does not occur").arg(QString::fromLatin1(boundary));
    return QStringLiteral("the archive is truncated (its closing boundary is missing)");
}

constexpr std::array<signed char, 256> base64Values = [] {
    std::array<signed char, 256> t{};
    t.fill(-1);
    const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
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

// Large decoded parts are filled front to back at once. On Linux, huge pages
// and faulting the whole buffer in with one call spare a page fault per
// 4 KiB, which dominates the cost of filling fresh memory on virtual
// machines. Both are only advice: an older kernel simply ignores them.
void adviseLargeBuffer(char *data, qsizetype size, bool forWriting)
{
#if defined(Q_OS_LINUX)
    constexpr qsizetype Huge = 2 * 1024 * 1024;
    if (size < Huge)
        return;
    const auto begin = reinterpret_cast<quintptr>(data);
    const quintptr end = begin + quintptr(size);
#if defined(MADV_HUGEPAGE)
    if (forWriting) {
        const quintptr first = (begin + Huge - 1) & ~quintptr(Huge - 1);
        const quintptr last = end & ~quintptr(Huge - 1);
        if (last > first)
            madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
    }
#endif
    const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr first = (begin + page - 1) & ~(page - 1);
    const quintptr last = end & ~(page - 1);
    if (last > first) {
        // Not in every libc's headers yet; the values are fixed by the kernel.
        constexpr int PopulateRead = 22;
        constexpr int PopulateWrite = 23;
        madvise(reinterpret_cast<void *>(first), last - first, forWriting ? PopulateWrite : PopulateRead);
    }
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
    Q_UNUSED(forWriting);
#endif
}

// Qt's decoder manages some 30 MB/s; archives are mostly base64 pictures.
QByteArray decodeBase64(const QByteArray &encoded)
{
    // Room for the four-byte stores of the fast path past the last group.
    constexpr qsizetype Slack = 8;
    QByteArray out(encoded.size() / 4 * 3 + 3 + Slack, Qt::Uninitialized);
    adviseLargeBuffer(out.data(), out.size(), true);
    char *o = out.data();
    quint32 bits = 0;
    int count = 0;
    const auto *in = reinterpret_cast<const unsigned char *>(encoded.constData());
    const unsigned char *const inEnd = in + encoded.size();
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
            if (count == 2) {
                *o++ = char(bits >> 4);
            } else if (count == 3) {
                *o++ = char(bits >> 10);
                *o++ = char(bits >> 2);
            }
            bits = 0;
            count = 0;
        }
    }
    if (count == 2) {
        *o++ = char(bits >> 4);
    } else if (count == 3) {
        *o++ = char(bits >> 10);
        *o++ = char(bits >> 2);
    }
    out.truncate(o - out.constData());
    return out;
}

QByteArray typeOf(const HeaderList &headers)
{
    const QByteArray value = headerValue(headers, "Content-Type");
    return parseContentType(value.isEmpty() ? QByteArray("text/plain") : value).type;
}

class Parser
{
public:
    // With a source, parts keep their bodies encoded, pointing into data.
    Parser(const QByteArray &data, std::shared_ptr<const void> source) : m_data(data), m_source(std::move(source)) {}

    // Appends the leaves of the entity in span to out; root becomes the
    // index of the one that stands for the entity as a document.
    QString parseEntity(Span span, int depth, QList<MhtmlPart> &out, qsizetype &root, HeaderList *topHeaders)
    {
        if (depth > MaxDepth)
            return QStringLiteral("its parts are nested too deeply");
        HeaderList headers;
        const qsizetype bodyStart = parseHeaders(m_data, span.begin, span.end, headers);
        if (bodyStart < 0)
            return depth == 0 ? QStringLiteral("it does not begin with MIME headers")
                              : QStringLiteral("a part does not begin with MIME headers");
        if (topHeaders)
            *topHeaders = headers;
        const QByteArray ctValue = headerValue(headers, "Content-Type");
        if (depth == 0 && ctValue.isEmpty())
            return QStringLiteral("it has no Content-Type header");
        const ContentType ct = parseContentType(ctValue.isEmpty() ? QByteArray("text/plain") : ctValue);
        const Span body{bodyStart, span.end};
        if (ct.type.startsWith("multipart/"))
            return parseMultipart(ct, body, depth, out, root);

        MhtmlPart part;
        part.headers = headers;
        part.contentType = ct.type;
        part.charset = ct.params.value("charset").toLower();
        part.contentLocation = QString::fromUtf8(headerValue(headers, "Content-Location"));
        part.contentId = QString::fromUtf8(withoutAngles(headerValue(headers, "Content-ID")));
        part.transferEncoding = headerValue(headers, "Content-Transfer-Encoding").trimmed().toLower();
        const QByteArray view = QByteArray::fromRawData(m_data.constData() + body.begin, body.end - body.begin);
        if (m_source && !view.isEmpty()) {
            part.encoded = view;
            part.source = m_source;
        } else {
            part.data = MhtmlReader::decodeBody(view, part.transferEncoding);
        }
        root = out.size();
        out.append(std::move(part));
        return {};
    }

    static QByteArray withoutAngles(QByteArray id)
    {
        id = id.trimmed();
        if (id.startsWith('<') && id.endsWith('>'))
            id = id.mid(1, id.size() - 2);
        return id;
    }

private:
    QString parseMultipart(const ContentType &ct, Span body, int depth, QList<MhtmlPart> &out, qsizetype &root)
    {
        const QByteArray boundary = ct.params.value("boundary");
        if (boundary.isEmpty())
            return QStringLiteral("a multipart section has no boundary");
        QList<Span> bodies;
        const QString error = splitMultipart(m_data, body, boundary, bodies);
        if (!error.isEmpty())
            return error;
        const bool alternative = ct.type == "multipart/alternative";
        // An alternative stands for its richest rendering, the last page or
        // multipart among its children; only a plain-text stand-in beside
        // that may go, every other child is kept.
        QList<QByteArray> types;
        qsizetype chosen = bodies.size() - 1;
        if (alternative) {
            for (qsizetype i = 0; i < bodies.size(); ++i) {
                HeaderList headers;
                types.append(parseHeaders(m_data, bodies[i].begin, bodies[i].end, headers) < 0 ? QByteArray()
                                                                                               : typeOf(headers));
                if (types[i] == "text/html" || types[i] == "application/xhtml+xml" || types[i].startsWith("multipart/"))
                    chosen = i;
            }
        }
        const qsizetype first = out.size();
        root = -1;
        for (qsizetype i = 0; i < bodies.size(); ++i) {
            if (alternative && i != chosen && types[i] == "text/plain" && types[chosen] != "text/plain")
                continue;
            qsizetype childRoot = -1;
            const QString childError = parseEntity(bodies[i], depth + 1, out, childRoot, nullptr);
            if (!childError.isEmpty())
                return childError;
            if (alternative ? i == chosen : root < 0)
                root = childRoot;
        }
        // RFC 2557: the start parameter names the root by its Content-ID.
        const QByteArray start = withoutAngles(ct.params.value("start"));
        if (ct.type == "multipart/related" && !start.isEmpty()) {
            const QString id = QString::fromUtf8(start);
            for (qsizetype i = first; i < out.size(); ++i) {
                if (out[i].contentId == id) {
                    root = i;
                    break;
                }
            }
        }
        return {};
    }

    const QByteArray &m_data;
    std::shared_ptr<const void> m_source;
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// How many bytes of [p, e) are in the base64 alphabet. This sweep is all a
// check spends on pictures, so it tests sixteen bytes at a time with the
// compiler's vector types (one lane counter each, summed before it wraps).
qsizetype countBase64Characters(const unsigned char *p, const unsigned char *e)
{
    using Bytes = unsigned char __attribute__((vector_size(16)));
    qsizetype count = 0;
    while (e - p >= 16) {
        Bytes lanes{};
        const qsizetype blocks = std::min<qsizetype>((e - p) / 16, 255);
        for (qsizetype i = 0; i < blocks; ++i, p += 16) {
            Bytes c;
            std::memcpy(&c, p, sizeof c);
            // Letters of either case fold onto a-z; the comparisons give 0xff per hit.
            const auto hit =
                ((c | 0x20) - 'a' < 26) | (c - '0' < 10) | (c == '+') | (c == '/') | (c == '-') | (c == '_');
            lanes -= reinterpret_cast<const Bytes &>(hit);
        }
        for (int lane = 0; lane < 16; ++lane)
            count += lanes[lane];
    }
    for (; p < e; ++p)
        count += base64Values[*p] >= 0 ? 1 : 0;
    return count;
}

} // namespace

MhtmlReadResult MhtmlReader::readFile(const QString &path) const
{
    MhtmlReadResult result;
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("Cannot open %1: %2").arg(path, file->errorString());
        return result;
    }
    if (file->size() > m_maxSize) {
        result.error = QStringLiteral("%1 is too large to read (%2 bytes; the limit is %3)")
                           .arg(path)
                           .arg(file->size())
                           .arg(m_maxSize);
        return result;
    }
    // Mapping spares a copy of the whole file. Decoded parts are copied out
    // of it; parts kept encoded point into it, and the open file keeps the
    // mapping alive as long as they do.
    uchar *mapped = file->size() > 0 ? file->map(0, file->size()) : nullptr;
    if (mapped) {
        adviseLargeBuffer(reinterpret_cast<char *>(mapped), file->size(), false);
        const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), file->size());
        result = parse(bytes, m_keepEncoded ? std::shared_ptr<const void>(file) : nullptr);
    } else {
        auto bytes = std::make_shared<QByteArray>(file->readAll());
        if (file->error() != QFileDevice::NoError) {
            result.error = QStringLiteral("Cannot read %1: %2").arg(path, file->errorString());
            return result;
        }
        result = parse(*bytes, m_keepEncoded ? std::shared_ptr<const void>(bytes) : nullptr);
    }
    if (!result.ok())
        result.error = QStringLiteral("%1 is not a readable web archive: %2").arg(path, result.error);
    return result;
}

MhtmlReadResult MhtmlReader::read(const QByteArray &bytes) const
{
    if (!m_keepEncoded)
        return parse(bytes, nullptr);
    // Kept parts point into the bytes, so they must be owned: raw data is copied.
    auto owned = std::make_shared<QByteArray>(bytes);
    if (!owned->data_ptr().isMutable())
        *owned = QByteArray(bytes.constData(), bytes.size());
    return parse(*owned, owned);
}

MhtmlReadResult MhtmlReader::parse(const QByteArray &bytes, const std::shared_ptr<const void> &source) const
{
    MhtmlReadResult result;
    if (bytes.size() > m_maxSize) {
        result.error = QStringLiteral("it is too large (%1 bytes; the limit is %2)").arg(bytes.size()).arg(m_maxSize);
        return result;
    }
    // Not trimmed(): that would copy the whole archive.
    if (std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); })) {
        result.error = QStringLiteral("it is empty");
        return result;
    }
    Parser parser(bytes, source);
    HeaderList top;
    QList<MhtmlPart> parts;
    qsizetype root = -1;
    const QString error = parser.parseEntity({0, bytes.size()}, 0, parts, root, &top);
    if (!error.isEmpty()) {
        result.error = error;
        return result;
    }
    // The one verdict every command takes: an archive is good when a browser
    // shows its root, so what is written from it is good again.
    const QByteArray rootType = root >= 0 ? parts[root].contentType : QByteArray();
    if (!MhtmlArchive::isShowableType(rootType)) {
        result.error = QStringLiteral("its root part is %1, which a browser does not show as a document")
                           .arg(rootType.isEmpty() ? QStringLiteral("missing") : QString::fromLatin1(rootType));
        return result;
    }
    MhtmlArchive &archive = result.archive;
    archive.parts = std::move(parts);
    archive.rootIndex = int(root);
    archive.subject = decodeHeaderWords(headerValue(top, "Subject"));
    archive.snapshotLocation = QString::fromUtf8(headerValue(top, "Snapshot-Content-Location"));
    return result;
}

QByteArray MhtmlReader::decodeBody(const QByteArray &encoded, const QByteArray &transferEncoding)
{
    if (transferEncoding == "base64")
        return decodeBase64(encoded);
    if (transferEncoding == "quoted-printable")
        return decodeQuotedPrintable(encoded);
    return QByteArray(encoded.constData(), encoded.size());
}

qsizetype MhtmlReader::decodedSize(const QByteArray &encoded, const QByteArray &transferEncoding)
{
    if (transferEncoding == "quoted-printable")
        return quotedPrintableSize(encoded);
    if (transferEncoding != "base64")
        return encoded.size();
    // Counts what decodeBase64 writes: three bytes a group of four, and a
    // partial group flushed at each padding run or at the end. Padding is
    // rare, so runs between padding characters are counted in one sweep.
    const auto tail = [](qsizetype run) { return run / 4 * 3 + (run % 4 == 2 ? 1 : run % 4 == 3 ? 2 : 0); };
    const auto *p = reinterpret_cast<const unsigned char *>(encoded.constData());
    const unsigned char *const e = p + encoded.size();
    qsizetype size = 0;
    while (true) {
        const auto *pad = static_cast<const unsigned char *>(std::memchr(p, '=', size_t(e - p)));
        const unsigned char *stop = pad ? pad : e;
        size += tail(countBase64Characters(p, stop));
        if (!pad)
            return size;
        p = pad + 1;
    }
}

namespace {
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
} // namespace

qsizetype MhtmlReader::quotedPrintableSize(const QByteArray &encoded)
{
    // decodeQuotedPrintable's rules, counted between escapes found by memchr.
    const char *p = encoded.constData();
    const char *const e = p + encoded.size();
    qsizetype size = 0;
    while (p < e) {
        const char *eq = static_cast<const char *>(std::memchr(p, '=', size_t(e - p)));
        if (!eq)
            return size + (e - p);
        size += eq - p;
        p = eq;
        if (e - p >= 3 && hexValue(p[1]) >= 0 && hexValue(p[2]) >= 0) {
            ++size;
            p += 3;
        } else if (const char *next = afterSoftBreak(p, e)) {
            p = next;
        } else {
            ++size;
            ++p;
        }
    }
    return size;
}

QByteArray MhtmlReader::decodeQuotedPrintable(const QByteArray &encoded)
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
        if (e - p >= 3 && hexValue(p[1]) >= 0 && hexValue(p[2]) >= 0) {
            *o++ = char(hexValue(p[1]) * 16 + hexValue(p[2]));
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

QString MhtmlReader::decodeHeaderWords(const QByteArray &value)
{
    const QRegularExpression word(QStringLiteral(R"(=\?([^?\s]+)\?([BbQq])\?([^?\s]*)\?=)"));
    const QString text = QString::fromUtf8(value);
    QString out;
    qsizetype last = 0;
    bool previousWasWord = false;
    auto it = word.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString between = text.mid(last, m.capturedStart() - last);
        // Whitespace between two encoded words is not part of the text.
        if (!(previousWasWord && between.trimmed().isEmpty()))
            out += between;
        QByteArray charset = m.captured(1).toLatin1();
        const qsizetype star = charset.indexOf('*'); // RFC 2231 language suffix
        if (star >= 0)
            charset.truncate(star);
        const QByteArray payload = m.captured(3).toLatin1();
        QByteArray bytes;
        if (m.captured(2).compare(QLatin1String("B"), Qt::CaseInsensitive) == 0) {
            bytes = decodeBase64(payload);
        } else {
            QByteArray q = payload;
            q.replace('_', ' ');
            bytes = decodeQuotedPrintable(q);
        }
        out += MhtmlArchive::decodeText(bytes, charset.toLower());
        last = m.capturedEnd();
        previousWasWord = true;
    }
    out += text.mid(last);
    return out;
}
