#include "MhtmlNormalizer.h"

#include "MhtmlArchive.h"
#include "MhtmlReader.h"
#include "MhtmlWriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>
#include <string_view>

namespace {

bool hasBareLineFeed(const QByteArray &raw)
{
    const char *d = raw.constData();
    const qsizetype n = raw.size();
    qsizetype pos = 0;
    while (pos < n) {
        const void *hit = std::memchr(d + pos, '\n', size_t(n - pos));
        if (!hit)
            return false;
        const qsizetype nl = static_cast<const char *>(hit) - d;
        if (nl == 0 || d[nl - 1] != '\r')
            return true;
        pos = nl + 1;
    }
    return false;
}

bool hasFileLocation(const QByteArray &raw)
{
    // One pass from colon to colon (encoded parts hold none) rather than one
    // search of the whole archive per spelling of the header.
    constexpr qsizetype KeyLength = 16;
    const char *d = raw.constData();
    const qsizetype n = raw.size();
    for (qsizetype pos = 0; pos < n; ++pos) {
        const void *hit = std::memchr(d + pos, ':', size_t(n - pos));
        if (!hit)
            return false;
        pos = static_cast<const char *>(hit) - d;
        if (pos < KeyLength)
            continue;
        const char *key = d + pos - KeyLength;
        bool named = false;
        for (const char *name : {"Content-Location", "content-location", "CONTENT-LOCATION"})
            named = named || std::memcmp(key, name, KeyLength) == 0;
        if (!named)
            continue;
        qsizetype v = pos + 1;
        while (v < n && (d[v] == ' ' || d[v] == '\t'))
            ++v;
        if (raw.mid(v, 5).compare("file:", Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Chromium shows only a flat archive whose first part is a page: a nested
// multipart (the frameset beside its plain-text stand-in) or a picture as
// the root leaves it blank, though its parts are all there.
bool showsAsItIs(const MhtmlArchive &archive, const QByteArray &raw)
{
    const MhtmlPart *root = archive.root();
    if (archive.rootIndex != 0 || !root ||
        (root->contentType != "text/html" && root->contentType != "application/xhtml+xml"))
        return false;
    // The standard library's search is a few times faster here than
    // QByteArray's on an archive of pictures.
    const std::string_view bytes(raw.constData(), size_t(raw.size()));
    int multiparts = 0;
    for (size_t pos = 0; (pos = bytes.find("ultipart/", pos)) != std::string_view::npos && pos > 0; ++pos) {
        if ((bytes[pos - 1] == 'm' || bytes[pos - 1] == 'M') && ++multiparts > 1)
            return false;
    }
    return true;
}

bool isUrlChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
           c == '.';
}

// Replaces every "file:" URL start in text with the mapped prefix.
bool mapFileReferences(QByteArray &text)
{
    const QByteArray lower = text.toLower();
    const QByteArray prefix = MhtmlNormalizer::mappedPrefix().toLatin1();
    QByteArray out;
    qsizetype copied = 0;
    qsizetype pos = 0;
    while ((pos = lower.indexOf("file:", pos)) >= 0) {
        qsizetype after = pos + 5;
        const bool urlStart = (pos == 0 || !isUrlChar(lower[pos - 1])) && after < lower.size() &&
                              (lower[after] == '/' || lower[after] == '\\');
        if (!urlStart) {
            pos = after;
            continue;
        }
        while (after < lower.size() && (lower[after] == '/' || lower[after] == '\\'))
            ++after;
        if (out.isEmpty())
            out.reserve(text.size() + 1024);
        out.append(text.constData() + copied, pos - copied);
        out.append(prefix);
        copied = after;
        pos = after;
    }
    if (copied == 0)
        return false;
    out.append(text.constData() + copied, text.size() - copied);
    text = std::move(out);
    return true;
}

} // namespace

QString MhtmlNormalizer::mappedPrefix()
{
    // A host that can never resolve: the engine serves these from the archive only.
    return QStringLiteral("https://local-file.invalid/");
}

QString MhtmlNormalizer::mapFileUrl(const QString &url)
{
    if (!url.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return url;
    qsizetype i = 5;
    while (i < url.size() && (url[i] == u'/' || url[i] == u'\\'))
        ++i;
    return mappedPrefix() + url.mid(i);
}

bool MhtmlNormalizer::needsNormalizing(const QByteArray &raw)
{
    return hasBareLineFeed(raw) || hasFileLocation(raw);
}

bool MhtmlNormalizer::mapFileLocations(MhtmlArchive &archive)
{
    bool anyFile = archive.snapshotLocation.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
    for (const MhtmlPart &part : std::as_const(archive.parts))
        anyFile = anyFile || part.contentLocation.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
    if (!anyFile)
        return false;
    archive.snapshotLocation = mapFileUrl(archive.snapshotLocation);
    for (MhtmlPart &part : archive.parts) {
        part.contentLocation = mapFileUrl(part.contentLocation);
        if (part.isText()) {
            part.materialize();
            mapFileReferences(part.data);
        }
    }
    return true;
}

QString MhtmlNormalizer::engineReadyPath(const QString &archivePath, const QString &cacheFolder, QString *error)
{
    const auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return archivePath;
    };
    if (error)
        error->clear();
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot open %1: %2").arg(archivePath, file.errorString()));
    // Unchecked, the engine would show a blank page that still went into the histories.
    if (file.size() > MhtmlReader::DefaultMaxSize)
        return fail(QStringLiteral("%1 is too large to open (%2 bytes; the limit is %3 bytes)")
                        .arg(archivePath)
                        .arg(file.size())
                        .arg(MhtmlReader::DefaultMaxSize));
    // Looked at where it lies: the archive is only read, and most need no copy.
    const uchar *mapped = file.size() > 0 ? file.map(0, file.size()) : nullptr;
    const QByteArray raw =
        mapped ? QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), file.size()) : file.readAll();

    // A broken archive gets a clear message here; the engine would only show
    // an empty page.
    // Most archives need no copy; their parts are not decoded just to say so.
    MhtmlReader reader;
    reader.setKeepEncoded(true);
    MhtmlReadResult read = reader.readFile(archivePath);
    if (!read.ok())
        return fail(read.error);
    if (!needsNormalizing(raw) && showsAsItIs(read.archive, raw))
        return archivePath;
    mapFileLocations(read.archive);

    if (!QDir().mkpath(cacheFolder))
        return fail(QStringLiteral("Cannot create the folder %1").arg(cacheFolder));
    // One copy per original, named after its path, so the cache does not grow with every open.
    const QByteArray key =
        QCryptographicHash::hash(QFileInfo(archivePath).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(20);
    const QString copyPath = QDir(cacheFolder).filePath(QString::fromLatin1(key) + QStringLiteral(".mht"));
    // Unbuffered, every write is checked as it happens: a copy cut short by
    // a full disk is never renamed into place.
    QSaveFile copy(copyPath);
    if (!copy.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(QStringLiteral("Cannot write %1: %2").arg(copyPath, copy.errorString()));
    const MhtmlWriteResult written = MhtmlWriter().write(read.archive, copy);
    if (!written.ok() || !copy.commit())
        return fail(
            QStringLiteral("Cannot write %1: %2").arg(copyPath, written.ok() ? copy.errorString() : written.error));
    return copyPath;
}
