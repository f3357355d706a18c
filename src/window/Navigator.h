#pragma once

#include <QString>

// Opening files and waiting for pages, as the flows below the main window
// use them. The navigation controller implements it.
class Navigator
{
public:
    virtual ~Navigator() = default;

    // Opens a file the way the file-open history does: address box,
    // navigation, the wait, the histories, surf mode.
    virtual void startHitemclicked(const QString &file) = 0;
    // Processes events until the page is complete or the program is ending.
    virtual void wait_till_complete() = 0;
    // The browser's home page.
    virtual void homeBClick() = 0;
};
