#include "library/ArchiveDigest.h"

#include "archive/MhtmlCodec.h"
#include "archive/MhtmlReader.h"
#include "library/HtmlText.h"

#include <QFile>
#include <QLocale>

#include <cstring>

namespace {

QString megabytes(qint64 bytes)
{
    return QLocale(QLocale::English).toString(double(bytes) / (1024 * 1024), 'f', 0) + QStringLiteral(" MB");
}

// Every part starts at a line of its own that begins with "--": counting
// such lines bounds the parts without parsing anything.
qsizetype countDelimiterLines(const QString &path, qsizetype stopAt)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const uchar *data = file.size() > 0 ? file.map(0, file.size()) : nullptr;
    if (!data)
        return 0;
    const char *p = reinterpret_cast<const char *>(data);
    const char *const end = p + file.size();
    qsizetype count = 0;
    while (p < end && count <= stopAt) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!nl)
            break;
        if (end - nl > 2 && nl[1] == '-' && nl[2] == '-')
            ++count;
        p = nl + 1;
    }
    return count;
}

// The top-level Date header, read from the header block alone.
QDateTime headerDate(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(64 * 1024);
    qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0)
        end = head.indexOf("\n\n");
    const QList<QByteArray> lines = head.left(end < 0 ? head.size() : end).split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].toLower().startsWith("date:"))
            continue;
        QByteArray value = lines[i].mid(5).trimmed();
        // Folded continuation lines start with white space.
        while (i + 1 < lines.size() && !lines[i + 1].isEmpty() && (lines[i + 1][0] == ' ' || lines[i + 1][0] == '\t'))
            value += ' ' + lines[++i].trimmed();
        return QDateTime::fromString(QString::fromLatin1(value), Qt::RFC2822Date);
    }
    return {};
}

} // namespace

LibraryEntry ArchiveDigest::read(const QString &path, qint64 size, qint64 modified)
{
    LibraryEntry entry;
    entry.path = path;
    entry.size = size;
    entry.modified = modified;
    if (size > MaxArchiveSize) {
        entry.reason = QStringLiteral("larger than %1 (%2), the most the library reads")
                           .arg(megabytes(MaxArchiveSize), megabytes(size));
        return entry;
    }
    // One more line closes the last part.
    if (size > 1024 * 1024 && countDelimiterLines(path, MaxParts + 1) > MaxParts + 1) {
        entry.reason = QStringLiteral("more than %1 parts, the most the library reads")
                           .arg(QLocale(QLocale::English).toString(qlonglong(MaxParts)));
        return entry;
    }
    QString html;
    bool isHtml = false;
    {
        MhtmlReader reader;
        // Parts stay where they are in the file; only the page is decoded.
        reader.setKeepEncoded(true);
        MhtmlReadResult result = reader.readFile(path);
        if (!result.ok()) {
            // The caller names the file already.
            const QString named = path + QStringLiteral(" is ");
            entry.reason = result.error.startsWith(named) ? result.error.mid(named.size()) : result.error;
            return entry;
        }
        const MhtmlArchive &archive = result.archive;
        entry.title = archive.subject.simplified();
        entry.source = archive.snapshotLocation;
        const MhtmlPart *root = archive.root();
        if (root && root->isText()) {
            const QByteArray &body = root->encoded.isEmpty() ? root->data : root->encoded;
            // A page's first bytes decode alone: neither encoding needs what follows.
            const qsizetype take = root->encoded.isEmpty() ? MaxPageBytes : 3 * MaxPageBytes;
            QByteArray bytes = root->encoded.isEmpty()
                                   ? body.left(take)
                                   : MhtmlCodec::decodeBody(body.left(take), root->transferEncoding);
            if (bytes.size() > MaxPageBytes)
                bytes.truncate(MaxPageBytes);
            QByteArray charset = root->charset;
            isHtml = root->contentType == "text/html" || root->contentType == "application/xhtml+xml";
            if (charset.isEmpty() && isHtml)
                charset = MhtmlArchive::sniffHtmlCharset(bytes);
            html = MhtmlArchive::decodeText(bytes, charset);
        }
    }
    if (isHtml) {
        HtmlPageText page = HtmlText::extract(html);
        html.clear();
        if (entry.title.isEmpty())
            entry.title = page.title;
        if (entry.source.isEmpty())
            entry.source = page.copiedFrom;
        entry.marks = PageMarks::of(page);
        entry.text = std::move(page.text);
    } else {
        entry.text = html.simplified();
    }
    entry.date = headerDate(path);
    if (!entry.date.isValid())
        entry.date = QDateTime::fromMSecsSinceEpoch(modified);
    entry.indexed = true;
    return entry;
}
