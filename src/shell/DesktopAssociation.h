#pragma once

#include <QString>

// The desktop's record of which application opens a file type, and the
// program's own desktop entry beside the other applications. Every change
// returns "" on success or the reason it failed.
class DesktopAssociation
{
public:
    virtual ~DesktopAssociation() = default;

    // The id under which the program's own entry is installed.
    static QString programEntryId() { return QStringLiteral("quillet.desktop"); }

    // The desktop id of the application that opens the type now ("" when
    // none does).
    virtual QString defaultApplication(const QString &mimeType) = 0;
    virtual bool hasApplication(const QString &desktopId) = 0;

    // Installs the program's entry for the user, starting programPath with
    // the file to open.
    virtual QString installEntry(const QString &programPath) = 0;
    // Removes that entry again; an entry that is already gone is no failure.
    virtual QString removeEntry() = 0;
    virtual QString setDefaultApplication(const QString &mimeType, const QString &desktopId) = 0;
    // Takes back what setDefaultApplication() of the program's entry added
    // for the type, and nothing else of the user's choices: the entry is no
    // longer the default (previous is again, when given) nor associated.
    virtual QString giveBackDefault(const QString &mimeType, const QString &previous) = 0;
};
