#include "MhtmlComposer.h"

#include "MhtmlNormalizer.h"

#include <QRegularExpression>

MhtmlArchive MhtmlComposer::compose(const QString &html, const MhtmlArchive *source, const QString &location)
{
    const MhtmlPart *sourceRoot = source ? source->root() : nullptr;
    // A picture or a text shown as it is has no HTML of its own to save: the
    // engine's stand-in page would replace the very part it shows.
    if (sourceRoot && sourceRoot->contentType != "text/html" && sourceRoot->contentType != "application/xhtml+xml")
        return *source;
    MhtmlArchive archive;
    MhtmlPart root;
    if (sourceRoot) {
        root.contentLocation = sourceRoot->contentLocation;
        root.contentId = sourceRoot->contentId;
    } else {
        root.contentLocation = location;
    }
    root.contentType = "text/html";
    root.charset = "utf-8";
    root.data = utf8Html(html);
    archive.parts.append(std::move(root));
    if (source) {
        for (const MhtmlPart &part : source->parts) {
            if (&part != sourceRoot)
                archive.parts.append(part);
        }
        archive.snapshotLocation = source->snapshotLocation;
        // From, X-... and the rest stay; the writer decides on Date.
        archive.headers = source->headers;
    }
    archive.subject = titleOf(html);
    if (archive.subject.isEmpty() && source)
        archive.subject = source->subject;
    // A page shown through the engine-ready copy refers to its pictures by
    // their mapped addresses; the kept parts must carry the same ones.
    if (html.contains(MhtmlNormalizer::mappedPrefix()))
        MhtmlNormalizer::mapFileLocations(archive);
    return archive;
}

QByteArray MhtmlComposer::utf8Html(const QString &html)
{
    return rewriteMetaCharset(html).toUtf8();
}

QString MhtmlComposer::rewriteMetaCharset(const QString &html)
{
    const QRegularExpression metaTag(QStringLiteral("<meta\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression charset(QStringLiteral(R"((charset\s*=\s*["']?\s*)([^"'\s;/>]+))"),
                                     QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype copied = 0;
    auto it = metaTag.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch tag = it.next();
        const QString text = tag.captured(0);
        const QRegularExpressionMatch value = charset.match(text);
        if (!value.hasMatch() || value.captured(2).compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0)
            continue;
        if (out.isEmpty())
            out.reserve(html.size() + 64);
        out += QStringView(html).mid(copied, tag.capturedStart() - copied);
        QString fixed = text;
        fixed.replace(value.capturedStart(2), value.capturedLength(2), QStringLiteral("utf-8"));
        out += fixed;
        copied = tag.capturedEnd();
    }
    if (copied == 0)
        return html;
    out += QStringView(html).mid(copied);
    return out;
}

QString MhtmlComposer::titleOf(const QString &html)
{
    const qsizetype headEnd = html.indexOf(QLatin1String("</head"), 0, Qt::CaseInsensitive);
    const QStringView head = headEnd < 0 ? QStringView(html) : QStringView(html).left(headEnd);
    const QRegularExpression title(QStringLiteral("<title\\b[^>]*>(.*?)</title"),
                                   QRegularExpression::CaseInsensitiveOption |
                                       QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = title.match(head);
    if (!m.hasMatch())
        return {};
    QString text = m.captured(1).simplified();
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&#39;"), QLatin1String("'"));
    text.replace(QLatin1String("&nbsp;"), QString(QChar(0xa0)));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}
