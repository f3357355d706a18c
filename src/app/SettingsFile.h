#pragma once

#include "support/AtomicFile.h"

#include <QList>
#include <QString>

#include <optional>

struct AppState;

// The settings file "quillet.ini" in the program folder: read once at start,
// written once at close, in their fixed key orders.
//
// Several Quillets may run at once, and the last to close must not undo what
// the others changed: the close re-reads the file under its lock and writes a
// key only when this run changed it, when the file lacks it, or when the file
// still holds what it held at start (no other Quillet changed it since).
class SettingsFile
{
public:
    explicit SettingsFile(QString path) : m_path(std::move(path)) {}

    QString path() const { return m_path; }

    // Fills the settings part of state from the file; absent keys and values
    // that are no number read as their defaults. An empty DefaultSaveFolder
    // becomes documentsFolder; one trailing "/" is removed.
    void read(AppState &state, const QString &documentsFolder);
    // Writes the keys as above. When the file cannot be written the error is
    // "Unable to write to " + path and the reason on a second line, and the
    // old file stays as it was.
    FileWriteResult write(AppState &state) const;

private:
    struct Entry
    {
        QString section;
        QString key;
        QString value;
    };
    // What a close writes for state, in the write order.
    static QList<Entry> entries(const AppState &state);

    QString m_path;
    // Read at start: what this run would have written then, and what the
    // file held (none: the key was absent), in the order of entries().
    QList<QString> m_started;
    QList<std::optional<QString>> m_found;
};
