#include "MhtmlArchive.h"

#include "MhtmlReader.h"
#include "WebEncoding.h"

#include <QRegularExpression>

bool MhtmlPart::isText() const
{
    return contentType.startsWith("text/") || contentType == "application/javascript" ||
           contentType == "application/xhtml+xml" || contentType == "image/svg+xml" ||
           contentType == "application/json" || contentType == "application/xml";
}

bool MhtmlPart::hasTextLineBreaks() const
{
    return contentType.startsWith("text/");
}

QByteArray MhtmlPart::decoded() const
{
    if (encoded.isEmpty() || !data.isEmpty())
        return data;
    return MhtmlReader::decodeBody(encoded, transferEncoding);
}

qsizetype MhtmlPart::decodedSize() const
{
    if (encoded.isEmpty() || !data.isEmpty())
        return data.size();
    return MhtmlReader::decodedSize(encoded, transferEncoding);
}

void MhtmlPart::materialize()
{
    if (encoded.isEmpty())
        return;
    if (data.isEmpty())
        data = decoded();
    encoded.clear();
    source.reset();
}

QByteArray MhtmlPart::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

const MhtmlPart *MhtmlArchive::root() const
{
    return rootIndex >= 0 && rootIndex < parts.size() ? &parts[rootIndex] : nullptr;
}

MhtmlPart *MhtmlArchive::root()
{
    return rootIndex >= 0 && rootIndex < parts.size() ? &parts[rootIndex] : nullptr;
}

QString MhtmlArchive::rootHtml() const
{
    const MhtmlPart *part = root();
    if (!part)
        return {};
    QByteArray charset = part->charset;
    const QByteArray bytes = part->decoded();
    if (charset.isEmpty())
        charset = sniffHtmlCharset(bytes);
    return decodeText(bytes, charset);
}

const MhtmlPart *MhtmlArchive::findByLocation(const QString &location) const
{
    for (const MhtmlPart &part : parts) {
        if (part.contentLocation == location)
            return &part;
    }
    return nullptr;
}

qint64 MhtmlArchive::totalSize() const
{
    qint64 total = 0;
    for (const MhtmlPart &part : parts)
        total += part.decodedSize();
    return total;
}

QString MhtmlArchive::decodeText(const QByteArray &bytes, const QByteArray &charset)
{
    return WebEncoding::decode(bytes, charset);
}

bool MhtmlArchive::isShowableType(const QByteArray &type)
{
    // What Chromium renders as a document of its own: pages, text of any
    // kind, XML, and the pictures it decodes.
    static const QList<QByteArray> types{
        "application/xhtml+xml",
        "application/xml",
        "application/json",
        "application/javascript",
        "image/png",
        "image/jpeg",
        "image/gif",
        "image/webp",
        "image/bmp",
        "image/svg+xml",
        "image/x-icon",
        "image/vnd.microsoft.icon",
        "image/avif",
        "image/apng",
        "image/pjpeg",
        "image/x-ms-bmp",
    };
    return type.startsWith("text/") || types.contains(type);
}

QByteArray MhtmlArchive::sniffHtmlCharset(const QByteArray &html)
{
    // Browsers honour a declaration only near the start, so only that is searched.
    const QRegularExpression meta(QStringLiteral(R"(<meta\b[^>]*?charset\s*=\s*["']?\s*([A-Za-z0-9_.:-]+))"),
                                  QRegularExpression::CaseInsensitiveOption);
    const QString head = QString::fromLatin1(html.left(4096));
    const QRegularExpressionMatch m = meta.match(head);
    return m.hasMatch() ? m.captured(1).toLatin1().toLower() : QByteArray();
}
