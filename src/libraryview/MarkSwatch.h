#pragma once

#include <QIcon>
#include <QString>

// The colour of a mark as a small filled square with a frame, so that white
// and pale marks show too.
QIcon MarkSwatch(const QString &colour, int size = 14);
