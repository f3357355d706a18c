#include "WebEngineBrowser.h"

#include "archive/MhtmlNormalizer.h"
#include "browser/BrowserPage.h"
#include "browser/ClipboardFragment.h"
#include "browser/CssColor.h"
#include "browser/DocumentEventBridge.h"
#include "browser/LocalFileGuard.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScopeGuard>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFindTextResult>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>

#include <functional>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

constexpr int SaveStartTimeoutMs = 10000;
constexpr int SaveTimeoutMs = 60000;
constexpr int PrintTimeoutMs = 300000;

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

// Starts an engine call that answers through a callback and waits for the
// answer in a bounded local loop; nullopt on time-out. An answer that comes
// after we gave up lands in the shared slot harmlessly. Like every wait for
// the engine here, the loop takes no user input: a click or key waits until
// the command that waits is done, instead of starting another inside it.
template <typename T>
std::optional<T> awaitAnswer(int timeoutMs, const std::function<void(std::function<void(T)>)> &start)
{
    struct Slot
    {
        std::optional<T> value;
        QEventLoop *loop = nullptr;
    };
    auto slot = std::make_shared<Slot>();
    start([slot](T value) {
        slot->value = std::move(value);
        if (slot->loop)
            slot->loop->quit();
    });
    if (!slot->value) {
        QEventLoop loop;
        slot->loop = &loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        slot->loop = nullptr;
    }
    return slot->value;
}

// A JavaScript string literal holding text, whatever it contains.
QString jsString(const QString &text)
{
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

bool isArchivePath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("mht") || suffix == QLatin1String("mhtml");
}

} // namespace

WebEngineBrowser::WebEngineBrowser(QWidget *parent, const QString &programFolder, const QString &cacheFolder)
    : Browser(parent), m_programFolder(programFolder), m_cacheFolder(cacheFolder)
{
    QDir().mkpath(m_cacheFolder);
    m_profile = new QWebEngineProfile(QStringLiteral("Quillet"), this);
    m_profile->setPersistentStoragePath(m_cacheFolder + QStringLiteral("/profile"));
    m_profile->setCachePath(m_cacheFolder + QStringLiteral("/cache"));
    // Switched off, the setting keeps a local page from showing even its own
    // pictures; the guard lets it show them, and read no file.
    m_profile->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    m_profile->setUrlRequestInterceptor(new LocalFileGuard(m_profile));

    m_view = new QWebEngineView(parent);
    m_page = new BrowserPage(m_profile, m_view);
    m_view->setPage(m_page);

    m_bridge = new DocumentEventBridge(this);
    m_channel = new QWebChannel(this);
    m_channel->registerObject(QStringLiteral("quilletEvents"), m_bridge);
    m_page->setWebChannel(m_channel, QWebEngineScript::ApplicationWorld);
    installBridgeScript();

    connect(m_bridge, &DocumentEventBridge::clicked, this, &Browser::DocumentClick);
    connect(m_bridge, &DocumentEventBridge::mousedOver, this, &Browser::DocumentMouseOver);
    connect(m_bridge, &DocumentEventBridge::documentChanged, this, [this] { ++m_documentChanges; });
    connect(m_page, &QWebEnginePage::loadStarted, this, &WebEngineBrowser::onLoadStarted);
    connect(m_page, &QWebEnginePage::loadFinished, this, &WebEngineBrowser::onLoadFinished);
    connect(m_page, &QWebEnginePage::loadProgress, this,
            [this](int progress) { Q_EMIT ProgressChange(progress, 100); });
    connect(m_page, &BrowserPage::navigationRequested, this, &WebEngineBrowser::onNavigationRequested);
    connect(m_view, &QWebEngineView::printFinished, this, [this] { m_printer.reset(); });
}

WebEngineBrowser::~WebEngineBrowser()
{
    // The page must go before its profile, which is deleted with this object.
    delete m_view;
}

