#include "support/RecentlyUsedList.h"

#include "support/AtomicFile.h"

#include <QFile>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

QString bookmarkNs()
{
    return QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
}

QString mimeNs()
{
    return QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");
}

QString stamp(const QDateTime &when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz000Z"));
}

QDateTime parseStamp(QStringView text)
{
    QDateTime when = QDateTime::fromString(text.toString(), Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime::fromString(text.left(19).toString(), QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    return when;
}

} // namespace

RecentlyUsedList::RecentlyUsedList(QString filePath) : m_filePath(std::move(filePath))
{
}

bool RecentlyUsedList::add(const QString &path, const QString &mimeType, const QString &appName, const QString &appExec,
                           const QDateTime &when)
{
    const QString href = QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
    QByteArray existing;
    QFile in(m_filePath);
    if (in.exists()) {
        if (!in.open(QIODevice::ReadOnly))
            return false;
        existing = in.readAll();
    }

    QByteArray out;
    QXmlStreamWriter writer(&out);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeNamespace(bookmarkNs(), QStringLiteral("bookmark"));
    writer.writeNamespace(mimeNs(), QStringLiteral("mime"));
    writer.writeStartElement(QStringLiteral("xbel"));
    writer.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));

    // Copy every other bookmark through unchanged; the file's own entry is
    // written anew at the end.
    if (!existing.isEmpty()) {
        QXmlStreamReader reader(existing);
        int depth = 0;
        bool copying = false;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement()) {
                ++depth;
                if (depth == 2)
                    copying = reader.name() == QLatin1String("bookmark") &&
                              reader.attributes().value(QLatin1String("href")) != href;
            }
            if (copying && depth >= 2 && !reader.isWhitespace())
                writer.writeCurrentToken(reader);
            if (reader.isEndElement()) {
                if (depth == 2)
                    copying = false;
                --depth;
            }
        }
        // A broken list is not ours to repair: better to leave it alone.
        if (reader.hasError())
            return false;
    }

    const QString time = stamp(when);
    writer.writeStartElement(QStringLiteral("bookmark"));
    writer.writeAttribute(QStringLiteral("href"), href);
    writer.writeAttribute(QStringLiteral("added"), time);
    writer.writeAttribute(QStringLiteral("modified"), time);
    writer.writeAttribute(QStringLiteral("visited"), time);
    writer.writeStartElement(QStringLiteral("info"));
    writer.writeStartElement(QStringLiteral("metadata"));
    writer.writeAttribute(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
    writer.writeEmptyElement(mimeNs(), QStringLiteral("mime-type"));
    writer.writeAttribute(QStringLiteral("type"), mimeType);
    writer.writeStartElement(bookmarkNs(), QStringLiteral("applications"));
    writer.writeEmptyElement(bookmarkNs(), QStringLiteral("application"));
    writer.writeAttribute(QStringLiteral("name"), appName);
    writer.writeAttribute(QStringLiteral("exec"), appExec);
    writer.writeAttribute(QStringLiteral("modified"), time);
    writer.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
    writer.writeEndElement(); // applications
    writer.writeEndElement(); // metadata
    writer.writeEndElement(); // info
    writer.writeEndElement(); // bookmark
    writer.writeEndElement(); // xbel
    writer.writeEndDocument();

    return WriteFileAtomically(m_filePath, out).isEmpty();
}

QString RecentlyUsedList::newest() const
{
    QFile in(m_filePath);
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QXmlStreamReader reader(&in);
    QString newestPath;
    QDateTime newestTime;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != QLatin1String("bookmark"))
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        const QUrl url(attributes.value(QLatin1String("href")).toString());
        QDateTime when = parseStamp(attributes.value(QLatin1String("modified")));
        const QDateTime visited = parseStamp(attributes.value(QLatin1String("visited")));
        if (visited.isValid() && (!when.isValid() || visited > when))
            when = visited;
        // Later entries win ties: they were written last.
        if (url.isLocalFile() && (newestPath.isEmpty() || !newestTime.isValid() || when >= newestTime)) {
            newestPath = url.toLocalFile();
            newestTime = when;
        }
    }
    return newestPath;
}
