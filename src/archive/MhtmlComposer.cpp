#include "MhtmlComposer.h"

#include "MhtmlNormalizer.h"
#include "QuotedPrintableMemo.h"

#include <QRegularExpression>

MhtmlArchive MhtmlComposer::compose(const QString &html, const MhtmlArchive *source, const QString &location,
                                    QuotedPrintableMemo *rootEncoding)
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
    if (rootEncoding) {
        QuotedPrintableMemo::Encoding encoding = rootEncoding->encode(rewriteMetaCharset(html));
        root.transferEncoding = "quoted-printable";
        root.encoded = std::move(encoding.encoded);
        root.encodedSize = encoding.size;
        root.encodedCopyable = !root.encoded.isEmpty();
    } else {
        root.data = utf8Html(html);
    }
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
    const QRegularExpression charset(QStringLiteral(R"((charset\s*=\s*["']?\s*)([^"'\s;/>]+))"),
                                     QRegularExpression::CaseInsensitiveOption);
    const auto isWordCharacter = [](char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
    };
    const QStringView view(html);
    QString out;
    qsizetype copied = 0;
    // A tag is "<meta" as a word up to the next ">". A regular expression
    // tried at every "<" of a big page took longer than encoding it.
    for (qsizetype at = view.indexOf(u'<'); at >= 0; at = view.indexOf(u'<', at + 1)) {
        if (view.size() - at < 6 || view.mid(at + 1, 4).compare(QLatin1String("meta"), Qt::CaseInsensitive) != 0 ||
            isWordCharacter(view[at + 5].unicode()))
            continue;
        const qsizetype end = view.indexOf(u'>', at + 5);
        // No tag closes after this one, nor after any later one.
        if (end < 0)
            break;
        const QStringView text = view.mid(at, end + 1 - at);
        const QRegularExpressionMatch value = charset.match(text);
        if (!value.hasMatch() || value.capturedView(2).compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0) {
            at = end;
            continue;
        }
        if (out.isEmpty())
            out.reserve(html.size() + 64);
        out += view.mid(copied, at - copied);
        QString fixed = text.toString();
        fixed.replace(value.capturedStart(2), value.capturedLength(2), QStringLiteral("utf-8"));
        out += fixed;
        copied = end + 1;
        at = end;
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
