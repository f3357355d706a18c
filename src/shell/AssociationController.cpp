#include "shell/AssociationController.h"

#include "shell/DesktopAssociation.h"
#include "support/Dialogs.h"
#include "support/RegistryRoutines.h"
#include "window/AppState.h"

#include <QAction>

namespace {

constexpr RegRoot Classes = RegRoot::HKEY_CLASSES_ROOT;

// The desktop's previous opener, kept where a turn-off after a restart (or
// after the settings file was lost) still finds it.
constexpr RegRoot PreviousRoot = RegRoot::HKEY_CURRENT_USER;
const char16_t PreviousKey[] = u"Software\\Quillet\\Association";
const char16_t PreviousName[] = u"Previous default";

} // namespace

AssociationController::AssociationController(AppState &state, QAction &registerMhtMI, RegistryStore &registry,
                                             Dialogs &dialogs, DesktopAssociation &desktop, QObject *parent)
    : QObject(parent), m_state(state), m_registerMhtMI(registerMhtMI), m_registry(registry), m_dialogs(dialogs),
      m_desktop(desktop)
{
}

QString AssociationController::bkpregkey(const QString &key, const QString &name, bool &exit)
{
    exit = false;
    QString value;
    const RegResult status = RegReadStr(m_registry, Classes, key, name, value);
    if (status != RegResult::Ok && status != RegResult::KeyNotExist)
        exit = m_dialogs.AskYesNo(QStringLiteral("An error occurred during the backup of existing system data (") +
                                  RegResultText(status, name) + QStringLiteral("). Exit now?"));
    return value;
}

void AssociationController::registerMhtMIClick()
{
    const bool switched = m_state.RegisterMht ? turnOff() : turnOn();
    if (switched)
        m_state.RegisterMht = !m_state.RegisterMht;
    // The click itself toggled the check mark; it shows the state only.
    m_registerMhtMI.setChecked(m_state.RegisterMht);
}

bool AssociationController::turnOn()
{
    struct Backup
    {
        QString key;
        QString name;
        QString *target;
    };
    const Backup backups[] = {
        {QStringLiteral(".mht"), QString(), &m_state.BkpDotMhtDef},
        {QStringLiteral(".mht"), QStringLiteral("Content Type"), &m_state.BkpDotMhtCont},
        {QStringLiteral("mhtmlfile\\DefaultIcon"), QString(), &m_state.BkpIconDef},
        {QStringLiteral("mhtmlfile\\shell\\open\\command"), QString(), &m_state.BkpOpenDef},
    };
    for (const Backup &backup : backups) {
        bool exit = false;
        *backup.target = bkpregkey(backup.key, backup.name, exit);
        if (exit)
            return false;
    }

    const QString program = m_state.ExeName;
    const QString fatal = QStringLiteral("Fatal error: ");
    RegResult result =
        RegWriteStr(m_registry, Classes, QStringLiteral(".mht"), QString(), QStringLiteral("Quillet.file"), true);
    if (result != RegResult::Ok) {
        m_dialogs.ShowErrorMsg(fatal + RegResultText(result));
        return false;
    }
    result = RegWriteStr(m_registry, Classes, QStringLiteral("Quillet.file\\DefaultIcon"), QString(),
                         program + QStringLiteral(",0"), true);
    if (result != RegResult::Ok) {
        m_dialogs.ShowErrorMsg(fatal + RegResultText(result));
        return false;
    }
    result = RegWriteStr(m_registry, Classes, QStringLiteral("Quillet.file\\shell\\Open with Quillet\\command"),
                         QString(), program + QStringLiteral(" \"%1\""), true);
    if (result != RegResult::Ok) {
        m_dialogs.ShowErrorMsg(RegResultText(result));
        return false;
    }
    const QString desktopError = takeOverDesktop();
    if (!desktopError.isEmpty()) {
        m_dialogs.ShowErrorMsg(fatal + desktopError);
        return false;
    }
    m_dialogs.ShowMsg(QStringLiteral("Success! MHT files should open with Quillet from now on."));
    return true;
}

bool AssociationController::turnOff()
{
    // An empty backup writes an empty default value: the key stays.
    RegResult result = RegWriteStr(m_registry, Classes, QStringLiteral(".mht"), QString(), m_state.BkpDotMhtDef, true);
    if (result != RegResult::Ok) {
        m_dialogs.ShowErrorMsg(RegResultText(result));
        return false;
    }
    result = RegKeyDelete(m_registry, Classes, QStringLiteral("Quillet.file"));
    if (result != RegResult::KeyDeleted && result != RegResult::KeyNotExist) {
        m_dialogs.ShowErrorMsg(RegResultText(result));
        return false;
    }
    const QString desktopError = giveBackDesktop();
    if (!desktopError.isEmpty()) {
        m_dialogs.ShowErrorMsg(desktopError);
        return false;
    }
    m_dialogs.ShowMsg(QStringLiteral("Success! Old system data were used for reset"));
    return true;
}

QString AssociationController::takeOverDesktop()
{
    // Taking over twice must not remember the program itself as the opener
    // to go back to.
    const QString current = m_desktop.defaultApplication(mimeType());
    if (current != DesktopAssociation::programEntryId()) {
        const QString name = QString::fromUtf16(PreviousName);
        const RegResult result =
            RegWriteStr(m_registry, PreviousRoot, QString::fromUtf16(PreviousKey), name, current, true);
        if (result != RegResult::Ok)
            return RegResultText(result, name);
    }
    QString error = m_desktop.installEntry(m_state.ExeName);
    if (error.isEmpty())
        error = m_desktop.setDefaultApplication(mimeType(), DesktopAssociation::programEntryId());
    return error;
}

QString AssociationController::giveBackDesktop()
{
    QString previous;
    const QString name = QString::fromUtf16(PreviousName);
    const RegResult status = RegReadStr(m_registry, PreviousRoot, QString::fromUtf16(PreviousKey), name, previous);
    if (status != RegResult::Ok && status != RegResult::KeyNotExist)
        return RegResultText(status, name);
    // An opener uninstalled since counts as none.
    QString error = !previous.isEmpty() && m_desktop.hasApplication(previous)
                        ? m_desktop.setDefaultApplication(mimeType(), previous)
                        : m_desktop.resetDefault(mimeType());
    // Left behind, the entry would still offer the program as the opener.
    if (error.isEmpty())
        error = m_desktop.removeEntry();
    if (error.isEmpty()) {
        const RegResult result = RegKeyDelete(m_registry, PreviousRoot, QString::fromUtf16(PreviousKey));
        if (result != RegResult::KeyDeleted && result != RegResult::KeyNotExist)
            error = RegResultText(result);
    }
    return error;
}
