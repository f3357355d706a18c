#include "MhtmlWriter.h"

#include "ByteSink.h"
#include "MhtmlCodec.h"
#include "MhtmlSource.h"

#include <QBuffer>
#include <QFileDevice>
#include <QLocale>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cstring>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace {

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

// Whether a location begins with a scheme, as QUrl reads one: a letter,
// then letters, digits, "+", "-" or ".", then a colon. Parsing each of
// 100,000 locations with QUrl only to learn that took a third of a resave.
bool hasScheme(const QString &location)
{
    const auto isLetter = [](char16_t c) { return (c | 0x20) >= u'a' && (c | 0x20) <= u'z'; };
    if (location.isEmpty() || !isLetter(location.front().unicode()))
        return false;
    for (const QChar c : location) {
        const char16_t u = c.unicode();
        if (u == u':')
            return true;
        if (!isLetter(u) && !(u >= u'0' && u <= u'9') && u != u'+' && u != u'-' && u != u'.')
            return false;
    }
    return false;
}

QString absoluteLocation(const QString &location, const QUrl &base)
{
    if (location.isEmpty() || hasScheme(location) || !base.isValid() || base.isRelative())
        return location;
    const QUrl url(location);
    if (!url.isRelative())
        return location;
    return base.resolved(url).toString(QUrl::FullyEncoded);
}

// A header value into the sink, its line breaks made blanks as headerSafe() does.
void putHeaderSafe(ByteSink &sink, const QByteArray &value)
{
    sink.room(value.size());
    char *w = sink.w;
    for (const char c : value)
        *w++ = c == '\r' || c == '\n' ? ' ' : c;
    sink.w = w;
}

