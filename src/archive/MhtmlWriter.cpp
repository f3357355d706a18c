#include "MhtmlWriter.h"

#include "support/AtomicFile.h"

#include <QBuffer>
#include <QByteArrayMatcher>
#include <QLocale>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr qsizetype Base64LineInput = 57; // 57 bytes encode to one 76-column line
// Header values never carry a line break of their own: that would start a new header.
QByteArray headerSafe(QByteArray value)
{
    value.replace('\r', ' ');
    value.replace('\n', ' ');
    return value;
}

QByteArray locationBytes(const QString &location)
{
    bool ascii = true;
    for (const QChar c : location) {
        if (c.unicode() > 126 || c.unicode() < 32) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return location.toLatin1();
    return headerSafe(QUrl(location).toEncoded());
}

QString absoluteLocation(const QString &location, const QUrl &base)
{
    if (location.isEmpty() || !base.isValid() || base.isRelative())
        return location;
    const QUrl url(location);
    if (!url.isRelative())
        return location;
    return base.resolved(url).toString(QUrl::FullyEncoded);
}

// A value inside a quoted header parameter: a stray quote or backslash in a
// type read from a damaged archive must not swallow the boundary after it.
QByteArray quotedParameter(const QByteArray &value)
{
    QByteArray out = headerSafe(value);
    out.replace('\\', "\\\\");
    out.replace('"', "\\\"");
    return out;
}

// Large blocks keep the number of writes (and QSaveFile's copying) small.
constexpr qsizetype BlockSize = 1024 * 1024;

// Output written straight into a block: handed to a device whenever it is
// full, or grown when there is no device. The encoders fill it through a raw
// pointer so their inner loops do no per-byte bookkeeping.
class Sink
{
public:
    explicit Sink(QIODevice *device, qsizetype reserve = BlockSize)
        : m_device(device), m_block(qMax<qsizetype>(reserve, 64), Qt::Uninitialized)
    {
        w = m_block.data();
        end = w + m_block.size();
    }

    // Makes room for n bytes at w.
    void room(qsizetype n)
    {
        if (end - w >= n)
            return;
        if (m_device)
            flush();
        if (end - w < n) {
            const qsizetype used = w - m_block.data();
            m_block.resize(qMax(m_block.size() * 2, used + n));
            w = m_block.data() + used;
            end = m_block.data() + m_block.size();
        }
    }

    void put(const char *data, qsizetype n)
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
    void put(const QByteArray &bytes) { put(bytes.constData(), bytes.size()); }

    // Returns false once any write to the device has failed.
    bool flush()
    {
        const qsizetype used = w - m_block.data();
        if (m_device && used > 0 && !m_failed)
            m_failed = m_device->write(m_block.constData(), used) != used;
        if (m_device)
            w = m_block.data();
        return !m_failed;
    }

    QByteArray take()
    {
        m_block.truncate(w - m_block.data());
        return std::move(m_block);
    }

    bool ok() const { return !m_failed; }

    char *w = nullptr;
    char *end = nullptr;

private:
    QIODevice *m_device = nullptr;
    QByteArray m_block;
    bool m_failed = false;
};

// Qt's toBase64 manages some 250 MB/s and needs a second pass to cut lines.
void encodeBase64(Sink &sink, const QByteArray &data)
{
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto *in = reinterpret_cast<const unsigned char *>(data.constData());
    qsizetype left = data.size();
    while (left >= 3) {
        sink.room(78);
        const qsizetype lineInput = qMin(left - left % 3, Base64LineInput);
        char *w = sink.w;
        for (const unsigned char *stop = in + lineInput; in < stop; in += 3) {
            const quint32 v = quint32(in[0]) << 16 | quint32(in[1]) << 8 | in[2];
            w[0] = alphabet[v >> 18];
            w[1] = alphabet[(v >> 12) & 63];
            w[2] = alphabet[(v >> 6) & 63];
            w[3] = alphabet[v & 63];
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
        w[0] = alphabet[v >> 18];
        w[1] = alphabet[(v >> 12) & 63];
        w[2] = left == 2 ? alphabet[(v >> 6) & 63] : '=';
        w[3] = '=';
        w[4] = '\r';
        w[5] = '\n';
        sink.w = w + 6;
    }
}

void encodeQuotedPrintableTo(Sink &sink, const QByteArray &data)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    // Printable ASCII except "=" goes as it is.
    static constexpr auto plain = [] {
        std::array<bool, 256> t{};
        for (int c = 33; c <= 126; ++c)
            t[c] = c != '=';
        return t;
    }();
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
        if (!plain[u]) {
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
            if (!((c == ' ' || c == '\t') && !lineEnds))
                width = 3;
        }
        // 75 columns plus the soft break's "=" make 76; an escape is never split.
        if (column + width > 75) {
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
            w[1] = hex[u >> 4];
            w[2] = hex[u & 15];
            w += 3;
        }
        column += width;
    }
    sink.w = w;
}

