#include "ControllerFixture.h"
#include "TestFiles.h"
#include "saving/BrowserSaveController.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>

using TestFiles::readBytes;
using TestFiles::writeBytes;

namespace {

// The browser-save controller over the fixture, its commands connected, with
// a local page open in surf mode.
struct BrowserSaveFixture : ControllerFixture
{
    BrowserSaveController controller{state,   ui,    histories,  browser,  dialogs,
                                     desktop, modes, *navigator, archives, beep};

    BrowserSaveFixture()
    {
        controller.connectCommands();
        showPage(path(QStringLiteral("page.htm")), path(QStringLiteral("page.htm")), false);
    }

    QStringList temporaries(const QString &chosen) const
    {
        QStringList left;
        for (const QString &file : {chosen + QStringLiteral("__tmp0.htm"), path(QStringLiteral("fromzqtmp1.htm")),
                                    path(QStringLiteral("tozqtmp2.htm"))})
            if (QFileInfo::exists(file))
                left << file;
        return left;
    }
};
} // namespace

class TestBrowserSave : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void engineSaveWritesAndOpens_data();
    void engineSaveWritesAndOpens();
    void newestEntryRules_data();
    void newestEntryRules();
    void engineSaveRefusesAMissingFolder();
    void stripSaveWaysOut_data();
    void stripSaveWaysOut();
    void stripSaveIsNotReentered();
};

void TestBrowserSave::engineSaveWritesAndOpens_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<Browser::SaveFormat>("format");
    QTest::addColumn<bool>("open");
    QTest::newRow("archive, suffix added") << BrowserSaveController::archiveFilter() << QStringLiteral("a")
                                           << QStringLiteral("a.mht") << Browser::SaveFormat::SingleFileArchive << true;
    QTest::newRow("complete page") << BrowserSaveController::completePageFilter() << QStringLiteral("b.html")
                                   << QStringLiteral("b.html") << Browser::SaveFormat::CompletePage << true;
    QTest::newRow("HTML only, suffix added") << BrowserSaveController::htmlOnlyFilter() << QStringLiteral("c")
                                             << QStringLiteral("c.htm") << Browser::SaveFormat::HtmlOnly << true;
    QTest::newRow("hidden button only saves")
        << BrowserSaveController::archiveFilter() << QStringLiteral("d.mht") << QStringLiteral("d.mht")
        << Browser::SaveFormat::SingleFileArchive << false;
}

void TestBrowserSave::engineSaveWritesAndOpens()
{
    QFETCH(QString, filter);
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(Browser::SaveFormat, format);
    QFETCH(bool, open);
    BrowserSaveFixture f;
    f.dialogs.fileNames << f.saveFolder() + QLatin1Char('/') + chosen;
    f.dialogs.selectedFilters << filter;
    MainUi &ui = f.ui;
    (open ? ui.SaveAsIEMI : ui.SaveasIEB)->trigger();

    const QString target = f.saveFolder() + QLatin1Char('/') + written;
    QCOMPARE(f.dialogs.asked,
             QStringList{QStringLiteral("Save Web Page|") + f.saveFolder() + QStringLiteral("/page.mht")});
    QCOMPARE(f.browser.savedAs, QStringList{target});
    QCOMPARE(f.browser.savedFormats, QList<Browser::SaveFormat>{format});
    QCOMPARE(f.desktop.recentAdded, QStringList{target});
    QCOMPARE(f.dialogs.texts(), QStringList());
    QCOMPARE(f.inHistories(target), open);
    QCOMPARE(ui.URLs->text() == target, open);
}

void TestBrowserSave::newestEntryRules_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("beeps");
    QTest::newRow("no entry") << QString() << 0 << QString()
                              << QStringLiteral("Warning. Could not find most recent file!") << 1;
    QTest::newRow("missing file") << QStringLiteral("gone.mht") << 0 << QString()
                                  << QStringLiteral("Error. Could not find date of most recent file!") << 1;
    QTest::newRow("fresh file") << QStringLiteral("new.mht") << 5 << QStringLiteral("new.mht") << QString() << 0;
    QTest::newRow("older than 30 s") << QStringLiteral("old.mht") << 40 << QString() << QString() << 0;
    QTest::newRow("folder: its newest file")
        << QStringLiteral("dir") << 5 << QStringLiteral("dir/newer.mht") << QString() << 0;
}

void TestBrowserSave::newestEntryRules()
{
    QFETCH(QString, entry);
    QFETCH(int, ageSeconds);
    QFETCH(QString, opened);
    QFETCH(QString, status);
    QFETCH(int, beeps);
    BrowserSaveFixture f;
    const QDateTime now = QDateTime::currentDateTime();
    auto stamped = [&](const QString &file, int age) {
        QVERIFY(writeBytes(file, "x"));
        QFile handle(file);
        QVERIFY(handle.open(QIODevice::ReadWrite));
        QVERIFY(handle.setFileTime(now.addSecs(-age), QFileDevice::FileModificationTime));
    };
    if (entry == QStringLiteral("dir")) {
        QDir().mkpath(f.path(entry));
        stamped(f.path(QStringLiteral("dir/older.mht")), 100);
        stamped(f.path(QStringLiteral("dir/newer.mht")), ageSeconds);
    } else if (!entry.isEmpty() && entry != QStringLiteral("gone.mht")) {
        stamped(f.path(entry), ageSeconds);
    }
    f.desktop.newestRecent = entry.isEmpty() ? QString() : f.path(entry);
    // The user cancels the engine's dialog; the newest entry decides alone.
    f.controller.SaveAsIEMIClick();
    QCOMPARE(f.browser.savedAs, QStringList());
    QCOMPARE(f.ui.URLs->text(), opened.isEmpty() ? f.path(QStringLiteral("page.htm")) : f.path(opened));
    QCOMPARE(f.inHistories(f.path(opened)), !opened.isEmpty());
    if (status.isEmpty())
        QVERIFY(!f.status().contains(QStringLiteral("most recent file")));
    else
        QCOMPARE(f.status(), status);
    QCOMPARE(f.beeps, beeps);
}

