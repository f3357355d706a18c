#include "window/CommandGuard.h"

#include "support/Dialogs.h"

#include <QAction>
#include <exception>

void runGuarded(Dialogs &dialogs, const std::function<void()> &command)
{
    try {
        command();
    } catch (const std::exception &error) {
        dialogs.ShowErrorMsg(QString::fromStdString(error.what()));
    }
}

void connectCommand(QAction *action, QObject *context, Dialogs &dialogs, std::function<void()> command)
{
    QObject::connect(action, &QAction::triggered, context,
                     [&dialogs, command = std::move(command)] { runGuarded(dialogs, command); });
}