// locationBytes() into the sink, without a copy when the location is ASCII.
void putLocation(ByteSink &sink, const QString &location)
{
    sink.room(location.size());
    char *w = sink.w;
    for (const QChar c : location) {
        if (c.unicode() > 126 || c.unicode() < 32) {
            sink.put(locationBytes(location));
            return;
        }
        *w++ = char(c.unicode());
    }
    sink.w = w;
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

// Let go of a mapped archive's pages behind the writer in steps this large.
constexpr qsizetype ReleaseStep = 4 * 1024 * 1024;
// Bodies this large are copied file to file by the kernel, never read here.
constexpr qsizetype KernelCopySize = 256 * 1024;

// A boundary that occurs in no body as written: every body is base64 or
// quoted-printable, written here or copied only when clean, and "=_" occurs
// in neither (an "=" starts an escape of two hex digits, a soft break, or
// base64 padding at the very end). A random tail keeps one archive's parts
// from matching another's when one is pasted into the other.
QByteArray makeBoundary()
{
    return "----=_QuilletPart_" + QByteArray::number(QRandomGenerator::global()->generate64(), 16) + '.' +
           QByteArray::number(QRandomGenerator::global()->generate64(), 16);
}

bool isNamed(const QByteArray &name, const char *wanted)
{
    return name.compare(wanted, Qt::CaseInsensitive) == 0;
}

QByteArray unfolded(QByteArray value)
{
    value.replace("\r\n", "");
    return value;
}

QByteArray dateText(const QDateTime &date)
{
    const int offset = date.offsetFromUtc() / 60;
    return QLocale::c().toString(date, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss")).toLatin1() +
           (offset < 0 ? " -" : " +") +
           QByteArray::number(qAbs(offset) / 60 * 100 + qAbs(offset) % 60).rightJustified(4, '0');
}

// The top-level headers: those the writer owns where the archive had them
// (or after the others when it had none), every other one as it stands.
// A Snapshot-Content-Location or a Subject read and not changed is written
// as it came, so no decoding can alter it; Date stays unless date is given.
QByteArray topHeaders(const MhtmlArchive &archive, const MhtmlPart &root, const QByteArray &boundary,
                      const QDateTime &date)
{
    enum Owned { Snapshot, Subject, Date, Version, Type, OwnedCount };
    static const std::array<const char *, OwnedCount> names{"Snapshot-Content-Location", "Subject", "Date",
                                                            "MIME-Version", "Content-Type"};
    const QString snapshot = archive.snapshotLocation.isEmpty() ? root.contentLocation : archive.snapshotLocation;
    const auto value = [&](Owned which, const QByteArray *kept) -> QByteArray {
        switch (which) {
        case Snapshot:
            if (kept && QString::fromUtf8(unfolded(*kept)) == snapshot)
                return *kept;
            return snapshot.isEmpty() ? QByteArray() : locationBytes(snapshot);
        case Subject:
            // Control characters force encoded words: a new subject cannot break the header.
            if (kept && MhtmlCodec::decodeHeaderWords(unfolded(*kept)) == archive.subject)
                return *kept;
            return MhtmlCodec::encodeHeaderText(archive.subject);
        case Date:
            return date.isValid() ? dateText(date) : kept ? *kept : dateText(QDateTime::currentDateTime());
        case Version:
            return "1.0";
        case Type:
        case OwnedCount:
            break;
        }
        const QByteArray type = root.contentType.isEmpty() ? QByteArray("text/html") : root.contentType;
        return "multipart/related;\r\n\ttype=\"" + quotedParameter(type) + "\";\r\n\tboundary=\"" + boundary + '"';
    };
    QByteArray head;
    std::array<bool, OwnedCount> written{};
    const auto put = [&](Owned which, const QByteArray *kept) {
        if (written[which])
            return;
        written[which] = true;
        const QByteArray text = value(which, kept);
        if (!text.isEmpty() || which == Subject)
            head += QByteArray(names[which]) + ": " + text + "\r\n";
    };
    for (const auto &header : archive.headers) {
        const QByteArray &name = header.first;
        const QByteArray &kept = header.second;
        const auto owned = std::find_if(names.cbegin(), names.cend(), [&](const char *n) { return isNamed(name, n); });
        if (owned != names.cend())
            put(Owned(owned - names.cbegin()), &kept);
        else if (!isNamed(name.left(8), "Content-")) // the others describe the body, written anew
            head += name + ": " + kept + "\r\n";
    }
    for (int which = 0; which < OwnedCount; ++which)
        put(Owned(which), nullptr);
    return head + "\r\n";
}

// Whether a part's kept body can be copied as it stands.
bool isCopyable(const MhtmlPart &part)
{
    if (part.encoded.isEmpty() || !part.data.isEmpty())
        return false;
    if (part.encodedSize >= 0)
        return part.encodedCopyable;
    const char *p = part.encoded.constData();
    return MhtmlCodec::bodyStats(p, p + part.encoded.size(), part.transferEncoding).clean;
}

// Maps the pages of kept parts a step ahead of the writer and lets go of
// them once written, gathering neighbouring bodies into one step. The sink
// writes what it holds of them first, so that no page is let go of before
// it is read.
class Releaser
{
public:
    explicit Releaser(ByteSink &sink) : m_sink(sink) {}
    ~Releaser() { flush(); }

    // Before a kept body is written from its mapping.
    void ahead(const MhtmlPart &part)
    {
        const char *begin = part.encoded.constData();
        const char *end = begin + part.encoded.size();
        if (!part.source || (part.source.get() == m_mapped && begin >= m_mappedBegin && end <= m_mappedEnd))
            return;
        m_mapped = part.source.get();
        m_mappedBegin = begin;
        // A step ahead, but not past the mapping's end.
        const qsizetype left = m_mapped->data() + m_mapped->size() - begin;
        m_mappedEnd = qMax(end, begin + qMin(ReleaseStep, left));
        m_mapped->populate(m_mappedBegin, m_mappedEnd);
    }

    void written(const MhtmlPart &part)
    {
        if (part.encoded.isEmpty() || !part.source)
            return;
        const char *begin = part.encoded.constData();
        const char *end = begin + part.encoded.size();
        if (part.source.get() != m_source || begin < m_end || begin - m_end > ReleaseStep) {
            flush();
            m_source = part.source.get();
            m_begin = begin;
        }
        m_end = end;
        if (m_end - m_begin >= ReleaseStep)
            flush();
    }

    void flush()
    {
        if (m_source && m_end > m_begin) {
            m_sink.flush();
            m_source->release(m_begin, m_end);
        }
        m_begin = m_end;
    }

private:
    ByteSink &m_sink;
    const MhtmlSource *m_mapped = nullptr;
    const char *m_mappedBegin = nullptr;
    const char *m_mappedEnd = nullptr;
    const MhtmlSource *m_source = nullptr;
    const char *m_begin = nullptr;
    const char *m_end = nullptr;
};

// Copies a large kept body from its mapped file into the file being written
// inside the kernel, as cp does. False when the two cannot do that; nothing
// was written then.
bool copyInKernel(ByteSink &sink, const MhtmlPart &part)
{
#if defined(Q_OS_LINUX)
    auto *file = qobject_cast<QFileDevice *>(sink.device());
    const int from = part.source ? part.source->fileHandle() : -1;
    if (!file || from < 0 || part.encoded.size() < KernelCopySize)
        return false;
    if (!sink.flush() || !file->flush() || file->handle() < 0)
        return false;
    loff_t offset = part.source->offsetOf(part.encoded.constData());
    qsizetype left = part.encoded.size();
    while (left > 0) {
        const ssize_t n = ::copy_file_range(from, &offset, file->handle(), nullptr, size_t(left), 0);
        if (n <= 0) {
            // Nothing copied yet: the caller writes the bytes itself.
            if (left == part.encoded.size())
                return false;
            sink.fail();
            return true;
        }
        left -= n;
    }
    // The device's own position follows the descriptor's.
    file->seek(file->pos() + part.encoded.size());
    return true;
#else
    Q_UNUSED(sink);
    Q_UNUSED(part);
    return false;
#endif
}

} // namespace

MhtmlWriteResult MhtmlWriter::write(const MhtmlArchive &archive, QIODevice &device) const
{
    MhtmlWriteResult result;
    const MhtmlPart *root = archive.root();
    if (!root) {
        result.error = QStringLiteral("the archive has no document to write");
        return result;
    }
    const QByteArray boundary = makeBoundary();
    const QUrl base(root->contentLocation.isEmpty() ? archive.snapshotLocation : root->contentLocation);

    ByteSink sink(&device);
    sink.put(topHeaders(archive, *root, boundary, m_date));

    QList<const MhtmlPart *> order{root};
    for (const MhtmlPart &part : archive.parts) {
        if (&part != root)
            order.append(&part);
    }
    Releaser releaser(sink);
    for (const MhtmlPart *part : order) {
        // Straight into the sink: building each part's headers as a string
        // cost more than copying its body.
        sink.put("--");
        sink.put(boundary);
        sink.put("\r\nContent-Type: ");
        if (part->contentType.isEmpty())
            sink.put("application/octet-stream");
        else
            putHeaderSafe(sink, part->contentType);
        if (!part->charset.isEmpty()) {
            sink.put("; charset=");
            putHeaderSafe(sink, part->charset);
        }
        // Parts the page did not change are copied as they were encoded;
        // only text may have its line breaks made CRLF, everything else is
        // written base64 so it comes back byte for byte.
        const bool copy = isCopyable(*part);
        const bool quotedPrintable = copy ? part->transferEncoding == "quoted-printable" : part->hasTextLineBreaks();
        sink.put("\r\nContent-Transfer-Encoding: ");
        if (quotedPrintable)
            sink.put("quoted-printable\r\n");
        else
            sink.put("base64\r\n");
        const QString location = absoluteLocation(part->contentLocation, base);
        if (!location.isEmpty()) {
            sink.put("Content-Location: ");
            putLocation(sink, location);
            sink.put("\r\n");
        }
        if (!part->contentId.isEmpty())
            sink.put("Content-ID: <" + headerSafe(part->contentId.toUtf8()) + ">\r\n");
        sink.put("\r\n");
        if (copy) {
            if (!copyInKernel(sink, *part)) {
                releaser.ahead(*part);
                sink.putInPlace(part->encoded.constData(), part->encoded.size());
            }
            sink.put("\r\n");
        } else {
            const QByteArray bytes = part->decoded();
            if (quotedPrintable) {
                MhtmlCodec::encodeQuotedPrintable(sink, bytes);
                if (!bytes.isEmpty())
                    sink.put("\r\n");
            } else {
                MhtmlCodec::encodeBase64(sink, bytes);
            }
        }
        releaser.written(*part);
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
