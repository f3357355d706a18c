#pragma once

#include <QStringList>
#include <optional>

// "quillet --version" and "quillet --help" answer on the terminal and end the
// program; so does an option the program does not know, with the usage on
// stderr, as Linux programs do. Every other command line keeps its meaning
// (a file to open, or the launcher's title and address).
struct TerminalAnswer
{
    QString text;
    // 0: the text goes to stdout; otherwise to stderr, and this is the exit code.
    int exitCode = 0;
};

// The answer for such a command line; nullopt for every other one. An
// argument starting with "--" that names an existing file is that file.
std::optional<TerminalAnswer> terminalAnswer(const QStringList &arguments);

// The program's version, as its package knows it.
QString programVersion();
