#pragma once

#include <QObject>
#include <QString>

struct AppState;
class DesktopAssociation;
class Dialogs;
class QAction;
class RegistryStore;

// "Open MHT files with Quillet": makes the program the opener of ".mht"
// files, backing up the previous association first, or puts the previous
// one back. The registry values live in the registry store; on the desktop
// the switch is carried out through the desktop association.
class AssociationController : public QObject
{
    Q_OBJECT
public:
    AssociationController(AppState &state, QAction &registerMhtMI, RegistryStore &registry, Dialogs &dialogs,
                          DesktopAssociation &desktop, QObject *parent = nullptr);

    void registerMhtMIClick();
    // Reads one value for backup (empty when missing or unreadable). A read
    // that fails for another reason than a missing key asks whether to stop;
    // Yes sets exit.
    QString bkpregkey(const QString &key, const QString &name, bool &exit);

    // The archive type whose opener the switch changes.
    static QString mimeType() { return QStringLiteral("application/x-mimearchive"); }

private:
    bool turnOn();
    bool turnOff();
    // The desktop side of each path; "" or the reason it failed.
    QString takeOverDesktop();
    QString giveBackDesktop();

    AppState &m_state;
    QAction &m_registerMhtMI;
    RegistryStore &m_registry;
    Dialogs &m_dialogs;
    DesktopAssociation &m_desktop;
};
