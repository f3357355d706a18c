#pragma once

#include "library/LibraryIndexer.h"

#include <QString>
#include <QStringList>

class ProfileFile;

// Where the library's archives are: the folders the user lists (section
// [Library] of the settings file; by default the Save-to folder) and the
// archives named in the history files of the program folder.
class LibraryFolders
{
public:
    // The listed folders; the Save-to folder (or the documents folder) while
    // the user has listed none. saveFolder, when given, stands for the
    // settings' Save-to folder (a running window holds its current value).
    static QStringList read(const ProfileFile &settings, const QString &saveFolder = {});
    static void write(ProfileFile &settings, const QStringList &folders);
    // Local archive files named in the history lists, each once.
    static QStringList historyArchives(const QString &programFolder);
    // read() and historyArchives() together.
    static LibraryScope scope(const QString &programFolder, const ProfileFile &settings,
                              const QString &saveFolder = {});
};
