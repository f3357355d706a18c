#pragma once

#include "window/ArchiveChanges.h"

#include <QList>

// Records what the flows report, one entry per report.
class FakeArchiveChanges : public ArchiveChanges
{
public:
    QList<QStringList> reports;

    void archivesChanged(const QStringList &paths) override { reports << paths; }
};
