// What the program relies on in a Browser, run against the test double and
// the real engine alike, so that flow tests over the double hold for both.

#ifdef QUILLET_CONTRACT_ENGINE
#include "../engine/EnginePage.h"
#else
#include "FakeBrowser.h"
#endif

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <stdexcept>

namespace {

const QString Page = QStringLiteral("<!DOCTYPE html><html><head><title>Contract page</title></head><body>"
                                    "<p id=\"para\">Hello marked world</p><p>second paragraph</p></body></html>");

// The browser under test and what it takes to give it a page or a selection.
struct Subject
{
    QTemporaryDir dir;
#ifdef QUILLET_CONTRACT_ENGINE
    WebEngineBrowser browser{nullptr, dir.path(), dir.filePath(QStringLiteral("cache"))};
#else
    FakeBrowser browser;
#endif

    // Shows html: at address, or (address empty) from a local file; title is
    // the one the page declares. The address the browser was given.
    QString load(QString address, const QString &html, const QString &title)
    {
        if (address.isEmpty()) {
            address = dir.filePath(QStringLiteral("page.htm"));
            QFile file(address);
            if (!file.open(QIODevice::WriteOnly) || file.write(html.toUtf8()) < 0)
                return {};
        }
#ifndef QUILLET_CONTRACT_ENGINE
        browser.pages.insert(address, html);
        if (!title.isEmpty())
            browser.titles.insert(address, title);
#else
        Q_UNUSED(title)
#endif
        QSignalSpy complete(&browser, &Browser::DocumentComplete);
        browser.Navigate(address);
        while (complete.wait(15000)) {
            if (complete.last().at(1).toBool())
                return address;
        }
        return {};
    }

    // Selects the first occurrence of text in the first paragraph.
    void select(const QString &text)
    {
#ifdef QUILLET_CONTRACT_ENGINE
        EnginePage::runScript(browser, QStringLiteral("var t = document.getElementById('para').firstChild;"
                                                      " var at = t.data.indexOf('%1'); var r = document.createRange();"
                                                      " r.setStart(t, at); r.setEnd(t, at + %2);"
                                                      " getSelection().removeAllRanges(); getSelection().addRange(r);")
                                           .arg(text)
                                           .arg(text.size()));
#else
        browser.selection = text;
#endif
    }
};

} // namespace

class BrowserContractTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void loadsAndNamesThePage_data();
    void loadsAndNamesThePage();
    void formatsTheSelectionInDesignMode_data();
    void formatsTheSelectionInDesignMode();
    void findsText_data();
    void findsText();
    void selectsText_data();
    void selectsText();
    void insertsAndPastesAtBodyEnd();
    void savesIntoExistingFoldersOnly();

private:
    std::unique_ptr<Subject> m_subject;
};

void BrowserContractTest::initTestCase()
{
    m_subject = std::make_unique<Subject>();
    m_subject->browser.widget()->resize(800, 600);
    m_subject->browser.widget()->show();
    // Before any navigation there is no document, and its calls say so.
    Browser &browser = m_subject->browser;
    QVERIFY(!browser.HasDocument());
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, browser.documentHtml());
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, browser.execCommand(QStringLiteral("Bold")));
}

void BrowserContractTest::loadsAndNamesThePage_data()
{
    QTest::addColumn<QString>("address"); // "" for a local file (of Page)
    QTest::addColumn<QString>("title");   // the page's own; "" when untitled
    QTest::newRow("local file: its path") << QString() << QStringLiteral("Contract page");
    QTest::newRow("web page: its title") << u"data:text/html,<title>Data title</title><p>x"_qs << u"Data title"_qs;
    QTest::newRow("untitled web page: its address") << u"data:text/html,<p>untitled"_qs << QString();
    // Silent keeps the page's alert from blocking the load with a dialog.
    QTest::newRow("alerting page, silent") << u"data:text/html,<script>alert(1)</script><p>x"_qs << QString();
}

