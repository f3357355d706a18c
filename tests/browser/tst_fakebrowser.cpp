#include "FakeBrowser.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

// Flow tests of the whole program lean on this double behaving like a page
// load: these pin the order and timing they rely on.
class FakeBrowserTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void navigationIsQueuedAndOrdered();
    void manualCompletionLetsWaitersWait();
    void localPathsAndTitlesNameTheLocation_data();
    void localPathsAndTitlesNameTheLocation();
    void failuresThrowOnceOrPerOperation();
    void formattingNeedsDesignMode();
    void saveAsWritesTheDocument();
};

void FakeBrowserTest::navigationIsQueuedAndOrdered()
{
    FakeBrowser browser;
    browser.frames = {QStringLiteral("https://example.org/frame")};
    QStringList events;
    connect(&browser, &Browser::BeforeNavigate2, this,
            [&](const QString &url) { events << QStringLiteral("before ") + url; });
    connect(&browser, &Browser::NavigateComplete2, this,
            [&](const QString &url) { events << QStringLiteral("navigated ") + url; });
    connect(&browser, &Browser::DocumentComplete, this, [&](const QString &url, bool top) {
        events << (top ? u"complete "_qs : u"frame "_qs) + url + QString::number(browser.ReadyState());
    });
    QSignalSpy progress(&browser, &Browser::ProgressChange);

    QVERIFY(!browser.HasDocument());
    browser.Navigate(QStringLiteral("https://example.org/"));
    QVERIFY(browser.HasDocument());
    QCOMPARE(browser.ReadyState(), 1);
    QVERIFY(browser.Busy());
    QCOMPARE(events, QStringList{u"before https://example.org/"_qs});

    QSignalSpy complete(&browser, &Browser::DocumentComplete);
    QVERIFY(complete.wait(1000));
    QCOMPARE(events, (QStringList{u"before https://example.org/"_qs, u"navigated https://example.org/"_qs,
                                  u"navigated https://example.org/frame"_qs, u"frame https://example.org/frame1"_qs,
                                  u"complete https://example.org/4"_qs}));
    QCOMPARE(progress.last(), (QVariantList{100, 100}));
    QVERIFY(!browser.Busy());
    QCOMPARE(browser.LocationName(), u"https://example.org/"_qs);
}

void FakeBrowserTest::manualCompletionLetsWaitersWait()
{
    FakeBrowser browser;
    browser.autoComplete = false;
    browser.pages.insert(u"https://a.test/"_qs, u"<html><body>A</body></html>"_qs);
    browser.Navigate(u"https://a.test/"_qs);
    QSignalSpy complete(&browser, &Browser::DocumentComplete);
    QVERIFY(!complete.wait(50));
    QCOMPARE(browser.pendingAddress(), u"https://a.test/"_qs);
    browser.completeNavigation();
    QCOMPARE(complete.size(), 1);
    QCOMPARE(browser.documentHtml(), u"<html><body>A</body></html>"_qs);
    browser.completeNavigation(); // nothing pending: no second event
    QCOMPARE(complete.size(), 1);
}

void FakeBrowserTest::localPathsAndTitlesNameTheLocation_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("url");
    QTest::newRow("path") << u"/home/a/b c.mht"_qs << u"T"_qs << u"/home/a/b c.mht"_qs << u"file:///home/a/b c.mht"_qs;
    QTest::newRow("file url") << u"file:///home/a/b.mht"_qs << QString() << u"/home/a/b.mht"_qs
                              << u"file:///home/a/b.mht"_qs;
    QTest::newRow("titled") << u"https://x.test/"_qs << u"X page"_qs << u"X page"_qs << u"https://x.test/"_qs;
    QTest::newRow("untitled") << u"https://x.test/"_qs << QString() << u"https://x.test/"_qs << u"https://x.test/"_qs;
}

void FakeBrowserTest::localPathsAndTitlesNameTheLocation()
{
    QFETCH(QString, address);
    QFETCH(QString, title);
    FakeBrowser browser;
    browser.autoComplete = false;
    if (!title.isEmpty())
        browser.titles.insert(address, title);
    browser.Navigate(address);
    browser.completeNavigation();
    QTEST(browser.LocationName(), "name");
    QTEST(browser.LocationURL(), "url");
}

void FakeBrowserTest::failuresThrowOnceOrPerOperation()
{
    FakeBrowser browser;
    browser.failNext = u"boom"_qs;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, browser.documentHtml());
    QCOMPARE(browser.documentHtml(), browser.html);
    browser.failures.insert(u"execCommand"_qs, u"no"_qs);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, browser.execCommand(u"Bold"_qs));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, browser.execCommand(u"Bold"_qs));
    QVERIFY(browser.commands.isEmpty());
    QCOMPARE(browser.calls.count(u"execCommand"_qs), 2);
}

void FakeBrowserTest::formattingNeedsDesignMode()
{
    FakeBrowser browser;
    browser.html = u"<html><body><p>one two</p></body></html>"_qs;
    browser.selection = u"two"_qs;
    browser.execCommand(u"Bold"_qs);
    QCOMPARE(browser.html, u"<html><body><p>one two</p></body></html>"_qs);
    browser.setDesignMode(u"On"_qs);
    browser.execCommand(u"BackColor"_qs, 0x800000);
    QCOMPARE(browser.html, u"<html><body><p>one <span style=\"background-color: rgb(0, 0, 128);\">two</span></p>"
                           u"</body></html>"_qs);
    QCOMPARE(browser.commandNames(), (QStringList{u"Bold"_qs, u"BackColor"_qs}));
    browser.insertHtmlAtBodyEnd(u"<hr>"_qs);
    QVERIFY(browser.bodyOuterHtml().endsWith(u"<hr></body>"_qs));
}

void FakeBrowserTest::saveAsWritesTheDocument()
{
    QTemporaryDir dir;
    FakeBrowser browser;
    const QString path = dir.filePath(u"page.htm"_qs);
    browser.saveAs(path, Browser::SaveFormat::CompletePage);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), browser.html);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             browser.saveAs(dir.filePath(u"missing/page.htm"_qs), Browser::SaveFormat::HtmlOnly));
}

QTEST_MAIN(FakeBrowserTest)
#include "tst_fakebrowser.moc"
