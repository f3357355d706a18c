#pragma once

#include "library/LibraryEntry.h"

#include <QString>

// Reads what the library keeps of one archive, within bounded memory: an
// archive above MaxArchiveSize is not read at all, and only the first
// MaxPageBytes of its page are taken. The file is only ever read.
class ArchiveDigest
{
public:
    static constexpr qint64 MaxArchiveSize = qint64(64) * 1024 * 1024;
    static constexpr qint64 MaxPageBytes = qint64(8) * 1024 * 1024;
    // Every part costs memory of its own, whatever its size.
    static constexpr qsizetype MaxParts = 20000;

    // size and modified are what the caller saw when it chose to read the file.
    static LibraryEntry read(const QString &path, qint64 size, qint64 modified);
};
