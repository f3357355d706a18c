#pragma once

#include <QString>
#include <functional>
#include <optional>

class Dialogs;

// Appends to destination every byte of source that lies outside its script
// blocks: from each "<SCRIPT" (any letter case, whatever follows it) through
// the next "</SCRIPT>" inclusive. The scan holds one block in memory and the
// kept bytes are written from that block, so any size is handled and the
// file is read once.
// Returns the number of blocks removed, or nullopt after a message saying
// that a block has no end or that destination cannot be written (what was
// appended so far is then the caller's to discard).
std::optional<int> StripScriptBlocks(const QString &source, const QString &destination, Dialogs &dialogs,
                                     std::function<void()> afterBlock = {});
