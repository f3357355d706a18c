#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Finds the folder that holds the settings file, the history files and the
// shipped pages. A build tree or a portable copy keeps everything beside the
// executable; an installed copy (its pages under the prefix's share/quillet)
// or a copy in a read-only folder works in the user's data folder instead,
// seeded with the shipped pages it lacks. QUILLET_HOME names the folder
// outright, and is seeded the same way.
class ProgramFolder
{
public:
    using WritableCheck = std::function<bool(const QString &folder)>;

    // executableFolder: where the program file lies; homeOverride: the value
    // of QUILLET_HOME (empty when unset); fallbackFolder: the user's data
    // folder. isWritable defaults to a real probe of the folder.
    ProgramFolder(QString executableFolder, QString homeOverride, QString fallbackFolder,
                  WritableCheck isWritable = {});

    // Built from the running program and its environment.
    static ProgramFolder fromEnvironment();

    // The resolved folder, without a trailing "/" (the root stays "/"). The
    // first call creates the folder when needed and seeds a fallback or empty home folder.
    QString path();
    // path() + "/" + name.
    QString filePath(const QString &name);
    // The registry store: "registry.ini" in configFolder, or in the program
    // folder when QUILLET_HOME names it.
    QString registryPath(const QString &configFolder);

    // Shipped files copied into the fallback or home folder so far (for reporting).
    QStringList seededFiles() const { return m_seeded; }

    // The shipped data files, by name pattern.
    static QStringList shippedPatterns();

private:
    QString resolve();
    // The shipped data of an installed copy (prefix/share/quillet beside
    // prefix/bin); "" for a build tree or a portable copy.
    QString installedDataFolder() const;
    void seed(const QString &from, const QString &target);

    QString m_executableFolder;
    QString m_homeOverride;
    QString m_fallbackFolder;
    WritableCheck m_isWritable;
    QString m_resolved;
    QStringList m_seeded;
};
