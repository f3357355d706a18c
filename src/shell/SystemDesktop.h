#pragma once

#include "support/Desktop.h"

#include <QProcessEnvironment>

// The real desktop: default applications through QDesktopServices, the XDG
// folders named by the given environment, and QProcess for restarting.
class SystemDesktop : public Desktop
{
public:
    // environment supplies HOME and the XDG_* variables; programPath is the
    // executable a restart starts.
    SystemDesktop(QProcessEnvironment environment, QString programPath);

    void runDocument(const QString &fileOrUrl) override;
    QString documentsFolder() const override;
    QString recentFolder() const override;
    QString newestRecentEntry() const override;
    bool addRecentFile(const QString &path) override;
    bool restartWithFile(const QString &path) override;
    QString dataHome() const override;
    QString configHome() const override;
    QString homeFolder() const override;

    // recentFolder() + "/recently-used.xbel".
    QString recentListPath() const;

private:
    // The XDG variable when it holds an absolute path, else HOME + fallback.
    QString xdgFolder(const QString &variable, const QString &fallback) const;

    QProcessEnvironment m_environment;
    QString m_programPath;
};