void WebEngineBrowser::installBridgeScript()
{
    QFile channelLibrary(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    QFile bridge(QStringLiteral(":/quillet/document-bridge.js"));
    if (!channelLibrary.open(QIODevice::ReadOnly) || !bridge.open(QIODevice::ReadOnly)) {
        qWarning("The page bridge is missing: page clicks, mouse-overs and changes will not be reported");
        return;
    }
    QWebEngineScript script;
    script.setName(QStringLiteral("quillet-document-events"));
    script.setSourceCode(QString::fromUtf8(channelLibrary.readAll() + '\n' + bridge.readAll()));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    m_page->scripts().insert(script);
}

QWidget *WebEngineBrowser::widget()
{
    return m_view;
}

namespace {
// What any new file of the user gets: read and write for everyone, less the
// umask. Linux tells the mask without setting it; umask() would set it for
// every thread of the engine at once.
void giveNewFilePermissions(const QString &path)
{
#ifdef Q_OS_UNIX
    uint mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            bool ok = false;
            const uint read = line.startsWith("Umask:") ? line.mid(6).trimmed().toUInt(&ok, 8) : 0;
            if (ok)
                mask = read;
        }
    }
    ::chmod(QFile::encodeName(path).constData(), 0666 & ~mask);
#else
    Q_UNUSED(path)
#endif
}

QUrl addressUrl(const QString &address)
{
    // A path is a file whatever it holds: trimmed or read as user input, a
    // name with a trailing space, "#" or "?" would name another one.
    return QDir::isAbsolutePath(address) ? QUrl::fromLocalFile(address) : QUrl::fromUserInput(address.trimmed());
}
} // namespace

void WebEngineBrowser::Navigate(const QString &address)
{
    load(addressUrl(address));
}

void WebEngineBrowser::NavigateWithoutScripts(const QString &address)
{
    // Only the page's own scripts: ours run in their own world all the same.
    load(addressUrl(address), false);
}

void WebEngineBrowser::setPageScripts(bool enabled)
{
    if (!m_page)
        return;
    m_page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, enabled);
    // A local copy of a web page, shown without its scripts, still shows the
    // page's pictures from the web; with none of its scripts running it can
    // carry nothing local away. Every other local page stays off the web.
    m_page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, !enabled);
}

void WebEngineBrowser::load(const QUrl &url, bool pageScripts)
{
    if (!m_page)
        fail(QStringLiteral("The browser has been closed."));
    m_checkedUrl.clear();
    const QUrl target = engineUrl(url);
    // Checked just now: the engine's request for it is not checked again.
    if (target == url && url.isLocalFile() && isArchivePath(url.toLocalFile()))
        m_checkedUrl = url;
    setPageScripts(pageScripts);
    m_hasDocument = true;
    // Loading from now on, so a wait that starts right after this call cannot
    // mistake the previous document for the new one.
    m_readyState = 1;
    m_busy = true;
    m_page->load(target);
}

QUrl WebEngineBrowser::engineUrl(const QUrl &url)
{
    if (!url.isLocalFile() || !isArchivePath(url.toLocalFile()) || !QFileInfo::exists(url.toLocalFile()))
        return url;
    const QString path = url.toLocalFile();
    QString error;
    const QString ready = MhtmlNormalizer::engineReadyPath(path, m_cacheFolder + QStringLiteral("/archives"), &error);
    if (!error.isEmpty())
        fail(error);
    if (ready.isEmpty() || ready == path)
        return url;
    m_originalUrl = url;
    m_substituteUrl = QUrl::fromLocalFile(ready);
    return m_substituteUrl;
}

QUrl WebEngineBrowser::reportedUrl(const QUrl &url) const
{
    if (m_substituteUrl.isValid() && url.adjusted(QUrl::RemoveFragment) == m_substituteUrl)
        return m_originalUrl;
    return url;
}

QUrl WebEngineBrowser::currentUrl() const
{
    return m_page ? reportedUrl(m_page->url()) : QUrl();
}

void WebEngineBrowser::onNavigationRequested(const QUrl &url, bool isMainFrame, QUrl *redirect, bool followed)
{
    // A link followed from a page shown without scripts leads to an ordinary page.
    if (isMainFrame && followed)
        setPageScripts(true);
    // Only the request that follows our own load is spared the check.
    const bool checked = isMainFrame && url == m_checkedUrl;
    if (isMainFrame)
        m_checkedUrl.clear();
    if (isMainFrame && url.isLocalFile() && url != m_substituteUrl && !checked) {
        // A link to an archive the engine would refuse opens its copy, as
        // Navigate does. This runs inside the engine: never let it throw.
        QUrl target;
        try {
            target = engineUrl(url);
        } catch (const std::exception &error) {
            // An archive that cannot be read is not shown as an empty page:
            // the page stays, and the user learns why once the engine is done.
            *redirect = url;
            const QString reason = QString::fromStdString(error.what());
            QTimer::singleShot(0, this, [this, reason] { Q_EMIT NavigationRefused(reason); });
            return;
        }
        if (target != url) {
            *redirect = target;
            QTimer::singleShot(0, this, [this, target] {
                if (m_page)
                    m_page->load(target);
            });
            return;
        }
    }
    Q_EMIT BeforeNavigate2(reportedUrl(url).toString());
}

