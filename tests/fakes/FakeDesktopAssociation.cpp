#include "FakeDesktopAssociation.h"

QString FakeDesktopAssociation::failure(const QString &call) const
{
    return failing.contains(call) ? call + QStringLiteral(" failed") : QString();
}

bool FakeDesktopAssociation::hasApplication(const QString &desktopId)
{
    return applications.contains(desktopId) || (desktopId == programEntryId() && !installedEntry.isEmpty());
}

QString FakeDesktopAssociation::installEntry(const QString &programPath)
{
    const QString error = failure(QStringLiteral("installEntry"));
    if (error.isEmpty())
        installedEntry = programPath;
    return error;
}

QString FakeDesktopAssociation::removeEntry()
{
    const QString error = failure(QStringLiteral("removeEntry"));
    if (error.isEmpty())
        installedEntry.clear();
    return error;
}

QString FakeDesktopAssociation::setDefaultApplication(const QString &mimeType, const QString &desktopId)
{
    QString error = failure(QStringLiteral("setDefaultApplication"));
    if (error.isEmpty() && !hasApplication(desktopId))
        error = QStringLiteral("No application ") + desktopId;
    if (error.isEmpty())
        defaults[mimeType] = desktopId;
    return error;
}

QString FakeDesktopAssociation::giveBackDefault(const QString &mimeType, const QString &previous)
{
    const QString error = failure(QStringLiteral("giveBackDefault"));
    if (!error.isEmpty() || defaults.value(mimeType) != programEntryId())
        return error;
    if (previous.isEmpty())
        defaults.remove(mimeType);
    else
        defaults[mimeType] = previous;
    return error;
}
