#pragma once

#include "support/AtomicFile.h"
#include "support/Result.h"

#include <QString>

#include <functional>

class Browser;
class Dialogs;

// Turns the document shown in the browser into a file, marks included, and
// reports a save. Failures come back as results with a reason for the user;
// the calling flow decides how to say it.
class DocumentWriter
{
public:
    using StatusSink = std::function<void(const QString &)>;

    DocumentWriter(Browser &browser, Dialogs &dialogs) : m_browser(browser), m_dialogs(dialogs) {}

    // Writes fileName (".mht" or ".eml") as a web archive: the current HTML
    // as the root and every other part of sourceArchive, the local archive
    // the page was opened from (empty when none), with its location and its
    // headers kept; its Date too unless pageChanged (the page was edited).
    // Atomic: when it fails, an existing file is as it was.
    FileWriteResult SaveDocAsMht(const QString &fileName, const QString &sourceArchive = {}, bool pageChanged = true);
    // Writes the current HTML as UTF-8. Reports its own failures in a plain
    // message box and returns false, so the caller does not report a save.
    bool SaveDocAsHtml(const QString &fileName);
    // The document's current HTML, marks included; meanwhile runs while the
    // engine serialises the page.
    Result<QString> GetDocHtml(const std::function<void()> &meanwhile = {}) const;
    // Puts "File saved: <size> bytes (<fileName>)" through statusSink.
    void confsavedsize(const QString &fileName, const StatusSink &statusSink) const;

private:
    Browser &m_browser;
    Dialogs &m_dialogs;
};
