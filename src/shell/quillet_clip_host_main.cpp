#include "shell/NativeMessageHost.h"

#include <QCoreApplication>

// Started by a browser for the "Copy to Quillet..." extension; the browser's
// own arguments (the extension's origin or id) are not needed.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    NativeMessageHost host(QCoreApplication::applicationDirPath() + QStringLiteral("/quillet"));
    return host.run(stdin, stdout);
}
