#pragma once

#include <QString>

// The desktop services the program uses: opening documents and addresses,
// the user's folders, the recently-used list and restarting itself.
// Implementations take their root folders from the environment so tests can
// point them at a temporary folder.
class Desktop
{
public:
    virtual ~Desktop() = default;

    // Opens a file or address with the desktop's default application; the
    // outcome is not examined.
    virtual void runDocument(const QString &fileOrUrl) = 0;
    // The user's documents folder, without a trailing "/"; "" when unknown.
    virtual QString documentsFolder() const = 0;
    // The folder that holds the recently-used list.
    virtual QString recentFolder() const = 0;
    // The local file most recently added to the recently-used list; "" when
    // there is none.
    virtual QString newestRecentEntry() const = 0;
    // Adds a file to the recently-used list; false when the list could not
    // be written.
    virtual bool addRecentFile(const QString &path) = 0;
    // Starts a new instance of the program with the file as its argument;
    // ending this instance is the caller's business.
    virtual bool restartWithFile(const QString &path) = 0;
    // The per-user data and configuration folders (XDG), where desktop
    // entries and MIME defaults live.
    virtual QString dataHome() const = 0;
    virtual QString configHome() const = 0;
    // The user's home folder, where browsers that do not follow XDG keep
    // their per-user files.
    virtual QString homeFolder() const = 0;
};