void WebEngineBrowser::onLoadStarted()
{
    ++m_documentChanges;
    m_readState.clear();
    m_readHtml.clear();
    m_readyState = 1;
    m_busy = true;
}

void WebEngineBrowser::onLoadFinished(bool)
{
    // A failed or stopped load still leaves a (possibly error) document.
    m_readyState = 4;
    m_busy = false;
    const QString url = LocationURL();
    Q_EMIT NavigateComplete2(url);
    Q_EMIT DocumentComplete(url, true);
}

void WebEngineBrowser::Stop()
{
    if (m_page)
        m_page->triggerAction(QWebEnginePage::Stop);
}

void WebEngineBrowser::GoHome()
{
    load(QUrl::fromLocalFile(m_programFolder + QStringLiteral("/bestpractice.htm")));
}

void WebEngineBrowser::GoSearch()
{
    load(QUrl(QStringLiteral("https://duckduckgo.com/")));
}

void WebEngineBrowser::Refresh()
{
    // Without a document there is nothing to reload, and no load would end.
    if (!m_page || !m_hasDocument)
        return;
    m_readyState = 1;
    m_busy = true;
    m_page->triggerAction(QWebEnginePage::ReloadAndBypassCache);
}

QString WebEngineBrowser::LocationName() const
{
    const QUrl url = currentUrl();
    if (url.isLocalFile())
        return QDir::toNativeSeparators(url.toLocalFile());
    const QString own = engineTitle();
    return own.isEmpty() ? url.toString() : own;
}

QString WebEngineBrowser::title() const
{
    // Asked of the document itself: the engine's copy follows a title its
    // scripts set only some time after the load, and stands in an address
    // for a missing one.
    if (!m_page || !m_hasDocument)
        return QString();
    return evaluate(QStringLiteral("return document.title;")).toString();
}

QString WebEngineBrowser::engineTitle() const
{
    const QString title = m_page ? m_page->title() : QString();
    const QString address = currentUrl().toString();
    // Without a <title> the engine names the page by (a piece of) its
    // address; real titles rarely are a space-free piece of it.
    const QString decoded = QUrl::fromPercentEncoding(address.toUtf8());
    const bool untitled = title.isEmpty() || title == address || title == decoded ||
                          (!title.contains(QLatin1Char(' ')) && decoded.contains(title));
    return untitled ? QString() : title;
}

QString WebEngineBrowser::LocationURL() const
{
    return currentUrl().toString();
}

bool WebEngineBrowser::Silent() const
{
    return m_page && m_page->silent();
}

void WebEngineBrowser::setSilent(bool silent)
{
    if (m_page)
        m_page->setSilent(silent);
}

void WebEngineBrowser::requireDocument() const
{
    if (!m_hasDocument || !m_page)
        fail(QStringLiteral("No document is loaded."));
}

QVariant WebEngineBrowser::evaluate(const QString &body, const std::function<void()> &meanwhile) const
{
    requireDocument();
    const QString script = QStringLiteral("(function () { try { return { ok: true, value: (function () { %1 })() }; }"
                                          " catch (e) { return { ok: false, error: String(e) }; } })()")
                               .arg(body);
    ++m_waits;
    const auto waited = qScopeGuard([this] { --m_waits; });
    const std::optional<QVariant> result =
        awaitAnswer<QVariant>(m_scriptTimeout, [this, &script, &meanwhile](std::function<void(QVariant)> deliver) {
            m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                  [deliver](const QVariant &value) { deliver(value); });
            if (meanwhile)
                meanwhile();
        });
    if (!result)
        fail(QStringLiteral("The page did not answer in time."));
    const QVariantMap answer = result->toMap();
    if (answer.value(QStringLiteral("ok")).toBool())
        return answer.value(QStringLiteral("value"));
    const QString error = answer.value(QStringLiteral("error")).toString();
    fail(error.isEmpty() ? QStringLiteral("The page could not run the command.")
                         : QStringLiteral("The page reported an error: %1").arg(error));
}