void TestBrowserSave::engineSaveRefusesAMissingFolder()
{
    BrowserSaveFixture f;
    f.dialogs.fileNames << f.path(QStringLiteral("no/such/a.mht"));
    f.ui.SaveAsIEMI->trigger();
    QCOMPARE(f.browser.savedAs, QStringList());
    QCOMPARE(f.dialogs.texts(),
             QStringList{QStringLiteral("The folder does not exist: ") + f.path(QStringLiteral("no/such"))});
    QCOMPARE(f.desktop.recentAdded, QStringList());
}

void TestBrowserSave::stripSaveWaysOut_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("hasPage");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("status");
    QTest::newRow("cancelled") << QString() << true << QString() << QStringList() << QStringLiteral("Cancelled saving");
    QTest::newRow("no page") << QStringLiteral("p") << false << QString()
                             << QStringList{QStringLiteral("No page available!")} << QString();
    QTest::newRow("unterminated") << QStringLiteral("p") << true << QStringLiteral("<p>a</p><script>x<p>b</p>")
                                  << QStringList{QStringLiteral("End of script not found. Probably bad file")}
                                  << QStringLiteral("start removing");
    QTest::newRow("saved") << QStringLiteral("p.MHT") << true
                           << QStringLiteral("<p>a</p><script>x</script>\n<p>b</p><SCRIPT src=y></SCRIPT>")
                           << QStringList{QStringLiteral("Please wait and press ok after loading...")}
                           << QStringLiteral("File saved: ");
}

void TestBrowserSave::stripSaveWaysOut()
{
    QFETCH(QString, chosen);
    QFETCH(bool, hasPage);
    QFETCH(QString, body);
    QFETCH(QStringList, messages);
    QFETCH(QString, status);
    BrowserSaveFixture f;
    const QString chosenPath = chosen.isEmpty() ? QString() : f.saveFolder() + QLatin1Char('/') + chosen;
    f.dialogs.fileNames << chosenPath;
    f.browser.html = QStringLiteral("<html><head></head><body>") + body + QStringLiteral("</body></html>");
    if (!hasPage)
        f.browser.locationUrl.clear();
    // An interrupted run left its files behind.
    const QString temp = chosenPath + QStringLiteral("__tmp0.htm");
    QVERIFY(writeBytes(f.path(QStringLiteral("fromzqtmp1.htm")), "old source"));
    QVERIFY(writeBytes(f.path(QStringLiteral("tozqtmp2.htm")), "old pieces"));
    // What the browser is given to load is the stripped page.
    QByteArray loaded;
    connect(&f.browser, &Browser::BeforeNavigate2, &f.browser, [&](const QString &url) {
        if (url == temp)
            loaded = readBytes(temp);
    });

    f.ui.SavewhenIEfailsMI->trigger();

    QCOMPARE(f.dialogs.texts(), messages);
    QVERIFY(f.status().startsWith(status));
    const QString target = f.saveFolder() + QStringLiteral("/p.MHT");
    const bool saved = status.startsWith(QStringLiteral("File saved"));
    QCOMPARE(QFileInfo::exists(target), saved);
    if (chosen.isEmpty())
        return;
    QCOMPARE(f.temporaries(chosenPath), QStringList());
    if (!saved)
        return;
    QCOMPARE(loaded, QByteArray("<body><p>a</p>\r\n<p>b</p></body>\r\n"));
    QCOMPARE(f.browser.navigations.last(), target);
    QCOMPARE(f.desktop.recentAdded, QStringList{target});
    QVERIFY(f.inHistories(target));
    QVERIFY(!f.histories.allH->histlist().contains(temp));
    QCOMPARE(f.modes.saveEnabled, true);
}

void TestBrowserSave::stripSaveIsNotReentered()
{
    BrowserSaveFixture f;
    const QString chosen = f.saveFolder() + QStringLiteral("/p.mht");
    f.dialogs.fileNames << chosen << chosen;
    QAction *entry = f.ui.SavewhenIEfailsMI;
    bool enabledWhileRunning = true;
    connect(&f.browser, &Browser::BeforeNavigate2, &f.browser, [&](const QString &url) {
        if (!url.endsWith(QStringLiteral("__tmp0.htm")))
            return;
        // The mode rules enable it again when the address box changes under
        // the run; that must not let a second run start.
        entry->setEnabled(true);
        enabledWhileRunning = entry->isEnabled();
        entry->trigger();
    });
    entry->trigger();
    QVERIFY(!enabledWhileRunning);
    QCOMPARE(f.dialogs.asked.size(), 1);
    QVERIFY(QFileInfo::exists(chosen));
    QVERIFY(entry->isEnabled());
}

QTEST_MAIN(TestBrowserSave)
#include "tst_browsersavecontroller.moc"
