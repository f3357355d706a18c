#pragma once

#include "support/AtomicFile.h"
#include "support/Result.h"

#include <QString>

#include <functional>

class Browser;
class MhtmlArchive;
class Dialogs;
class QuotedPrintableMemo;

// Turns the document shown in the browser into a file, marks included, and
// reports a save. Failures come back as results with a reason for the user;
// the calling flow decides how to say it.
class DocumentWriter
{
public:
    using StatusSink = std::function<void(const QString &)>;

    // rootEncoding, when given, keeps the encoding of the HTML last written
    // from one save to the next, which then encodes only what changed.
    DocumentWriter(Browser &browser, Dialogs &dialogs, QuotedPrintableMemo *rootEncoding = nullptr)
        : m_browser(browser), m_dialogs(dialogs), m_rootEncoding(rootEncoding)
    {
    }

    // Writes fileName (".mht" or ".eml") as a web archive: the current HTML
    // as the root and every other part of sourceArchive, the local archive
    // the page was opened from (empty when none), with its location and its
    // headers kept; its Date too unless pageChanged (the page was edited).
    // Atomic: when it fails, an existing file is as it was.
    FileWriteResult SaveDocAsMht(const QString &fileName, const QString &sourceArchive = {}, bool pageChanged = true);
    // Writes fileName as a web archive of the current HTML that stands for
    // the page at location (the root's and the snapshot's location), with the
    // resources of resourceArchive (the engine's archive of the page shown):
    // its pictures and styles under their own addresses, nothing of its root
    // or its headers.
    FileWriteResult SaveDocAsMhtOf(const QString &fileName, const QString &location, const QString &resourceArchive);
    // Writes the current HTML as UTF-8. Reports its own failures in a plain
    // message box and returns false, so the caller does not report a save.
    bool SaveDocAsHtml(const QString &fileName);
    // The document's current HTML, marks included; meanwhile runs while the
    // engine serialises the page.
    Result<QString> GetDocHtml(const std::function<void()> &meanwhile = {}) const;
    // Puts "File saved: <size> bytes (<fileName>)" through statusSink.
    void confsavedsize(const QString &fileName, const StatusSink &statusSink) const;

private:
    FileWriteResult write(const QString &fileName, const MhtmlArchive &archive, bool pageChanged) const;

    Browser &m_browser;
    Dialogs &m_dialogs;
    QuotedPrintableMemo *m_rootEncoding;
};
