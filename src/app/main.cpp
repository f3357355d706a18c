#include "app/ShutdownSignals.h"
#include "app/TMainF.h"
#include "app/TerminalOptions.h"
#include "browser/WebEngineBrowser.h"
#include "dialogs/QtDialogs.h"
#include "shell/GioDesktopAssociation.h"
#include "shell/SystemDesktop.h"
#include "support/ChildProcessReaper.h"
#include "support/ProgramFolder.h"
#include "support/RegistryStore.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    // Answered before any window system is needed.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<QString> answer = terminalAnswer(arguments)) {
        std::fputs(answer->toLocal8Bit().constData(), stdout);
        return 0;
    }

    // While there is one thread: the engine's processes must not outlive a
    // killed program.
    ChildProcessReaper reaper;

    // Chromium refuses to start its sandbox as root.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    // The engine shares GL contexts with the widgets it is embedded in.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QApplication::setApplicationVersion(programVersion());
    // Ties the windows to the installed desktop entry in the task list.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillet"));
    Q_INIT_RESOURCE(shell);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/shell/quillet.svg")));

    ProgramFolder programFolder = ProgramFolder::fromEnvironment();
    const QString folder = programFolder.path();
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);

    // Before anything can ask: a signal during a start-up box ends the program too.
    ShutdownSignals shutdown;
    QtDialogs dialogs(nullptr);
    SystemDesktop desktop(QProcessEnvironment::systemEnvironment(), QApplication::applicationFilePath());
    RegistryStore registry(config + QStringLiteral("/registry.ini"));
    GioDesktopAssociation association;
    WebEngineBrowser browser(nullptr, folder, cache);
    TMainF window({dialogs, desktop, browser, folder, QApplication::applicationFilePath(), registry, association});
    dialogs.setParentWidget(&window);
    shutdown.attach(window);
    if (!shutdown.requested()) {
        window.show();
        window.FormActivate(QApplication::arguments());
    }
    return shutdown.exec();
}
