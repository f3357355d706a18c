#include "library/LibraryFolders.h"

#include "history/HistoryList.h"
#include "history/HistorySpec.h"
#include "support/PathUtils.h"
#include "support/ProfileFile.h"

#include <QDir>
#include <QStandardPaths>

namespace {

const QString Section = QStringLiteral("Library");
const QString Count = QStringLiteral("Count");

} // namespace

QStringList LibraryFolders::read(const ProfileFile &settings, const QString &saveFolder)
{
    const int count = settings.ReadInteger(Section, Count, -1);
    if (count < 0) {
        const QString save = saveFolder.isEmpty()
                                 ? settings.ReadString(QStringLiteral("Location"), QStringLiteral("Save"), QString())
                                 : saveFolder;
        return {save.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) : save};
    }
    QStringList folders;
    for (int i = 1; i <= count; ++i) {
        const QString folder = settings.ReadString(Section, QStringLiteral("Folder%1").arg(i), QString());
        if (!folder.isEmpty())
            folders << folder;
    }
    return folders;
}

void LibraryFolders::write(ProfileFile &settings, const QStringList &folders)
{
    settings.WriteInteger(Section, Count, int(folders.size()));
    for (qsizetype i = 0; i < folders.size(); ++i)
        settings.WriteString(Section, QStringLiteral("Folder%1").arg(i + 1), folders[i]);
}

QStringList LibraryFolders::historyArchives(const QString &programFolder)
{
    QStringList archives;
    for (const HistorySpec &spec : HistorySpecs) {
        for (const QString &item : HistoryList::readItems(QDir(programFolder).filePath(spec.histname))) {
            const QString path = UrlToPath(item);
            if (QDir::isAbsolutePath(path) && LibraryIndexer::isArchiveName(path) && !archives.contains(path))
                archives << path;
        }
    }
    return archives;
}

LibraryScope LibraryFolders::scope(const QString &programFolder, const ProfileFile &settings, const QString &saveFolder)
{
    return {read(settings, saveFolder), historyArchives(programFolder)};
}