void WebEngineBrowser::setDesignMode(const QString &mode)
{
    const bool on = mode.compare(QLatin1String("On"), Qt::CaseInsensitive) == 0;
    evaluate(QStringLiteral("document.designMode = '%1'; return document.designMode;")
                 .arg(on ? QLatin1String("on") : QLatin1String("off")));
}

QString WebEngineBrowser::designMode() const
{
    const QString mode = evaluate(QStringLiteral("return document.designMode;")).toString();
    return mode.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0 ? QStringLiteral("On") : QStringLiteral("Off");
}

void WebEngineBrowser::execCommand(const QString &name, const QVariant &value)
{
    // Selections are always multiple-capable here; nothing to switch on.
    if (name.compare(QLatin1String("MultipleSelection"), Qt::CaseInsensitive) == 0) {
        requireDocument();
        return;
    }
    const bool back = name.compare(QLatin1String("BackColor"), Qt::CaseInsensitive) == 0;
    const bool fore = name.compare(QLatin1String("ForeColor"), Qt::CaseInsensitive) == 0;
    if (back || fore) {
        // With styleWithCSS the mark is a span holding exactly this colour.
        evaluate(QStringLiteral("document.execCommand('styleWithCSS', false, true);"
                                " try { return document.execCommand('%1', false, %2); }"
                                " finally { document.execCommand('styleWithCSS', false, false); }")
                     .arg(back ? QLatin1String("backColor") : QLatin1String("foreColor"),
                          jsString(CssColor::fromValue(value))));
        waitTillShown();
        return;
    }
    const QString command = jsString(name);
    const QString argument = value.isValid() ? jsString(value.toString()) : QStringLiteral("undefined");
    evaluate(QStringLiteral("if (!document.queryCommandSupported(%1))"
                            " throw new Error('the command ' + %1 + ' is not supported');"
                            " return document.execCommand(%1, false, %2);")
                 .arg(command, argument));
    waitTillShown();
}

void WebEngineBrowser::waitTillShown() const
{
    // The engine lays out and draws a change before it takes the next
    // script, and on a big page that takes longer than a save. Ending the
    // command there keeps that time with the change: the page shows it, and
    // the call that follows (a save, say) is answered at once.
    try {
        evaluate(QStringLiteral("return true;"));
    } catch (const std::runtime_error &) {
        // The change is made all the same; the next call waits in its turn.
    }
}

QString WebEngineBrowser::selectionText() const
{
    return evaluate(QStringLiteral("var s = window.getSelection(); return s ? s.toString() : '';")).toString();
}

QString WebEngineBrowser::documentHtml(const std::function<void()> &meanwhile) const
{
    // A page without the bridge (it could not be installed) is read whole.
    const QVariantList answer =
        evaluate(
            QStringLiteral("if (window.quilletReadDocument) return quilletReadDocument(%1);"
                           " var d = document.doctype, t = '';"
                           " if (d) t = '<!DOCTYPE ' + d.name + (d.publicId ? ' PUBLIC \"' + d.publicId + '\"' : '')"
                           " + (d.systemId ? (d.publicId ? '' : ' SYSTEM') + ' \"' + d.systemId + '\"' : '') + '>\\n';"
                           " return [null, t + (document.documentElement ? document.documentElement.outerHTML : '')];")
                .arg(m_readState.isEmpty() ? QStringLiteral("null") : jsString(m_readState)),
            meanwhile)
            .toList();
    if (answer.size() == 1 && !m_readState.isEmpty())
        return m_readHtml;
    QString html;
    if (answer.size() == 2) {
        html = answer.at(1).toString();
    } else if (answer.size() == 5) {
        const qsizetype offset = answer.at(1).toLongLong();
        const qsizetype removed = answer.at(2).toLongLong();
        const QString text = answer.at(3).toString();
        const qsizetype length = answer.at(4).toLongLong();
        // An answer that does not fit the held HTML is never applied: the
        // page is read whole instead.
        if (offset < 0 || removed < 0 || offset + removed > m_readHtml.size() ||
            m_readHtml.size() - removed + text.size() != length) {
            m_readState.clear();
            m_readHtml.clear();
            return documentHtml();
        }
        html = m_readHtml;
        html.replace(offset, removed, text);
    } else {
        fail(QStringLiteral("The page did not give its HTML."));
    }
    m_readState = answer.at(0).toString();
    m_readHtml = m_readState.isEmpty() ? QString() : html;
    return html;
}

