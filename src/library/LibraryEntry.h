#pragma once

#include "library/PageMarks.h"

#include <QDateTime>
#include <QList>
#include <QString>

// What the library knows of one archive file.
struct LibraryEntry
{
    QString path;
    qint64 size = 0;
    // Milliseconds since the epoch, as the file system reports them.
    qint64 modified = 0;
    // The mount the file lay on when it was last seen; see LibraryIndexer.
    QString volume;
    // False when the archive could not be read or was too large; reason says why.
    bool indexed = false;
    QString reason;
    QString title;
    // The page's address, or the source link of a clipboard page.
    QString source;
    // The archive's Date, else the file's modification time.
    QDateTime date;
    QString text;
    QList<LibraryMark> marks;
};
