#include "app/TMainF.h"
#include "browser/WebEngineBrowser.h"
#include "dialogs/QtDialogs.h"
#include "support/ProgramFolder.h"
#include "support/SystemDesktop.h"

#include <QApplication>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <unistd.h>

int main(int argc, char **argv)
{
    // Chromium refuses to start its sandbox as root.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    // The engine shares GL contexts with the widgets it is embedded in.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));

    ProgramFolder programFolder = ProgramFolder::fromEnvironment();
    const QString folder = programFolder.path();
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);

    QtDialogs dialogs(nullptr);
    SystemDesktop desktop(QProcessEnvironment::systemEnvironment(), QApplication::applicationFilePath());
    WebEngineBrowser browser(nullptr, folder, cache);
    TMainF window({dialogs, desktop, browser, folder, QApplication::applicationFilePath()});
    dialogs.setParentWidget(&window);
    window.show();
    window.FormActivate(QApplication::arguments());
    return QApplication::exec();
}
