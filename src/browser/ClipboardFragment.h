#pragma once

#include <QString>

class QMimeData;

// What "paste" puts into a page: the clipboard's HTML when it has some,
// otherwise its plain text, escaped and with line breaks kept.
class ClipboardFragment
{
public:
    static QString fromMimeData(const QMimeData *data);
    // The application clipboard's current content.
    static QString current();
};
