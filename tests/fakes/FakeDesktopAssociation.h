#pragma once

#include "shell/DesktopAssociation.h"

#include <QMap>
#include <QStringList>

// A desktop in memory: the installed applications, the defaults per type,
// and failures on demand.
class FakeDesktopAssociation : public DesktopAssociation
{
public:
    QStringList applications{QStringLiteral("viewer.desktop")};
    QMap<QString, QString> defaults;
    // The program path of the installed entry; "" when none is installed.
    QString installedEntry;
    // Calls that fail, by name ("installEntry", "setDefaultApplication", ...).
    QStringList failing;

    QString defaultApplication(const QString &mimeType) override { return defaults.value(mimeType); }
    bool hasApplication(const QString &desktopId) override;
    QString installEntry(const QString &programPath) override;
    QString removeEntry() override;
    QString setDefaultApplication(const QString &mimeType, const QString &desktopId) override;
    QString giveBackDefault(const QString &mimeType, const QString &previous) override;

private:
    QString failure(const QString &call) const;
};
