#pragma once

#include "support/SystemUtils.h"

#include <QString>
#include <functional>
#include <optional>

class Dialogs;

// Appends to destination every byte of pieces that lies outside the script
// blocks found in scanned (a file with the same bytes as pieces, often the
// same file): from each "<SCRIPT" (any letter case, whatever follows it)
// through the next "</SCRIPT>" inclusive. The scan holds one block in memory
// and the pieces are copied by byte ranges, so any size is handled.
// Returns the number of blocks removed, or nullopt after warning that a block
// has no end (what was appended so far is then the caller's to discard).
std::optional<int> StripScriptBlocks(const QString &scanned, const QString &pieces, const QString &destination,
                                     Dialogs &dialogs, const Beeper &beep, std::function<void()> afterBlock = {});
