#pragma once

#include "support/SystemUtils.h"

#include <QDateTime>
#include <QString>
#include <cstdint>

class Dialogs;

// File-system queries answer a missing path with a neutral value ('n', 0,
// "", -1); only the appending and copying routines report errors.

// 'n' no such path, 'd' a folder, 'f' anything else.
char PathKind(const QString &path);
bool IsDirectory(const QString &path);
// Size of a file (low 32 bits); 0 for a folder or a missing file.
std::uint32_t FileSizeOf(const QString &file);
// Sum of the sizes of every file below the folder (32 bits, wrapping).
// Linked folders are not descended into, so a link loop cannot recurse.
std::uint32_t DirSize(const QString &folder);
// DirSize, FileSizeOf or 0 by PathKind.
std::uint32_t PathSize(const QString &path);
// The file of the folder with the newest DOS stamp (later listed wins a
// tie); "" when the folder holds no file.
QString NewestFile(const QString &folder);
// The DOS date-time stamp of the file's local modification time; -1 when it
// cannot be opened.
std::int32_t FileDateOf(const QString &file);
// The stamp of a local date-time: year-1980 in bits 25-31, month, day, hour,
// minute and seconds/2 below. 0 outside 1980-2107.
std::int32_t DosDateTime(const QDateTime &local);
// Folder: creation time; file: last-write time; local, in the system's short
// date and long time format. "" for a missing path.
QString PathDateStr(const QString &path);

// False when the file exists; otherwise creates it empty and says whether
// that worked.
bool CreateEmptyFile(const QString &file);
// Creates an absolute folder with all missing parents; relative paths are
// refused.
bool ForceDir(const QString &folder);
// Appends bytes first..last (1-based, inclusive) of source to the end of
// destination, creating it when missing. A source shorter than last beeps
// twice and gives what it has. Every error is shown through dialogs, and the
// result says whether the piece was appended.
bool AppendFilePiece(const QString &source, qint64 first, qint64 last, const QString &destination, Dialogs &dialogs,
                     const Beeper &beep);
// The whole source appended to destination (created when missing).
bool AppendFile(const QString &source, const QString &destination, Dialogs &dialogs, const Beeper &beep);
// Copies source over destination, atomically, and gives the copy the
// source's modification time. Failures are shown through dialogs and give
// false; the old destination is then as it was.
bool CopyFileKeepDate(const QString &source, const QString &destination, Dialogs &dialogs, const Beeper &beep);
