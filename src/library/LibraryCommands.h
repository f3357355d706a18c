#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The library's commands of quillet-archive: index, search and marks.
// Without --db they use the index of the program folder, the one the window uses.
class LibraryCommands
{
public:
    // The exit code of the command; none when name is no library command.
    static std::optional<int> run(const QString &name, const QStringList &args);
    // One usage line per command.
    static QStringList synopses();
};
