#pragma once

#include <QByteArray>
#include <QString>

class MhtmlArchive;

// Chromium refuses archives with LF-only line ends, will not show parts
// whose Content-Location is a file: URL, and leaves nested or picture-rooted
// archives blank. This makes a copy it shows.
class MhtmlNormalizer
{
public:
    // archivePath itself when the engine can open it as it is; otherwise the
    // path of a normalised copy written into cacheFolder (CRLF line ends,
    // file: locations and the references to them moved to a non-file scheme,
    // one flat multipart with its root first).
    // When the archive cannot be read or the copy cannot be written, returns
    // archivePath and sets *error (if given) to a message for the user.
    static QString engineReadyPath(const QString &archivePath, const QString &cacheFolder, QString *error);

    // True when the raw archive bytes would be refused or shown without images.
    static bool needsNormalizing(const QByteArray &raw);
    // Rewrites file: locations of every part, and the references to them in
    // text parts, to the same non-file address. Returns whether anything changed.
    static bool mapFileLocations(MhtmlArchive &archive);
    // The address a file: URL is shown under; other URLs are returned as they are.
    static QString mapFileUrl(const QString &url);
    // The prefix every mapped file: URL starts with.
    static QString mappedPrefix();
};
