#pragma once

#include "browser/Browser.h"

#include <QPointer>
#include <QUrl>

#include <memory>

class BrowserPage;
class DocumentEventBridge;
class QPrinter;
class QWebChannel;
class QWebEngineDownloadRequest;
class QWebEngineProfile;
class QWebEngineView;

// The Browser on Qt WebEngine. Every script of ours runs in the application
// world: pages opened from archives are sandboxed and their own scripts are
// blocked, and the page cannot see or tamper with ours.
class WebEngineBrowser : public Browser
{
    Q_OBJECT
public:
    // programFolder holds the home page; cacheFolder the engine's profile
    // storage and the copies of archives the engine could not open as they are.
    WebEngineBrowser(QWidget *parent, const QString &programFolder, const QString &cacheFolder);
    ~WebEngineBrowser() override;

    // How long a script of ours may take before the call gives up.
    void setScriptTimeout(int milliseconds) { m_scriptTimeout = milliseconds; }

    QWidget *widget() override;
    void Navigate(const QString &address) override;
    void NavigateWithoutScripts(const QString &address) override;
    int ReadyState() const override { return m_readyState; }
    bool Busy() const override { return m_busy; }
    void Stop() override;
    void GoHome() override;
    void GoSearch() override;
    void Refresh() override;
    QString LocationName() const override;
    QString LocationURL() const override;
    QString title() const override;
    bool Silent() const override;
    void setSilent(bool silent) override;
    bool HasDocument() const override { return m_hasDocument; }
    bool isWaiting() const override { return m_waits > 0; }
    void setDesignMode(const QString &mode) override;
    QString designMode() const override;
    void execCommand(const QString &name, const QVariant &value = {}) override;
    QString selectionText() const override;
    QString documentHtml(const std::function<void()> &meanwhile = {}) const override;
    quint64 documentChanges() const override { return m_documentChanges; }
    QString bodyOuterHtml() const override;
    void insertHtmlAtBodyEnd(const QString &html) override;
    void pasteAtBodyEnd() override;
    bool findText(const QString &text, bool backward, bool caseSensitive) override;
    bool selectText(const QString &text, int occurrence) override;
    void print(bool withDialog) override;
    void saveAs(const QString &path, SaveFormat format) override;
    QString engineVersion() const override;

private:
    void load(const QUrl &url, bool pageScripts = true);
    // The engine's title of the page, with the address it stands in for a
    // missing one taken out: quick enough for every caption.
    QString engineTitle() const;
    // The URL the engine should open for url: a normalised copy for an archive
    // it would refuse, url itself otherwise. Remembers the pair so that the
    // program keeps seeing the original.
    QUrl engineUrl(const QUrl &url);
    QUrl reportedUrl(const QUrl &url) const;
    QUrl currentUrl() const;

    // Runs body (a function body ending in a return) in the application world
    // and waits for its value; throws on a script error or time-out. meanwhile
    // runs once the script has been sent, before the wait.
    QVariant evaluate(const QString &body, const std::function<void()> &meanwhile = {}) const;
    void requireDocument() const;
    // Returns once the engine has shown what the last script changed.
    void waitTillShown() const;
    void insertAtBodyEnd(const QString &html, bool pasted);
    void installBridgeScript();

    void onLoadStarted();
    void onLoadFinished(bool ok);
    void onNavigationRequested(const QUrl &url, bool isMainFrame, QUrl *redirect, bool followed);
    // The page's own scripts, element attributes and javascript: links included.
    void setPageScripts(bool enabled);

    QString m_programFolder;
    QString m_cacheFolder;
    QWebEngineProfile *m_profile = nullptr; // child of this; outlives the page
    QPointer<QWebEngineView> m_view;
    QPointer<BrowserPage> m_page;
    QWebChannel *m_channel = nullptr;
    DocumentEventBridge *m_bridge = nullptr;
    std::unique_ptr<QPrinter> m_printer; // alive until the engine has printed

    int m_readyState = 0;
    bool m_busy = false;
    bool m_hasDocument = false;
    quint64 m_documentChanges = 0;
    // The last documentHtml() answer and the page's name for the state it
    // showed; an unchanged page is answered from here, a changed one by
    // applying the stretch the page says differs.
    mutable QString m_readState;
    mutable QString m_readHtml;
    int m_scriptTimeout = 5000;
    // Calls waiting for a script's answer, nested ones included.
    mutable int m_waits = 0;
    QString m_lastFindText;
    bool m_lastFindCaseSensitive = false;
    // An archive load() has checked and gives the engine as it stands.
    QUrl m_checkedUrl;
    // The archive the user opened and the copy the engine shows instead.
    QUrl m_originalUrl;
    QUrl m_substituteUrl;
};
