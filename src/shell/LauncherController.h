#pragma once

#include <QObject>
#include <QString>

struct AppState;
struct MainUi;
class Dialogs;
class NativeHostManifests;
class RegistryStore;

// The browser's right-click launcher: the launcher script written on the
// first run, the menu entry's registry key together with the browsers'
// native-messaging host manifests, and the Options entry that turns them on
// and off.
class LauncherController : public QObject
{
    Q_OBJECT
public:
    static const QString MenuExtKey;

    LauncherController(AppState &state, MainUi &ui, Dialogs &dialogs, RegistryStore &registry,
                       const NativeHostManifests &manifests, QObject *parent = nullptr);

    void connectCommands();
    // The creation steps of the first run: the script, then the entry when
    // the setting asks for it.
    void createLauncher();

    // Writes the script for the program at programPath unless a file is
    // already there; false on an I/O error.
    static bool WriteLaunchScript(const QString &path, const QString &programPath);
    void InstallMenuExt();
    void RemoveMenuExt();
    void launchfromIEMIClick();

private:
    void status(const QString &text);
    // Reports manifests that could not be written or removed.
    void reportManifestFailures(const QStringList &failures);

    AppState &m_state;
    MainUi &m_ui;
    Dialogs &m_dialogs;
    RegistryStore &m_registry;
    const NativeHostManifests &m_manifests;
};
