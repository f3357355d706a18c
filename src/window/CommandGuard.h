#pragma once

#include <functional>

class Dialogs;
class QAction;
class QObject;

// Runs a command; an exception it throws is shown in the error dialog and
// the program carries on, as with any failed command.
void runGuarded(Dialogs &dialogs, const std::function<void()> &command);

// Connects action's trigger to command through runGuarded. A disabled action
// ignores its trigger, so enabled states guard every command.
void connectCommand(QAction *action, QObject *context, Dialogs &dialogs, std::function<void()> command);
