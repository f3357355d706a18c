#pragma once

#include <QStringList>
#include <optional>

// "quillet --version" and "quillet --help" answer on the terminal and end the
// program. The text to print for such a command line; nullopt for every other
// command line, whose first argument keeps its meaning (a file to open).
std::optional<QString> terminalAnswer(const QStringList &arguments);

// The program's version, as its package knows it.
QString programVersion();
