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

enum class TrashOutcome {
    Trashed,  // gone from its place, and the trash can put it back
    Refused,  // the trash cannot take it (none on its file system, no room
              // for its record); the file is where it was
    NotMoved, // no such file, or it could not be moved
};

// Puts file into the desktop's trash. A file the trash took without a
// complete record of where it came from (a full disk) could never be
// restored: it is put back and counts as Refused.
TrashOutcome MoveToTrash(const QString &file);
