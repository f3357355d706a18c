#pragma once

#include "ControllerFixture.h"
#include "LibraryFixture.h"
#include "library/LibraryIndex.h"
#include "library/LibraryIndexer.h"
#include "library/LibrarySearch.h"
#include "libraryview/LibraryController.h"

#include <QAction>

// The library's controllers over the saving fixture: the window's controls
// they use, the indexing controller of the fixture's program folder, and a
// folder of archives to index.
struct LibraryViewFixture : ControllerFixture
{
    LibraryController library{state, ui, dialogs, folders, window};

    LibraryViewFixture()
    {
        for (QAction **action : {&ui.LibraryFoldersMI, &ui.FindLibraryMI, &ui.PageMarksMI})
            *action = new QAction(&window);
        library.connectCommands();
    }

    QString libraryFolder() const { return path(QStringLiteral("library")); }

    // Writes an archive of body into the library folder; its path.
    QString page(const QString &name, const QString &title, const QString &body)
    {
        const QString file = libraryFolder() + QLatin1Char('/') + name;
        LibraryFixture::write(file, LibraryFixture::utf8Page(title, body));
        // What the engine shows when the archive is opened.
        browser.pages.insert(
            file, QStringLiteral("<html><head><title>%1</title></head><body>%2</body></html>").arg(title, body));
        return file;
    }

    // Indexes the library folder here and now.
    bool indexAll()
    {
        LibraryIndex index(library.indexPath());
        return index.open().ok() && LibraryIndexer(index).run({{libraryFolder()}, {}}).result.ok();
    }

    // The file names of the hits of query in the controller's index.
    QStringList found(const QString &query)
    {
        LibraryIndex index(library.indexPath());
        if (!index.open().ok())
            return {QStringLiteral("<no index>")};
        QStringList names;
        for (const LibraryHit &hit : LibrarySearch(index).find(query, {}).hits)
            names << QFileInfo(hit.path).fileName();
        names.sort();
        return names;
    }
};