// A load reports before, navigated and complete, in that order, and is
// complete when the top-level document says so.
void BrowserContractTest::loadsAndNamesThePage()
{
    QFETCH(QString, address);
    QFETCH(QString, title);
    Browser &browser = m_subject->browser;
    browser.setSilent(true);
    QVERIFY(browser.Silent());
    QStringList events;
    QObject context;
    connect(&browser, &Browser::BeforeNavigate2, &context, [&] { events << QStringLiteral("before"); });
    connect(&browser, &Browser::NavigateComplete2, &context, [&] { events << QStringLiteral("navigated"); });
    connect(&browser, &Browser::DocumentComplete, &context, [&](const QString &, bool top) {
        if (top)
            events << QStringLiteral("complete %1").arg(browser.ReadyState());
    });
    connect(&browser, &Browser::BeforeNavigate2, &context, [&] {
        QVERIFY(browser.HasDocument());
        QVERIFY(browser.Busy());
        QVERIFY(browser.ReadyState() != 4);
    });

    const QString loaded = m_subject->load(address, address.isEmpty() ? Page : QString(), title);
    browser.setSilent(false);
    QVERIFY(!loaded.isEmpty());
    QCOMPARE(events.first(), QStringLiteral("before"));
    QCOMPARE(events.mid(events.size() - 2), (QStringList{QStringLiteral("navigated"), QStringLiteral("complete 4")}));
    QVERIFY(!browser.Busy());
    if (address.isEmpty()) {
        QCOMPARE(browser.LocationName(), loaded);
        QCOMPARE(browser.LocationURL(), QUrl::fromLocalFile(loaded).toString());
    } else {
        QCOMPARE(QUrl(browser.LocationURL()), QUrl(address));
        QCOMPARE(browser.LocationName(), title.isEmpty() ? browser.LocationURL() : title);
    }
}

void BrowserContractTest::formatsTheSelectionInDesignMode_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("red") << QStringLiteral("BackColor") << QVariant(255) << QStringLiteral("rgb(255, 0, 0)");
    QTest::newRow("navy") << QStringLiteral("BackColor") << QVariant(0x800000) << QStringLiteral("rgb(0, 0, 128)");
    QTest::newRow("bold") << QStringLiteral("Bold") << QVariant(0) << QStringLiteral("<b>marked</b>");
    QTest::newRow("italic") << QStringLiteral("Italic") << QVariant(0) << QStringLiteral("<i>marked</i>");
    QTest::newRow("underline") << QStringLiteral("Underline") << QVariant(0) << QStringLiteral("<u>marked</u>");
}

void BrowserContractTest::formatsTheSelectionInDesignMode()
{
    QFETCH(QString, command);
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    Browser &browser = m_subject->browser;
    QVERIFY(!m_subject->load(QString(), Page, QString()).isEmpty());
    m_subject->select(QStringLiteral("marked"));
    QCOMPARE(browser.selectionText(), QStringLiteral("marked"));

    // A read-only page ignores the command.
    const QString before = browser.documentHtml();
    browser.execCommand(command, value);
    QCOMPARE(browser.documentHtml(), before);

    browser.setDesignMode(QStringLiteral("On"));
    QCOMPARE(browser.designMode(), QStringLiteral("On"));
    const quint64 changes = browser.documentChanges();
    browser.execCommand(QStringLiteral("MultipleSelection"), 1);
    browser.execCommand(command, value);
    const QString html = browser.documentHtml();
    QVERIFY2(html.contains(expected), qPrintable(html));
    QVERIFY(browser.bodyOuterHtml().contains(expected));
    QTRY_VERIFY_WITH_TIMEOUT(browser.documentChanges() > changes, 5000);
    browser.setDesignMode(QStringLiteral("Off"));
    QCOMPARE(browser.designMode(), QStringLiteral("Off"));
}

