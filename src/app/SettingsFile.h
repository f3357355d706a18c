#pragma once

#include "support/AtomicFile.h"

#include <QString>

struct AppState;

// The settings file "quillet.ini" in the program folder: read once at start,
// written once at close, in their fixed key orders.
class SettingsFile
{
public:
    explicit SettingsFile(QString path) : m_path(std::move(path)) {}

    QString path() const { return m_path; }

    // Fills the settings part of state from the file; absent keys and values
    // that are no number read as their defaults. DefaultSaveFolder is taken as
    // stored (the caller applies the documents-folder fallback).
    void read(AppState &state) const;
    // Writes every key. When the file cannot be written the error is "Unable
    // to write to " + path and the reason on a second line, and the old file
    // stays as it was.
    FileWriteResult write(AppState &state) const;

private:
    QString m_path;
};
