#pragma once

#include <QString>

// Moving and deleting the user's files as a file manager does: a move never
// replaces a file at its target, and a delete goes to the desktop's trash.

// Moves file to target. Refuses when target exists, unless both name the same
// file (a change of letter case on a file system that ignores it). Across
// file systems the file is copied, with its permissions and modification
// time, and the original is removed only once the copy is complete and on
// disk. On failure nothing has changed, false is returned and reason (when
// given) says why, in words fit for the user.
bool MoveFileNoReplace(const QString &file, const QString &target, QString *reason = nullptr);

// Puts file into the desktop's trash; where no trash can take it, removes it
// outright. True when the file is gone from its place.
bool DeleteToTrash(const QString &file);
