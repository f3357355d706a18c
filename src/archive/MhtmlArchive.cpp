#include "MhtmlArchive.h"

#include <QRegularExpression>
#include <QStringDecoder>

bool MhtmlPart::isText() const
{
    return contentType.startsWith("text/") || contentType == "application/javascript" ||
           contentType == "application/xhtml+xml" || contentType == "image/svg+xml" ||
           contentType == "application/json" || contentType == "application/xml";
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
    if (charset.isEmpty())
        charset = sniffHtmlCharset(part->data);
    return decodeText(part->data, charset);
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
        total += part.data.size();
    return total;
}

QString MhtmlArchive::decodeText(const QByteArray &bytes, const QByteArray &charset)
{
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return QString::fromUtf8(bytes);
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
