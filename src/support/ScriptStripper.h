#pragma once

#include <QString>
#include <functional>
#include <optional>

class Dialogs;
class QIODevice;

// Writes to destination every byte of source that lies outside its script
// blocks: from each "<SCRIPT" (any letter case, whatever follows it) through
// the next "</SCRIPT>" inclusive. The scan holds one block in memory and the
// kept bytes are written from that block, so any size is handled and the
// file is read once.
// Returns the number of blocks removed, or nullopt after a message saying
// that source cannot be read, that a block has no end, or that destination
// cannot be written (what was written so far is then the caller's to
// discard). A write that fails throws std::runtime_error.
std::optional<int> StripScriptBlocks(const QString &source, QIODevice &destination, Dialogs &dialogs,
                                     std::function<void()> afterBlock = {});
// The same, appended to the file destination.
std::optional<int> StripScriptBlocks(const QString &source, const QString &destination, Dialogs &dialogs,
                                     std::function<void()> afterBlock = {});
