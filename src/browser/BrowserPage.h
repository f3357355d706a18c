#pragma once

#include <QWebEnginePage>

// The page behind the view: reports navigation requests and keeps the page's
// own dialogs and console quiet when asked to.
class BrowserPage : public QWebEnginePage
{
    Q_OBJECT
public:
    BrowserPage(QWebEngineProfile *profile, QObject *parent);

    bool silent() const { return m_silent; }
    void setSilent(bool silent) { m_silent = silent; }

Q_SIGNALS:
    // Emitted before every navigation of the page or one of its frames;
    // followed when the page leads there (a link, a form, back or forward)
    // rather than a load, a reload or a redirect. Setting *redirect to a URL
    // cancels this navigation; the owner then loads that URL instead, or
    // nothing when it refuses the navigation.
    void navigationRequested(const QUrl &url, bool isMainFrame, QUrl *redirect, bool followed);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
                                  const QString &sourceID) override;

private:
    bool m_silent = false;
};
