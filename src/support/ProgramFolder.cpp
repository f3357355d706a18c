#include "support/ProgramFolder.h"

#include "support/PathUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// Asking the file system is the only reliable test: permission bits say
// nothing about read-only mounts, and root passes every bit check.
bool probeWritable(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(folder + QStringLiteral("/.quillet-probe-XXXXXX"));
    return probe.open();
}

} // namespace

ProgramFolder::ProgramFolder(QString executableFolder, QString homeOverride, QString fallbackFolder,
                             WritableCheck isWritable)
    : m_executableFolder(std::move(executableFolder)), m_homeOverride(std::move(homeOverride)),
      m_fallbackFolder(std::move(fallbackFolder)), m_isWritable(isWritable ? std::move(isWritable) : probeWritable)
{
}

ProgramFolder ProgramFolder::fromEnvironment()
{
    return ProgramFolder(QCoreApplication::applicationDirPath(), qEnvironmentVariable("QUILLET_HOME"),
                         QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QStringList ProgramFolder::shippedPatterns()
{
    return {QStringLiteral("*.mht"), QStringLiteral("*.htm"), QStringLiteral("*.html")};
}

QString ProgramFolder::path()
{
    if (m_resolved.isEmpty())
        m_resolved = resolve();
    return m_resolved;
}

QString ProgramFolder::filePath(const QString &name)
{
    const QString folder = path();
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString ProgramFolder::resolve()
{
    auto clean = [](const QString &folder) {
        QString p = QDir::cleanPath(folder);
        StripBackslash(p);
        return p;
    };
    const QString exeFolder = clean(m_executableFolder);
    // An installed copy keeps its pages under the prefix, not beside the
    // executable, and never works in the system's program folder, even when
    // it could write there (as root).
    const QString installed = installedDataFolder();
    if (!m_homeOverride.isEmpty()) {
        const QString home = clean(m_homeOverride);
        QDir().mkpath(home);
        // Home and the clipboard page need their pages, in a home in use too;
        // the user's own copies stay.
        if (home != exeFolder)
            seed(installed.isEmpty() ? exeFolder : installed, home);
        return home;
    }
    if (installed.isEmpty() && m_isWritable(exeFolder))
        return exeFolder;
    const QString fallback = clean(m_fallbackFolder);
    QDir().mkpath(fallback);
    seed(installed.isEmpty() ? exeFolder : installed, fallback);
    return fallback;
}

QString ProgramFolder::registryPath(const QString &configFolder)
{
    // A folder named outright keeps everything, the registry store too.
    return m_homeOverride.isEmpty() ? configFolder + QStringLiteral("/registry.ini")
                                    : filePath(QStringLiteral("registry.ini"));
}

QString ProgramFolder::installedDataFolder() const
{
    const QString folder = QDir::cleanPath(m_executableFolder + QStringLiteral("/../share/quillet"));
    return QDir(folder).entryList(shippedPatterns(), QDir::Files).isEmpty() ? QString() : folder;
}

void ProgramFolder::seed(const QString &from, const QString &target)
{
    // Only missing files are copied: the user's own edits of a page survive,
    // and a file shipped by a later version still arrives.
    const QDir source(from);
    const QStringList names = source.entryList(shippedPatterns(), QDir::Files);
    for (const QString &name : names) {
        const QString to = target + QLatin1Char('/') + name;
        if (QFileInfo::exists(to))
            continue;
        if (QFile::copy(source.filePath(name), to)) {
            QFile::setPermissions(to, QFile::permissions(to) | QFileDevice::WriteOwner);
            m_seeded << name;
        }
    }
}
