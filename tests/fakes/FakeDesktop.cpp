#include "FakeDesktop.h"

void FakeDesktop::runDocument(const QString &fileOrUrl)
{
    documentsRun << fileOrUrl;
}

bool FakeDesktop::addRecentFile(const QString &path)
{
    recentAdded << path;
    // A successful add makes the file the newest entry, as on the desktop.
    if (addRecentSucceeds)
        newestRecent = path;
    return addRecentSucceeds;
}

bool FakeDesktop::restartWithFile(const QString &path)
{
    restarts << path;
    return restartSucceeds;
}
