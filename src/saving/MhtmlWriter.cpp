#include "MhtmlWriter.h"

#include <QBuffer>
#include <QByteArrayMatcher>
#include <QLocale>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QUrl>

namespace {

constexpr qsizetype Base64LineInput = 57; // 57 bytes encode to one 76-column line
constexpr qsizetype Base64ChunkLines = 2048;

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

bool put(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes) == bytes.size();
}

bool writeBase64(QIODevice &device, const QByteArray &data)
{
    const qsizetype chunkInput = Base64LineInput * Base64ChunkLines;
    QByteArray out;
    out.reserve(Base64ChunkLines * 78);
    for (qsizetype pos = 0; pos < data.size(); pos += chunkInput) {
        const qsizetype len = qMin(chunkInput, data.size() - pos);
        const QByteArray encoded = QByteArray::fromRawData(data.constData() + pos, len).toBase64();
        out.clear();
        for (qsizetype i = 0; i < encoded.size(); i += 76) {
            out.append(encoded.constData() + i, qMin<qsizetype>(76, encoded.size() - i));
            out.append("\r\n", 2);
        }
        if (!put(device, out))
            return false;
    }
    return true;
}

} // namespace

QByteArray MhtmlWriter::encodeQuotedPrintable(const QByteArray &data)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    const qsizetype n = data.size();
    const char *in = data.constData();
    QByteArray out(n + n / 8 + 64, Qt::Uninitialized);
    qsizetype o = 0;
    int column = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (o + 8 > out.size())
            out.resize(out.size() * 2);
        char *w = out.data();
        const char c = in[i];
        if (c == '\n' || (c == '\r' && i + 1 < n && in[i + 1] == '\n')) {
            if (c == '\r')
                ++i;
            w[o++] = '\r';
            w[o++] = '\n';
            column = 0;
            continue;
        }
        const bool lineEnds = i + 1 == n || in[i + 1] == '\n' || (in[i + 1] == '\r' && i + 2 < n && in[i + 2] == '\n');
        const auto u = static_cast<unsigned char>(c);
        // Blanks before a line end would be lost in transport, so they are escaped.
        const bool literal = (u >= 33 && u <= 126 && c != '=') || ((c == ' ' || c == '\t') && !lineEnds);
        const int width = literal ? 1 : 3;
        // 75 columns plus the soft break's "=" make 76; an escape is never split.
        if (column + width > 75) {
            w[o++] = '=';
            w[o++] = '\r';
            w[o++] = '\n';
            column = 0;
        }
        if (literal) {
            w[o++] = c;
        } else {
            w[o++] = '=';
            w[o++] = hex[u >> 4];
            w[o++] = hex[u & 15];
        }
        column += width;
    }
    out.truncate(o);
    return out;
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
            if (matcher.indexIn(part.data) >= 0) {
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
    head += "Content-Type: multipart/related;\r\n\ttype=\"" + headerSafe(rootType) + "\";\r\n\tboundary=\"" + boundary +
            "\"\r\n\r\n";
    if (!put(device, head)) {
        result.error = device.errorString();
        return result;
    }

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
        headers += "\r\nContent-Transfer-Encoding: ";
        headers += part->isText() ? "quoted-printable\r\n" : "base64\r\n";
        const QString location = absoluteLocation(part->contentLocation, base);
        if (!location.isEmpty())
            headers += "Content-Location: " + locationBytes(location) + "\r\n";
        if (!part->contentId.isEmpty())
            headers += "Content-ID: <" + headerSafe(part->contentId.toUtf8()) + ">\r\n";
        headers += "\r\n";
        bool ok = put(device, headers);
        if (ok && part->isText()) {
            ok = put(device, encodeQuotedPrintable(part->data));
            if (ok && !part->data.isEmpty())
                ok = put(device, QByteArrayLiteral("\r\n"));
        } else if (ok) {
            ok = writeBase64(device, part->data);
        }
        if (!ok) {
            result.error = device.errorString();
            return result;
        }
    }
    if (!put(device, "--" + boundary + "--\r\n"))
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return result;
    }
    result = write(archive, file);
    if (!result.ok()) {
        file.cancelWriting();
        result.error = QStringLiteral("Cannot write %1: %2").arg(path, result.error);
        return result;
    }
    if (!file.commit())
        result.error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return result;
}
