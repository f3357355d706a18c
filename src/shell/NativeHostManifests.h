#pragma once

#include <QString>
#include <QStringList>

// The per-user native-messaging host manifests that let the browser extension
// shipped with the program reach quillet-clip-host: one for Chromium, one for
// Google Chrome, one for Firefox. Writing them is what installing the
// browser's menu entry means here; removing them takes it away again.
class NativeHostManifests
{
public:
    // The host's name as the extension asks for it.
    static const QString HostName;
    // The extension's identities: Chromium-family browsers derive the id from
    // the key in its manifest, Firefox reads it from the manifest.
    static const QString ChromiumExtensionId;
    static const QString FirefoxExtensionId;

    // configHome: the XDG config folder (Chromium, Chrome); home: the home
    // folder (Firefox); hostPath: the absolute path of quillet-clip-host.
    NativeHostManifests(QString configHome, QString home, QString hostPath);

    // Chromium, Google Chrome, Firefox.
    QStringList manifestPaths() const;
    // The manifest's bytes for the browser at that index of manifestPaths().
    QByteArray manifest(int browser) const;

    // Writes every manifest (creating the folders); the paths that could not
    // be written, with the reason, as "path: reason".
    QStringList install() const;
    // Removes every manifest; a missing one is fine. The failures as above.
    QStringList remove() const;

private:
    QString m_configHome;
    QString m_home;
    QString m_hostPath;
};