QString WebEngineBrowser::bodyOuterHtml() const
{
    return evaluate(QStringLiteral("return document.body ? document.body.outerHTML : '';")).toString();
}

void WebEngineBrowser::insertHtmlAtBodyEnd(const QString &html)
{
    insertAtBodyEnd(html, false);
}

void WebEngineBrowser::insertAtBodyEnd(const QString &html, bool pasted)
{
    // Parsed through a template so that scripts in the inserted markup stay
    // inert. A pasted selection keeps its inline styles, but none of the
    // elements that act on the whole page (style sheets, base address, meta
    // data, title).
    evaluate(QStringLiteral("var body = document.body; if (!body) throw new Error('the document has no body');"
                            " var t = document.createElement('template'); t.innerHTML = %1;"
                            " if (%2) t.content.querySelectorAll('style, link, base, meta, title')"
                            ".forEach(function (e) { e.remove(); });"
                            " var r = document.createRange(); r.selectNodeContents(body); r.collapse(false);"
                            " r.insertNode(t.content); return true;")
                 .arg(jsString(html), pasted ? QStringLiteral("true") : QStringLiteral("false")));
    waitTillShown();
}

void WebEngineBrowser::pasteAtBodyEnd()
{
    // Pages may not read the clipboard themselves; we hand its content over.
    requireDocument();
    const QString fragment = ClipboardFragment::current();
    if (!fragment.isEmpty())
        insertAtBodyEnd(fragment, true);
}

bool WebEngineBrowser::findText(const QString &text, bool backward, bool caseSensitive)
{
    requireDocument();
    QWebEnginePage::FindFlags flags;
    if (backward)
        flags |= QWebEnginePage::FindBackward;
    if (caseSensitive)
        flags |= QWebEnginePage::FindCaseSensitively;
    // The engine takes the same text again as "find next" and never answers
    // when the case rule changed in between; a fresh search does answer.
    if (text == m_lastFindText && caseSensitive != m_lastFindCaseSensitive)
        m_page->findText(QString());
    m_lastFindText = text;
    m_lastFindCaseSensitive = caseSensitive;
    const std::optional<int> matches =
        awaitAnswer<int>(m_scriptTimeout, [this, &text, flags](std::function<void(int)> deliver) {
            m_page->findText(text, flags,
                             [deliver](const QWebEngineFindTextResult &result) { deliver(result.numberOfMatches()); });
        });
    if (!matches)
        fail(QStringLiteral("The search did not finish in time."));
    return !text.isEmpty() && *matches > 0;
}

bool WebEngineBrowser::selectText(const QString &text, int occurrence)
{
    // The page's text without white space, in pieces of its text nodes; the
    // place is looked up there and mapped back into the nodes.
    const bool found =
        evaluate(QStringLiteral(
                     "var wanted = %1.replace(/\\s+/g, ''), k = %2, root = document.documentElement;"
                     " if (!wanted || !root) return false;"
                     " var skip = { SCRIPT: 1, STYLE: 1, TITLE: 1 };"
                     " var walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT, { acceptNode: function (n) {"
                     "   for (var e = n.parentNode; e; e = e.parentNode) if (skip[e.nodeName]) return "
                     "NodeFilter.FILTER_REJECT;"
                     "   return NodeFilter.FILTER_ACCEPT; } });"
                     " var nodes = [], starts = [], text = '';"
                     " for (var n = walker.nextNode(); n; n = walker.nextNode()) {"
                     "   var piece = n.data.replace(/\\s+/g, ''); if (!piece) continue;"
                     "   nodes.push(n); starts.push(text.length); text += piece; }"
                     " var at = -1;"
                     " for (var i = 0; i <= k; ++i) { at = text.indexOf(wanted, at + 1); if (at < 0) return false; }"
                     " function locate(pos) {"
                     "   var lo = 0, hi = starts.length - 1;"
                     "   while (lo < hi) { var mid = (lo + hi + 1) >> 1; if (starts[mid] <= pos) lo = mid; else hi = "
                     "mid - 1; }"
                     "   var data = nodes[lo].data, left = pos - starts[lo];"
                     "   for (var j = 0; j < data.length; ++j) if (!/\\s/.test(data[j]) && left-- === 0) return "
                     "[nodes[lo], j];"
                     " }"
                     " var a = locate(at), b = locate(at + wanted.length - 1), r = document.createRange();"
                     " r.setStart(a[0], a[1]); r.setEnd(b[0], b[1] + 1);"
                     " var s = window.getSelection(); s.removeAllRanges(); s.addRange(r);"
                     " if (a[0].parentElement) a[0].parentElement.scrollIntoView({ block: 'center' });"
                     " return true;")
                     .arg(jsString(text), QString::number(occurrence)))
            .toBool();
    waitTillShown();
    return found;
}

