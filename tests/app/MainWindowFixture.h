#pragma once

#include "FakeBrowser.h"
#include "FakeDesktop.h"
#include "FakeDesktopAssociation.h"
#include "FakeDialogs.h"
#include "app/TMainF.h"
#include "support/RegistryStore.h"

#include <QTemporaryDir>
#include <memory>

// A main window over fakes, in a fresh program folder.
struct MainWindowFixture
{
    QTemporaryDir folder;
    FakeDialogs dialogs;
    FakeDesktop desktop;
    FakeBrowser browser;
    RegistryStore registry{folder.path() + QStringLiteral("/registry.ini")};
    FakeDesktopAssociation association;
    std::unique_ptr<TMainF> window;

    QString path(const QString &name) const { return folder.path() + QLatin1Char('/') + name; }

    TMainF &create()
    {
        window = std::make_unique<TMainF>(TMainF::Services{dialogs, desktop, browser, folder.path(),
                                                           path(QStringLiteral("quillet")), registry, association});
        return *window;
    }
};
