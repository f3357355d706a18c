#pragma once

#include "support/Desktop.h"

#include <QStringList>
#include <QTemporaryDir>

// Records what the program asked of the desktop; folders and the newest
// recent entry are whatever the test sets.
class FakeDesktop : public Desktop
{
public:
    QStringList documentsRun;
    QStringList restarts;
    QStringList recentAdded;
    QString documents = QStringLiteral("/home/user/Documents");
    QString recent = QStringLiteral("/home/user/.local/share");
    QString newestRecent;
    // The folders the program writes into lie in a temporary home, so no test
    // touches the real user's files.
    QTemporaryDir homeDir;
    QString home = homeDir.path();
    QString data = home + QStringLiteral("/.local/share");
    QString config = home + QStringLiteral("/.config");
    bool addRecentSucceeds = true;
    bool restartSucceeds = true;

    void runDocument(const QString &fileOrUrl) override;
    QString documentsFolder() const override { return documents; }
    QString recentFolder() const override { return recent; }
    QString newestRecentEntry() const override { return newestRecent; }
    bool addRecentFile(const QString &path) override;
    bool restartWithFile(const QString &path) override;
    QString dataHome() const override { return data; }
    QString configHome() const override { return config; }
    QString homeFolder() const override { return home; }
};
