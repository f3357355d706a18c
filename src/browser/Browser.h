#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

class QWidget;

// What the program needs of a browser engine. Every call is synchronous: an
// implementation that has to wait for the engine does so in a bounded local
// event loop that takes no user input, so no command starts inside another.
// A call that fails (no document, script error, time-out) throws
// std::runtime_error with a message fit for the user.
class Browser : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~Browser() override = default;

    // The widget that shows the page; the main window lays it out.
    virtual QWidget *widget() = 0;

    // Starts loading and returns at once.
    virtual void Navigate(const QString &address) = 0;
    // The same for a page none of whose own scripts may run: no script
    // element, event-handler attribute or javascript: link. The program's
    // own calls (designMode, execCommand, reading the document) still work.
    // The next Navigate, or a link followed from the page, runs scripts again.
    virtual void NavigateWithoutScripts(const QString &address) = 0;
    // 4 once the top-level document is complete.
    virtual int ReadyState() const = 0;
    virtual bool Busy() const = 0;
    virtual void Stop() = 0;
    virtual void GoHome() = 0;
    virtual void GoSearch() = 0;
    // Full reload, bypassing caches.
    virtual void Refresh() = 0;
    // A local file's full path; otherwise the page title, or the address when
    // the page has none.
    virtual QString LocationName() const = 0;
    virtual QString LocationURL() const = 0;
    // The page's own title (its <title>); empty when it has none.
    virtual QString title() const = 0;

    virtual bool Silent() const = 0;
    virtual void setSilent(bool silent) = 0;

    // True as soon as a navigation has been requested.
    virtual bool HasDocument() const = 0;
    // True while a call waits for the engine's answer. A caller that can come
    // back later (a timer) leaves its call for then: nested inside the
    // waiting one, it would hold that one up until it was answered too.
    virtual bool isWaiting() const { return false; }

    // "On" or "Off".
    virtual void setDesignMode(const QString &mode) = 0;
    virtual QString designMode() const = 0;
    // The document's command names ("BackColor", "Bold", "Italic", "Underline",
    // "Removeformat", "MultipleSelection", "FontName", "FontSize", ...). A
    // "BackColor" value is an integer colour with red in the low byte. Returns
    // once the page shows the command's effect.
    virtual void execCommand(const QString &name, const QVariant &value = {}) = 0;

    virtual QString selectionText() const = 0;
    // Doctype plus the root element's outerHTML: the current state, marks
    // included. meanwhile, when given, runs while the engine serialises the
    // page, so that the caller's own work overlaps with the engine's.
    virtual QString documentHtml(const std::function<void()> &meanwhile = {}) const = 0;
    // A count that grows when the document's DOM changes; loading a document
    // counts as a change. Reading it costs nothing, so a caller can leave an
    // unchanged page unread: a change made after documentHtml() has read the
    // page raises the count, once the page has reported it.
    virtual quint64 documentChanges() const = 0;
    virtual QString bodyOuterHtml() const = 0;
    // Collapses a range to the end of the body and inserts html there;
    // returns once the page shows it.
    virtual void insertHtmlAtBodyEnd(const QString &html) = 0;
    // Pastes the clipboard's content at the end of the body. The pasted
    // markup cannot restyle or readdress the rest of the page: its style
    // sheets, links, base, meta and title elements are left out.
    virtual void pasteAtBodyEnd() = 0;

    // Highlights the next match; false when there is none.
    virtual bool findText(const QString &text, bool backward, bool caseSensitive) = 0;
    // Selects the place numbered occurrence (0 the first) where the page's
    // text reads text, and scrolls it into view; false when there is none.
    // White space counts on neither side, so a passage found in the text of
    // the page's HTML (where blocks break lines) is found in the page; the
    // contents of script, style and title elements are no text.
    virtual bool selectText(const QString &text, int occurrence) = 0;
    // Print with the print dialog, or straight to the default printer.
    virtual void print(bool withDialog) = 0;
    // The engine's page formats.
    enum class SaveFormat { SingleFileArchive, CompletePage, HtmlOnly };
    // The engine's own save of the page to path; returns once the file has
    // been written (bounded), with the permissions any new file of the user
    // gets. A folder that does not exist is refused.
    virtual void saveAs(const QString &path, SaveFormat format) = 0;
    // The engine's name and version, for the About box.
    virtual QString engineVersion() const = 0;

Q_SIGNALS:
    void BeforeNavigate2(const QString &url);
    void NavigateComplete2(const QString &url);
    // topLevel is false for frames.
    void DocumentComplete(const QString &url, bool topLevel);
    void ProgressChange(int progress, int progressMax);
    // The page's own click and mouse-over, with the source element's tag
    // (upper case) and its href attribute (empty when it has none).
    void DocumentClick(const QString &tagName, const QString &href);
    void DocumentMouseOver(const QString &tagName, const QString &href);
    // A navigation the page started itself (a link, a dropped file) to an
    // archive that cannot be shown did not happen; reason says why, as
    // Navigate's error does.
    void NavigationRefused(const QString &reason);
};
