#pragma once

#include "shell/DesktopAssociation.h"

// The freedesktop association through GIO, the reference implementation of
// the MIME-apps rules: defaults go to the user's mimeapps.list, the entry to
// the user's applications folder. GIO reads XDG_DATA_HOME, XDG_CONFIG_HOME
// and XDG_DATA_DIRS once per process, so this class takes them from there.
class GioDesktopAssociation : public DesktopAssociation
{
public:
    GioDesktopAssociation();

    QString defaultApplication(const QString &mimeType) override;
    bool hasApplication(const QString &desktopId) override;
    QString installEntry(const QString &programPath) override;
    QString removeEntry() override;
    QString setDefaultApplication(const QString &mimeType, const QString &desktopId) override;
    QString giveBackDefault(const QString &mimeType, const QString &previous) override;

    // Where installEntry() writes the entry and its icon, and where GIO keeps
    // the user's defaults.
    QString entryPath() const;
    QString mimeappsPath() const;
    QString iconPath() const;

    // The Exec value that starts programPath with one file, quoted and
    // escaped as desktop entries require.
    static QString execLine(const QString &programPath);
};