void WebEngineBrowser::print(bool withDialog)
{
    requireDocument();
    if (m_printer)
        fail(QStringLiteral("The page is still being printed."));
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (withDialog) {
        QPrintDialog dialog(printer.get(), m_view);
        if (dialog.exec() != QDialog::Accepted)
            return;
    } else if (QPrinterInfo::defaultPrinter().isNull()) {
        fail(QStringLiteral("No printer is available."));
    }
    m_printer = std::move(printer);
    bool finished = false;
    bool success = false;
    QEventLoop loop;
    connect(m_view, &QWebEngineView::printFinished, &loop, [&](bool ok) {
        finished = true;
        success = ok;
        loop.quit();
    });
    m_view->print(m_printer.get());
    if (!finished) {
        QTimer::singleShot(PrintTimeoutMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // On a time-out the printer stays alive until the engine is done with it.
    if (!finished)
        fail(QStringLiteral("Printing did not finish in time."));
    if (!success)
        fail(QStringLiteral("The page could not be printed."));
}

void WebEngineBrowser::saveAs(const QString &path, SaveFormat format)
{
    requireDocument();
    const QFileInfo target(path);
    // The engine's archive writer crashes when the folder is missing.
    if (!target.absoluteDir().exists())
        fail(QStringLiteral("The folder does not exist: %1").arg(QDir::toNativeSeparators(target.absolutePath())));
    // Given a page that came from an archive, the engine either copies the
    // original file (losing every change made since) or writes nothing at all.
    if (m_page->url().isLocalFile() && isArchivePath(m_page->url().toLocalFile()))
        fail(QStringLiteral("The browser cannot save a page that was opened from an archive; use Save instead."));

    QPointer<QWebEngineDownloadRequest> request;
    QEventLoop loop;
    connect(m_profile, &QWebEngineProfile::downloadRequested, &loop, [&](QWebEngineDownloadRequest *item) {
        if (request || !item->isSavePageDownload())
            return;
        request = item;
        if (item->state() == QWebEngineDownloadRequest::DownloadRequested)
            item->accept();
        connect(item, &QWebEngineDownloadRequest::isFinishedChanged, &loop, &QEventLoop::quit);
        connect(item, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto engineFormat = format == SaveFormat::SingleFileArchive ? QWebEngineDownloadRequest::MimeHtmlSaveFormat
                              : format == SaveFormat::CompletePage ? QWebEngineDownloadRequest::CompleteHtmlSaveFormat
                                                                   : QWebEngineDownloadRequest::SingleHtmlSaveFormat;
    m_page->save(target.absoluteFilePath(), engineFormat);
    // The engine asks for the download first, then writes it.
    limit.start(SaveStartTimeoutMs);
    while (!request && limit.isActive())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!request)
        fail(QStringLiteral("The browser did not save the page."));
    limit.start(SaveTimeoutMs);
    while (request && !request->isFinished() && limit.isActive())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!request)
        fail(QStringLiteral("The browser did not save the page."));
    if (!request->isFinished()) {
        request->cancel();
        fail(QStringLiteral("Saving the page did not finish in time."));
    }
    if (request->state() != QWebEngineDownloadRequest::DownloadCompleted)
        fail(QStringLiteral("The page could not be saved: %1").arg(request->interruptReasonString()));
    // The engine writes owner-only, as it does its downloads.
    giveNewFilePermissions(target.absoluteFilePath());
    if (format == SaveFormat::CompletePage) {
        const QDir resources(target.absolutePath() + QLatin1Char('/') + target.completeBaseName() +
                             QStringLiteral("_files"));
        for (const QString &name : resources.entryList(QDir::Files))
            giveNewFilePermissions(resources.filePath(name));
    }
}

QString WebEngineBrowser::engineVersion() const
{
    return QStringLiteral("Qt WebEngine ") + QString::fromLatin1(qWebEngineVersion()) + QStringLiteral(" (Chromium ") +
           QString::fromLatin1(qWebEngineChromiumVersion()) + QLatin1Char(')');
}
