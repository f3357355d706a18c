#include "shell/GioDesktopAssociation.h"

#include "support/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

static void initShellResources()
{
    Q_INIT_RESOURCE(shell);
}

namespace {

QString takeError(GError *error)
{
    const QString text = error ? QString::fromUtf8(error->message) : QStringLiteral("Unknown error");
    if (error)
        g_error_free(error);
    return text;
}

// GIO notices a new file in an applications folder through a monitor on its
// worker thread, so an entry written a moment ago may not be known yet; wait
// for it a bounded time (no event loop is needed, the worker does the work).
GDesktopAppInfo *lookUp(const QString &desktopId, bool justWritten)
{
    const QByteArray id = desktopId.toUtf8();
    GDesktopAppInfo *info = g_desktop_app_info_new(id.constData());
    for (int waited = 0; !info && justWritten && waited < 3000; waited += 10) {
        QThread::msleep(10);
        info = g_desktop_app_info_new(id.constData());
    }
    return info;
}

QString writeFile(const QString &path, const QByteArray &content)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return QStringLiteral("Cannot create the folder of ") + path;
    const QString error = WriteFileAtomically(path, content).error;
    return error.isEmpty() ? error : path + QStringLiteral(": ") + error;
}

QString removeFile(const QString &path)
{
    QFile file(path);
    if (file.exists() && !file.remove())
        return path + QStringLiteral(": ") + file.errorString();
    return QString();
}

QByteArray resource(const QString &name)
{
    QFile file(QStringLiteral(":/shell/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

GioDesktopAssociation::GioDesktopAssociation()
{
    initShellResources();
}

QString GioDesktopAssociation::entryPath() const
{
    return QString::fromUtf8(g_get_user_data_dir()) + QStringLiteral("/applications/") + programEntryId();
}

QString GioDesktopAssociation::iconPath() const
{
    return QString::fromUtf8(g_get_user_data_dir()) + QStringLiteral("/icons/hicolor/scalable/apps/quillet.svg");
}

QString GioDesktopAssociation::execLine(const QString &programPath)
{
    // A plain path stays unquoted: xdg-utils takes the first word of Exec as
    // it stands when it checks that the program exists.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool plain =
        std::none_of(programPath.begin(), programPath.end(), [](QChar c) { return reserved.contains(c); });
    if (plain)
        return QString(programPath).replace(u'%', QStringLiteral("%%")) + QStringLiteral(" %f");
    // Inside a quoted argument ", `, $ and \ take a backslash; the key file's
    // own string escaping then doubles every backslash once more.
    QString quoted;
    for (const QChar c : programPath) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted.replace(u'%', QStringLiteral("%%"));
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'\n', QStringLiteral("\\n"));
    return u'"' + quoted + QStringLiteral("\" %f");
}

QString GioDesktopAssociation::defaultApplication(const QString &mimeType)
{
    GAppInfo *info = g_app_info_get_default_for_type(mimeType.toUtf8().constData(), FALSE);
    if (!info)
        return QString();
    const QString id = QString::fromUtf8(g_app_info_get_id(info));
    g_object_unref(info);
    return id;
}

bool GioDesktopAssociation::hasApplication(const QString &desktopId)
{
    GDesktopAppInfo *info = lookUp(desktopId, false);
    if (info)
        g_object_unref(info);
    return info != nullptr;
}

QString GioDesktopAssociation::installEntry(const QString &programPath)
{
    // The shipped entry, started through the running program's own path.
    QStringList lines = QString::fromUtf8(resource(QStringLiteral("quillet.desktop"))).split(u'\n');
    for (QString &line : lines) {
        if (line.startsWith(QStringLiteral("Exec=")))
            line = QStringLiteral("Exec=") + execLine(programPath);
    }
    QString error = writeFile(entryPath(), lines.join(u'\n').toUtf8());
    if (error.isEmpty())
        error = writeFile(iconPath(), resource(QStringLiteral("quillet.svg")));
    return error;
}

QString GioDesktopAssociation::removeEntry()
{
    const QString error = removeFile(entryPath());
    return error.isEmpty() ? removeFile(iconPath()) : error;
}

QString GioDesktopAssociation::setDefaultApplication(const QString &mimeType, const QString &desktopId)
{
    GDesktopAppInfo *info = lookUp(desktopId, desktopId == programEntryId());
    if (!info)
        return QStringLiteral("No application ") + desktopId;
    GError *error = nullptr;
    const bool done = g_app_info_set_as_default_for_type(G_APP_INFO(info), mimeType.toUtf8().constData(), &error);
    g_object_unref(info);
    return done ? QString() : takeError(error);
}

QString GioDesktopAssociation::resetDefault(const QString &mimeType)
{
    g_app_info_reset_type_associations(mimeType.toUtf8().constData());
    return QString();
}
