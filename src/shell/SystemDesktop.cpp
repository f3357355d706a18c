#include "shell/SystemDesktop.h"

#include "support/PathUtils.h"
#include "support/RecentlyUsedList.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

SystemDesktop::SystemDesktop(QProcessEnvironment environment, QString programPath)
    : m_environment(std::move(environment)), m_programPath(std::move(programPath))
{
}

void SystemDesktop::runDocument(const QString &fileOrUrl)
{
    // A local path must not be read as a relative address.
    const QUrl url =
        fileOrUrl.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(fileOrUrl) : QUrl::fromUserInput(fileOrUrl);
    QDesktopServices::openUrl(url);
}

QString SystemDesktop::xdgFolder(const QString &variable, const QString &fallback) const
{
    QString folder = m_environment.value(variable);
    if (!folder.startsWith(QLatin1Char('/')))
        folder = homeFolder() + fallback;
    folder = QDir::cleanPath(folder);
    StripBackslash(folder);
    return folder;
}

QString SystemDesktop::documentsFolder() const
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    StripBackslash(folder);
    return folder;
}

QString SystemDesktop::dataHome() const
{
    return xdgFolder(QStringLiteral("XDG_DATA_HOME"), QStringLiteral("/.local/share"));
}

QString SystemDesktop::configHome() const
{
    return xdgFolder(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("/.config"));
}

QString SystemDesktop::homeFolder() const
{
    QString home = m_environment.value(QStringLiteral("HOME"));
    if (!home.startsWith(QLatin1Char('/')))
        home = QDir::homePath();
    home = QDir::cleanPath(home);
    StripBackslash(home);
    return home;
}

QString SystemDesktop::recentFolder() const
{
    return dataHome();
}

QString SystemDesktop::recentListPath() const
{
    return recentFolder() + QStringLiteral("/recently-used.xbel");
}

QString SystemDesktop::newestRecentEntry() const
{
    return RecentlyUsedList(recentListPath()).newest();
}

bool SystemDesktop::addRecentFile(const QString &path)
{
    if (!QDir().mkpath(recentFolder()))
        return false;
    const QString mimeType = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    const QString exec = QLatin1Char('\'') + QFileInfo(m_programPath).fileName() + QStringLiteral(" %u'");
    return RecentlyUsedList(recentListPath())
        .add(QFileInfo(path).absoluteFilePath(), mimeType, QStringLiteral("Quillet"), exec);
}

bool SystemDesktop::restartWithFile(const QString &path)
{
    return QProcess::startDetached(m_programPath, {path});
}