void BrowserContractTest::findsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("backward");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("found");
    QTest::newRow("as written") << QStringLiteral("second paragraph") << false << false << true;
    QTest::newRow("other case, backward") << QStringLiteral("SECOND") << true << false << true;
    QTest::newRow("other case, case-sensitive") << QStringLiteral("SECOND") << false << true << false;
    QTest::newRow("absent") << QStringLiteral("nowhere in the page") << false << false << false;
}

void BrowserContractTest::findsText()
{
    QFETCH(QString, text);
    QFETCH(bool, backward);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, found);
    QVERIFY(!m_subject->load(QString(), Page, QString()).isEmpty());
    QCOMPARE(m_subject->browser.findText(text, backward, caseSensitive), found);
}

void BrowserContractTest::selectsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<QString>("selected"); // "" when there is no such place
    QTest::newRow("the first") << QStringLiteral("new york") << 0 << QStringLiteral("new york");
    QTest::newRow("white space counts on neither side") << QStringLiteral("newyork") << 1 << QStringLiteral("newyork");
    QTest::newRow("over formatting") << QStringLiteral("boldface") << 0 << QStringLiteral("boldface");
    QTest::newRow("past the last") << QStringLiteral("new york") << 2 << QString();
    QTest::newRow("script is no text") << QStringLiteral("hiddenword") << 0 << QString();
    QTest::newRow("the title is no text") << QStringLiteral("Pagetitle") << 0 << QString();
}

void BrowserContractTest::selectsText()
{
    QFETCH(QString, text);
    QFETCH(int, occurrence);
    QFETCH(QString, selected);
    Browser &browser = m_subject->browser;
    const QString page = QStringLiteral("<!DOCTYPE html><html><head><title>Page title</title></head><body>"
                                        "<p>new york</p><p>newyork and <b>bold</b>face</p>"
                                        "<script>var hiddenword = 1;</script></body></html>");
    QVERIFY(!m_subject->load(QString(), page, QString()).isEmpty());
    QCOMPARE(browser.selectText(text, occurrence), !selected.isEmpty());
    if (!selected.isEmpty())
        QCOMPARE(browser.selectionText(), selected);
}

void BrowserContractTest::insertsAndPastesAtBodyEnd()
{
    Browser &browser = m_subject->browser;
    QVERIFY(!m_subject->load(QString(), Page, QString()).isEmpty());
    browser.insertHtmlAtBodyEnd(
        QStringLiteral("<p id=\"added\">tail</p><script>document.body.setAttribute('data-ran', '1')</script>"));
    QString body = browser.bodyOuterHtml();
    QVERIFY2(body.contains(QStringLiteral("<p id=\"added\">tail</p>")), qPrintable(body));
    QVERIFY2(!body.contains(QStringLiteral("data-ran=\"1\"")), "inserted scripts must stay inert");

    // Plain text is pasted escaped, its line breaks kept.
    QGuiApplication::clipboard()->setText(QStringLiteral("a < b\nnext line"));
    browser.pasteAtBodyEnd();
    body = browser.bodyOuterHtml();
    QVERIFY2(body.endsWith(QStringLiteral("a &lt; b<br>next line</body>")), qPrintable(body));
}

void BrowserContractTest::savesIntoExistingFoldersOnly()
{
    Browser &browser = m_subject->browser;
    QVERIFY(!m_subject->load(QString(), Page, QString()).isEmpty());
    const QString missing = m_subject->dir.filePath(QStringLiteral("no/saved.htm"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, browser.saveAs(missing, Browser::SaveFormat::CompletePage));
    QVERIFY(!QFile::exists(missing));
    const QString target = m_subject->dir.filePath(QStringLiteral("saved.htm"));
    browser.saveAs(target, Browser::SaveFormat::HtmlOnly);
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().contains("second paragraph"));
}

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    BrowserContractTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_browsercontract.moc"
