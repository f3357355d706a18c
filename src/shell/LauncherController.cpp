#include "shell/LauncherController.h"

#include "marking/TMyStatusBar.h"
#include "shell/NativeHostManifests.h"
#include "support/AtomicFile.h"
#include "support/Dialogs.h"
#include "support/PathUtils.h"
#include "support/RegistryRoutines.h"
#include "window/AppState.h"
#include "window/CommandGuard.h"
#include "window/MainUi.h"

#include <QAction>
#include <QFileInfo>

const QString LauncherController::MenuExtKey =
    QStringLiteral("Software\\Microsoft\\Internet Explorer\\MenuExt\\Copy to Quillet...");

LauncherController::LauncherController(AppState &state, MainUi &ui, Dialogs &dialogs, RegistryStore &registry,
                                       const NativeHostManifests &manifests, QObject *parent)
    : QObject(parent), m_state(state), m_ui(ui), m_dialogs(dialogs), m_registry(registry), m_manifests(manifests)
{
}

void LauncherController::connectCommands()
{
    connectCommand(m_ui.launchfromIEMI, this, m_dialogs, [this] { launchfromIEMIClick(); });
}

void LauncherController::createLauncher()
{
    if (!m_state.FirstRun)
        return;
    if (!WriteLaunchScript(m_state.ScriptHtmlPath, m_state.ExeName))
        m_dialogs.ShowErrorMsg(QStringLiteral("Scripting error. You will not be able to launch Quillet from within "
                                              "Internet Explorer. Please contact program vendor"));
    if (m_state.LaunchFromIE)
        InstallMenuExt();
}

bool LauncherController::WriteLaunchScript(const QString &path, const QString &programPath)
{
    if (QFileInfo::exists(path))
        return true;
    const QString program = ShortPathName(programPath).replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList lines = {
        QStringLiteral("<html>"),
        QStringLiteral("<head>"),
        QStringLiteral("</head>"),
        QStringLiteral("<body>"),
        QStringLiteral("<script>"),
        QStringLiteral("var ttl = external.menuArguments.document.title;"),
        QStringLiteral("var lnk = external.menuArguments.document.URL;"),
        QStringLiteral("ttl = ttl.replace(/ /g,\"_\");"),
        QStringLiteral("ttl = \"HEADER_IE2Quillet\" + ttl;"),
        QStringLiteral("external.menuArguments.document.execCommand(\"Copy\");"),
        QStringLiteral("var shell = new ActiveXObject(\"WScript.Shell\");"),
        QStringLiteral("shell.run(\"") + program + QStringLiteral(" \" + ttl + \" \" + lnk);"),
        QStringLiteral("</script>"),
        QStringLiteral("</body>"),
        QStringLiteral("</html>"),
    };
    return WriteFileAtomically(path, (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8()).ok();
}

void LauncherController::InstallMenuExt()
{
    const RegResult result =
        RegWriteStr(m_registry, RegRoot::HKEY_CURRENT_USER, MenuExtKey, QString(), m_state.ScriptHtmlPath, true);
    if (result != RegResult::Ok)
        m_dialogs.ShowErrorMsg(RegResultText(result));
    const QStringList failures = m_manifests.install();
    reportManifestFailures(failures);
    if (result == RegResult::Ok && failures.isEmpty())
        status(QStringLiteral("Launch from Internet Explorer enabled."));
}

void LauncherController::RemoveMenuExt()
{
    const RegResult result = RegKeyDelete(m_registry, RegRoot::HKEY_CURRENT_USER, MenuExtKey);
    if (result != RegResult::KeyDeleted)
        m_dialogs.ShowErrorMsg(RegResultText(result));
    const QStringList failures = m_manifests.remove();
    reportManifestFailures(failures);
    if (result == RegResult::KeyDeleted && failures.isEmpty())
        status(QStringLiteral("Launch from Internet Explorer disabled."));
}

void LauncherController::launchfromIEMIClick()
{
    if (m_state.LaunchFromIE)
        RemoveMenuExt();
    else
        InstallMenuExt();
    // The setting follows the click whatever the outcome.
    m_state.LaunchFromIE = !m_state.LaunchFromIE;
    m_ui.launchfromIEMI->setChecked(m_state.LaunchFromIE);
}

void LauncherController::status(const QString &text)
{
    m_ui.StB1->ShowStatusText(text);
}

void LauncherController::reportManifestFailures(const QStringList &failures)
{
    if (!failures.isEmpty())
        m_dialogs.ShowErrorMsg(QStringLiteral("The browsers' host files could not be changed:\n") +
                               failures.join(QLatin1Char('\n')));
}
