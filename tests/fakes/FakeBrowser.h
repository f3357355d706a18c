#pragma once

#include "browser/Browser.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QVariant>

#include <optional>

class QWidget;

// An in-memory document behind the Browser seam.
//
// Navigation: Navigate() logs the address, marks the document present, sets
// ReadyState 1 and Busy, and emits BeforeNavigate2 at once (synchronously).
// The rest of the load happens in completeNavigation(), which emits, in order:
// ProgressChange(50, 100), NavigateComplete2(url), for each entry of `frames`
// NavigateComplete2(frame) and DocumentComplete(frame, false), then sets
// ReadyState 4 and Busy false and emits ProgressChange(100, 100) and
// DocumentComplete(url, true). With `autoComplete` (the default) the
// completion is queued to the event loop, so code that waits for the page
// (a local loop polling ReadyState) sees it; with `autoComplete` false it
// waits until the test calls completeNavigation().
//
// A completed load takes its HTML from `pages` when the address is there,
// its title from `titles`; otherwise `html` stays as it was, so a test can set
// the document before navigating. How the page is named, and that document
// calls need a document, is the Browser contract (tst_browsercontract).
//
// Every operation is logged by name in `calls` and can be made to fail: a
// message in `failNext` makes the next operation throw std::runtime_error
// (once), an entry in `failures` (operation name -> message) makes that
// operation throw every time. Operation names are the member names:
// "Navigate", "NavigateWithoutScripts", "Stop", "GoHome", "GoSearch", "Refresh", "setSilent",
// "setDesignMode", "designMode", "execCommand", "selectionText",
// "documentHtml", "bodyOuterHtml", "insertHtmlAtBodyEnd", "pasteAtBodyEnd",
// "findText", "selectText", "print", "saveAs". Property reads (ReadyState, Busy,
// LocationName, LocationURL, Silent, HasDocument, documentChanges) never fail.
//
// documentChanges() grows whenever `html` differs from what it was at the
// previous call, however the test or a command changed it.
class FakeBrowser : public Browser
{
    Q_OBJECT
public:
    struct Command
    {
        QString name;
        QVariant value;
    };
    struct Find
    {
        QString text;
        bool backward = false;
        bool caseSensitive = false;
    };

    explicit FakeBrowser(QObject *parent = nullptr);
    ~FakeBrowser() override;

    // --- configuration and inspection (public on purpose) ---
    bool autoComplete = true;
    // The document: what documentHtml() returns and the commands change.
    QString html = QStringLiteral("<html><head></head><body></body></html>");
    QString selection;
    QString mode = QStringLiteral("Off");
    bool silent = false;
    QHash<QString, QString> pages;
    QHash<QString, QString> titles;
    QStringList frames;
    QString homeAddress = QStringLiteral("/quillet/bestpractice.htm");
    QString searchAddress = QStringLiteral("https://duckduckgo.com/");
    // Set directly to simulate any location; Navigate sets them on completion.
    QString locationName;
    QString locationUrl;
    int readyState = 0;
    bool busy = false;
    bool hasDocument = false;
    // When set, findText answers this instead of searching `html`.
    std::optional<bool> findResult;
    // saveAs writes documentHtml() to the path unless this is false.
    bool saveAsWrites = true;
    QString engineVersionText = QStringLiteral("Fake engine 1.0");

    // Runs inside documentHtml(), where the engine's wait lets timers fire.
    std::function<void()> duringRead;
    mutable QString failNext;
    QHash<QString, QString> failures;

    mutable QStringList calls;
    QStringList navigations; // every address loaded: Navigate, GoHome, GoSearch
    QList<Command> commands;
    QList<Find> finds;
    // Each selectText: the text and the occurrence asked for.
    QList<QPair<QString, int>> selectedTexts;
    QList<bool> prints; // withDialog of each print
    QStringList savedAs;
    QList<SaveFormat> savedFormats;
    QStringList insertedHtml; // by insertHtmlAtBodyEnd and pasteAtBodyEnd

    // The address whose load is pending, empty when none.
    QString pendingAddress() const { return m_pending; }
    // Finishes the pending load (see above); does nothing when none is pending.
    void completeNavigation();
    // The page's own events, as the user would cause them.
    void emitClick(const QString &tagName, const QString &href = {});
    void emitMouseOver(const QString &tagName, const QString &href = {});
    QStringList commandNames() const;

    // --- Browser ---
    QWidget *widget() override;
    void Navigate(const QString &address) override;
    void NavigateWithoutScripts(const QString &address) override;
    int ReadyState() const override { return readyState; }
    bool Busy() const override { return busy; }
    void Stop() override;
    void GoHome() override;
    void GoSearch() override;
    void Refresh() override;
    QString LocationName() const override { return locationName; }
    QString LocationURL() const override { return locationUrl; }
    bool Silent() const override { return silent; }
    void setSilent(bool value) override;
    bool HasDocument() const override { return hasDocument; }
    void setDesignMode(const QString &value) override;
    QString designMode() const override;
    void execCommand(const QString &name, const QVariant &value = {}) override;
    QString selectionText() const override;
    // Runs meanwhile, then answers.
    QString documentHtml(const std::function<void()> &meanwhile = {}) const override;
    quint64 documentChanges() const override;
    QString bodyOuterHtml() const override;
    void insertHtmlAtBodyEnd(const QString &fragment) override;
    void pasteAtBodyEnd() override;
    bool findText(const QString &text, bool backward, bool caseSensitive) override;
    // Looks in `html` without its tags; a place found becomes `selection`.
    bool selectText(const QString &text, int occurrence) override;
    void print(bool withDialog) override;
    void saveAs(const QString &path, SaveFormat format) override;
    QString engineVersion() const override { return engineVersionText; }

private:
    // Logs the call and throws when it is set to fail; const so that the
    // reading operations can fail too.
    void enter(const QString &operation) const;
    void begin(const QString &address);
    void wrapSelection(const QString &open, const QString &close);

    QString m_pending;
    QString m_address; // the address of the current or loading document
    int m_generation = 0;
    mutable QString m_countedHtml;
    mutable quint64 m_changes = 0;
    QPointer<QWidget> m_widget;
};
