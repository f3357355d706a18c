#pragma once

#include <QStringList>

// Told by the flows that write, rename, move or delete archives, so that what
// is derived from them (the library's index) follows at once instead of at
// its next look round. The library's controller implements it.
class ArchiveChanges
{
public:
    virtual ~ArchiveChanges() = default;

    // Every file a flow touched: written, removed, and both names of a rename
    // or move. Each is looked at as it is now; files that are no archives are
    // passed over.
    virtual void archivesChanged(const QStringList &paths) = 0;
};
