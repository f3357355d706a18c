#pragma once

#include <QString>
#include <QStringList>

// Asks the user for the folder and the title of an archive (the Save-to
// dialog). The save flows depend on this seam, so they can be tested without
// showing the dialog.
class SaveToChooser
{
public:
    struct Request
    {
        // "Save to..." or "Rename to...".
        QString caption;
        // Proposed title; setting it runs the dialog's forbidden-character check.
        QString title;
        // The folder history, newest first; nothing is selected.
        QStringList folders;
        // The folder the dialog starts in.
        QString startFolder;
    };

    // The message the clipboard page shows while it builds and saves a page.
    static inline const QString AutoSavingText = QStringLiteral("Auto saving...");

    virtual ~SaveToChooser() = default;

    // Shows the dialog modally. True when it ended with Save: folder and name
    // then hold its SaveToFolder and SaveToName.
    virtual bool choose(const Request &request, QString &folder, QString &name) = 0;
    // Starts the dialog's timer, which about a second later closes the
    // "Auto saving..." message that is up then.
    virtual void startTimer1() = 0;
};