// A body is copied as it stands only when any reader decodes it to the same
// bytes and it cannot hold the boundary: lines of at most 76 characters, CRLF
// between them, nothing outside the encoding's alphabet.
constexpr qsizetype MaxLine = 76;

constexpr auto qpPlain = [] {
    std::array<bool, 256> t{};
    for (int c = 33; c <= 126; ++c)
        t[c] = c != '=';
    t[' '] = t['\t'] = true;
    return t;
}();

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Calls line(begin, end) for every CRLF-separated line; false at a bare CR
// or LF, an over-long line, or when line() says no.
template <typename LineCheck> bool eachCleanLine(const QByteArray &body, LineCheck line)
{
    const char *p = body.constData();
    const char *const e = p + body.size();
    while (p < e) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(e - p)));
        const char *stop = nl ? nl : e;
        if (nl && (stop == p || stop[-1] != '\r'))
            return false;
        if (nl)
            --stop;
        if (stop - p > MaxLine || !line(p, stop))
            return false;
        p = nl ? nl + 1 : e;
    }
    return true;
}

// Whether a CR or LF sits among the MaxLine bytes at p: five overlapping
// tests of sixteen bytes with the compiler's vector types.
bool hasLineBreak(const char *p)
{
    using Bytes = unsigned char __attribute__((vector_size(16)));
    static_assert(MaxLine >= 48 + int(sizeof(Bytes)));
    constexpr std::array<qsizetype, 5> Offsets{0, 16, 32, 48, MaxLine - 16};
    Bytes any{};
    for (const qsizetype at : Offsets) {
        Bytes c;
        std::memcpy(&c, p + at, sizeof c);
        const auto hit = (c == '\r') | (c == '\n');
        any |= reinterpret_cast<const Bytes &>(hit);
    }
    quint64 halves[2];
    std::memcpy(halves, &any, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

// Base64 is copied when its lines are sound and padding only ends it, so the
// boundary (it holds "=_") cannot occur in it. Stray characters are copied
// too: every reader skips them now as it did in the original.
bool isCleanBase64(const QByteArray &body)
{
    const char *pad = static_cast<const char *>(std::memchr(body.constData(), '=', size_t(body.size())));
    if (pad) {
        const char *end = body.constData() + body.size();
        while (end > pad && (end[-1] == '\n' || end[-1] == '\r'))
            --end;
        if (end - pad > 2 || !std::all_of(pad, end, [](char c) { return c == '='; }))
            return false;
    }
    // Full lines, the bulk, sixteen bytes at a time.
    const char *p = body.constData();
    const char *const e = p + body.size();
    constexpr qsizetype FullLine = MaxLine + 2;
    while (e - p >= FullLine && p[MaxLine] == '\r' && p[MaxLine + 1] == '\n') {
        if (hasLineBreak(p))
            return false;
        p += FullLine;
    }
    return eachCleanLine(QByteArray::fromRawData(p, e - p), [](const char *line, const char *end) {
        return line < end && !std::memchr(line, '\r', size_t(end - line));
    });
}

bool isCleanQuotedPrintable(const QByteArray &body)
{
    return eachCleanLine(body, [](const char *p, const char *e) {
        if (p < e && (e[-1] == ' ' || e[-1] == '\t'))
            return false; // trailing blanks are lost in transport
        while (p < e) {
            if (qpPlain[static_cast<unsigned char>(*p)]) {
                ++p;
            } else if (*p == '=' && p + 1 == e) {
                ++p; // soft line break
            } else if (*p == '=' && e - p >= 3 && isHexDigit(p[1]) && isHexDigit(p[2])) {
                p += 3;
            } else {
                return false;
            }
        }
        return true;
    });
}

// The part's kept body when it can be copied as it is; empty otherwise.
QByteArray copyableBody(const MhtmlPart &part)
{
    if (part.encoded.isEmpty() || !part.data.isEmpty())
        return {};
    const QByteArray &body = part.encoded;
    if (part.transferEncoding == "base64" && isCleanBase64(body))
        return body;
    if (part.transferEncoding == "quoted-printable" && isCleanQuotedPrintable(body))
        return body;
    return {};
}

} // namespace

QByteArray MhtmlWriter::encodeQuotedPrintable(const QByteArray &data)
{
    Sink sink(nullptr, data.size() + data.size() / 8 + 64);
    encodeQuotedPrintableTo(sink, data);
    return sink.take();
}

QByteArray MhtmlWriter::encodeHeaderText(const QString &text)
{
    bool ascii = true;
    for (const QChar c : text) {
        if (c.unicode() > 126 || c.unicode() < 32) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return text.toLatin1();
    // Encoded words of 60 characters at most, split between characters, so
    // even the first line with its header name stays within 76 columns.
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

QByteArray MhtmlWriter::makeBoundary(const MhtmlArchive &archive)
{
    // "=_" cannot occur in quoted-printable or base64 text; the check below
    // also covers the raw bytes of every part.
    while (true) {
        const QByteArray boundary = "----=_QuilletPart_" +
                                    QByteArray::number(QRandomGenerator::global()->generate64(), 16) + '.' +
                                    QByteArray::number(QRandomGenerator::global()->generate64(), 16);
        const QByteArrayMatcher matcher(boundary);
        bool clash = false;
        for (const MhtmlPart &part : archive.parts) {
            // Base64 text never holds "=_", so binary parts need no scan.
            if (part.isText() && matcher.indexIn(part.data) >= 0) {
                clash = true;
                break;
            }
        }
        if (!clash)
            return boundary;
    }
}

MhtmlWriteResult MhtmlWriter::write(const MhtmlArchive &archive, QIODevice &device) const
{
    MhtmlWriteResult result;
    const MhtmlPart *root = archive.root();
    if (!root) {
        result.error = QStringLiteral("the archive has no document to write");
        return result;
    }
    const QByteArray boundary = makeBoundary(archive);
    const QUrl base(root->contentLocation.isEmpty() ? archive.snapshotLocation : root->contentLocation);
    const QString snapshot = archive.snapshotLocation.isEmpty() ? root->contentLocation : archive.snapshotLocation;
    const QDateTime date = m_date.isValid() ? m_date : QDateTime::currentDateTime();

    QByteArray head;
    if (!snapshot.isEmpty())
        head += "Snapshot-Content-Location: " + locationBytes(snapshot) + "\r\n";
    // Control characters force encoded words, so the subject cannot break the header.
    head += "Subject: " + encodeHeaderText(archive.subject) + "\r\n";
    const int offset = date.offsetFromUtc() / 60;
    head += "Date: " + QLocale::c().toString(date, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss")).toLatin1() +
            (offset < 0 ? " -" : " +") +
            QByteArray::number(qAbs(offset) / 60 * 100 + qAbs(offset) % 60).rightJustified(4, '0') + "\r\n";
    head += "MIME-Version: 1.0\r\n";
    const QByteArray rootType = root->contentType.isEmpty() ? QByteArray("text/html") : root->contentType;
    head += "Content-Type: multipart/related;\r\n\ttype=\"" + quotedParameter(rootType) + "\";\r\n\tboundary=\"" +
            boundary + "\"\r\n\r\n";
    Sink sink(&device);
    sink.put(head);

    QList<const MhtmlPart *> order{root};
    for (const MhtmlPart &part : archive.parts) {
        if (&part != root)
            order.append(&part);
    }
    for (const MhtmlPart *part : order) {
        QByteArray headers = "--" + boundary + "\r\n";
        const QByteArray type =
            part->contentType.isEmpty() ? QByteArray("application/octet-stream") : part->contentType;
        headers += "Content-Type: " + headerSafe(type);
        if (!part->charset.isEmpty())
            headers += "; charset=" + headerSafe(part->charset);
        // Parts the page did not change are copied as they were encoded;
        // only text may have its line breaks made CRLF, everything else is
        // written base64 so it comes back byte for byte.
        const QByteArray copied = copyableBody(*part);
        const bool quotedPrintable =
            copied.isEmpty() ? part->hasTextLineBreaks() : part->transferEncoding == "quoted-printable";
        headers += "\r\nContent-Transfer-Encoding: ";
        headers += quotedPrintable ? "quoted-printable\r\n" : "base64\r\n";
        const QString location = absoluteLocation(part->contentLocation, base);
        if (!location.isEmpty())
            headers += "Content-Location: " + locationBytes(location) + "\r\n";
        if (!part->contentId.isEmpty())
            headers += "Content-ID: <" + headerSafe(part->contentId.toUtf8()) + ">\r\n";
        headers += "\r\n";
        sink.put(headers);
        if (!copied.isEmpty()) {
            sink.put(copied);
            sink.put("\r\n", 2);
        } else {
            const QByteArray bytes = part->decoded();
            if (quotedPrintable) {
                encodeQuotedPrintableTo(sink, bytes);
                if (!bytes.isEmpty())
                    sink.put("\r\n", 2);
            } else {
                encodeBase64(sink, bytes);
            }
        }
        if (!sink.ok())
            break;
    }
    sink.put("--" + boundary + "--\r\n");
    if (!sink.flush())
        result.error = device.errorString();
    return result;
}

QByteArray MhtmlWriter::toBytes(const MhtmlArchive &archive) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    write(archive, buffer);
    return bytes;
}

MhtmlWriteResult MhtmlWriter::writeFile(const MhtmlArchive &archive, const QString &path) const
{
    MhtmlWriteResult result;
    AtomicFile file(path);
    if (file.open()) {
        result = write(archive, file.device());
        // Nothing is committed after a failed write; the old file stays.
        if (result.ok() && !file.commit())
            result.error = file.errorString();
    } else {
        result.error = file.errorString();
    }
    if (!result.ok())
        result.error = QStringLiteral("Cannot write %1: %2").arg(path, result.error);
    return result;
}
