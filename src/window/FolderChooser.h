#pragma once

#include <QString>

// Asks the user for a folder (the location chooser).
class FolderChooser
{
public:
    virtual ~FolderChooser() = default;

    // Shows the chooser with caption, starting at startFolder; the accepted
    // folder, or "" when the user cancelled.
    virtual QString chooseFolder(const QString &caption, const QString &startFolder) = 0;
};
