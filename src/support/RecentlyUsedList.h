#pragma once

#include <QDateTime>
#include <QString>

// The freedesktop recently-used list (an XBEL file shared by every program
// of the desktop), read and written through GLib's GBookmarkFile. Entries of
// other programs are kept.
class RecentlyUsedList
{
public:
    explicit RecentlyUsedList(QString filePath);

    QString filePath() const { return m_filePath; }

    // Adds the file (or refreshes its entry) with the given application and
    // time, written atomically. False when the list cannot be read or written.
    bool add(const QString &path, const QString &mimeType, const QString &appName, const QString &appExec,
             const QDateTime &when = QDateTime::currentDateTimeUtc());
    // The local path of the entry modified last; "" when there is none.
    QString newest() const;

private:
    QString m_filePath;
};
