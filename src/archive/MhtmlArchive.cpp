#include "MhtmlArchive.h"

#include "MhtmlCodec.h"
#include "MhtmlSource.h"
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
    return MhtmlCodec::decodeBody(encoded, transferEncoding);
}

qsizetype MhtmlPart::decodedSize() const
{
    if (encoded.isEmpty() || !data.isEmpty())
        return data.size();
    return encodedSize >= 0 ? encodedSize : MhtmlCodec::decodedSize(encoded, transferEncoding);
}

void MhtmlPart::materialize()
{
    if (encoded.isEmpty())
        return;
    if (data.isEmpty())
        data = decoded();
    encoded.clear();
    source.reset();
    encodedSize = -1;
    encodedCopyable = false;
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

bool MhtmlArchive::isDocumentType(const QByteArray &type)
{
    // Chromium's rule for the page of an archive: text of any kind but
    // scripts, style sheets and a few formats nobody wants to read as text,
    // and the XML and JSON types it renders.
    static const QList<QByteArray> scripts{
        "application/ecmascript", "application/javascript", "application/x-ecmascript", "application/x-javascript",
        "text/ecmascript",        "text/javascript",        "text/javascript1.0",       "text/javascript1.1",
        "text/javascript1.2",     "text/javascript1.3",     "text/javascript1.4",       "text/javascript1.5",
        "text/jscript",           "text/livescript",        "text/x-ecmascript",        "text/x-javascript",
    };
    static const QList<QByteArray> unreadableText{
        "text/calendar",
        "text/x-calendar",
        "text/x-vcalendar",
        "text/vcalendar",
        "text/vcard",
        "text/x-vcard",
        "text/directory",
        "text/ldif",
        "text/qif",
        "text/x-qif",
        "text/x-csv",
        "text/x-vcf",
        "text/rtf",
        "text/comma-separated-values",
        "text/csv",
        "text/tab-separated-values",
        "text/tsv",
        "text/ofx",
        "text/vnd.sun.j2me.app-descriptor",
        "text/x-ms-iqy",
        "text/x-ms-odc",
        "text/x-ms-rqy",
        "text/x-ms-contact",
    };
    static const QList<QByteArray> others{
        "image/svg+xml",       "application/xml",       "application/atom+xml",
        "application/rss+xml", "application/xhtml+xml", "application/json",
    };
    if (type == "text/css" || scripts.contains(type))
        return false;
    if (type.startsWith("text/"))
        return !unreadableText.contains(type);
    return others.contains(type) || (type.startsWith("application/") && type.endsWith("+json"));
}

bool MhtmlArchive::isPictureType(const QByteArray &type)
{
    static const QList<QByteArray> types{
        "image/jpeg",
        "image/pjpeg",
        "image/jpg",
        "image/webp",
        "image/png",
        "image/apng",
        "image/gif",
        "image/bmp",
        "image/avif",
        "image/x-icon",
        "image/x-png",
        "image/x-xbitmap",
        "image/vnd.microsoft.icon",
    };
    return types.contains(type);
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
