#include "EnginePage.h"
#include "FakeDesktopAssociation.h"
#include "FakeDialogs.h"
#include "app/NavigationController.h"
#include "app/TMainF.h"
#include "archive/MhtmlReader.h"
#include "browser/WebEngineBrowser.h"
#include "history/TMYcustomhistory.h"
#include "saving/BrowserSaveController.h"
#include "shell/SystemDesktop.h"
#include "support/RegistryStore.h"
#include "window/AppState.h"
#include "window/Histories.h"
#include "window/MainUi.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The engine's own save and the script-stripping save, on the real engine
// and the real recently-used list.
class BrowserSaveEngineTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void engineSaveOpensTheWrittenArchive();
    void stripSaveWritesAnArchiveWithoutScripts();

private:
    QString writePage(const QString &name, const QByteArray &body);
    bool inHistories(const QString &entry);

    QTemporaryDir m_dir;
    FakeDialogs m_dialogs;
    RegistryStore m_registry{m_dir.filePath(QStringLiteral("registry.ini"))};
    FakeDesktopAssociation m_association;
    std::unique_ptr<SystemDesktop> m_desktop;
    std::unique_ptr<WebEngineBrowser> m_browser;
    std::unique_ptr<TMainF> m_window;
};

void BrowserSaveEngineTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("share")));
    m_desktop = std::make_unique<SystemDesktop>(env, m_dir.filePath(QStringLiteral("quillet")));
    m_browser = std::make_unique<WebEngineBrowser>(nullptr, m_dir.path(), m_dir.filePath(QStringLiteral("cache")));
    m_window = std::make_unique<TMainF>(TMainF::Services{m_dialogs, *m_desktop, *m_browser, m_dir.path(),
                                                         m_dir.filePath(QStringLiteral("quillet")), m_registry,
                                                         m_association});
    m_window->resize(1000, 700);
    m_window->show();
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("saved"))));
    m_window->state().DefaultSaveFolder = m_dir.filePath(QStringLiteral("saved"));
}

void BrowserSaveEngineTest::cleanupTestCase()
{
    m_window.reset();
    m_browser.reset();
}

QString BrowserSaveEngineTest::writePage(const QString &name, const QByteArray &body)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("<html><head><title>" + name.toUtf8() + "</title></head><body>" + body + "</body></html>");
    return path;
}

bool BrowserSaveEngineTest::inHistories(const QString &entry)
{
    Histories &h = m_window->histories();
    for (TMYcustomhistory *list : {h.allH, h.startH, h.renH, h.delH})
        if (!list->histlist().contains(entry))
            return false;
    return true;
}

void BrowserSaveEngineTest::engineSaveOpensTheWrittenArchive()
{
    const QString page = writePage(QStringLiteral("plain.htm"), "<p>Saved by the engine</p>");
    m_window->navigation().startHitemclicked(page);
    QCOMPARE(m_browser->LocationName(), page);

    const QString target = m_dir.filePath(QStringLiteral("saved/plain.mht"));
    m_dialogs.fileNames << m_dir.filePath(QStringLiteral("saved/plain"));
    m_dialogs.selectedFilters << BrowserSaveController::archiveFilter();
    MainUi &ui = m_window->ui();
    QVERIFY(ui.SaveAsIEMI->isEnabled());
    m_dialogs.shown.clear();
    ui.SaveAsIEMI->trigger();

    QVERIFY2(m_dialogs.texts().isEmpty(), qPrintable(m_dialogs.texts().join(u'|')));
    QCOMPARE(m_desktop->newestRecentEntry(), target);
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().contains("multipart/related"));
    QCOMPARE(ui.URLs->text(), target);
    QCOMPARE(m_browser->LocationName(), target);
    QVERIFY(m_browser->bodyOuterHtml().contains(QStringLiteral("Saved by the engine")));
    QVERIFY(inHistories(target));
}

void BrowserSaveEngineTest::stripSaveWritesAnArchiveWithoutScripts()
{
    const QString page = writePage(QStringLiteral("scripted.htm"),
                                   "<p>one</p><script>var a = 1;</script>\n<p>two</p>"
                                   "<SCRIPT type=\"text/javascript\">document.title = 'x';</SCRIPT><p>three</p>"
                                   "<Script src=\"missing.js\"></Script><p>four</p>"
                                   // Fires in the temporary page too, unless it runs no script at all.
                                   "<img src=\"missing.png\" onerror=\"if (location.href.indexOf('__tmp0') >= 0)"
                                   " document.body.setAttribute('data-ran', 'yes')\">");
    m_window->navigation().startHitemclicked(page);
    QCOMPARE(m_browser->LocationName(), page);

    const QString chosen = m_dir.filePath(QStringLiteral("saved/stripped"));
    const QString target = chosen + QStringLiteral(".mht");
    m_dialogs.fileNames << chosen;
    m_dialogs.shown.clear();
    QSignalSpy complete(m_browser.get(), &Browser::DocumentComplete);
    m_window->ui().SavewhenIEfailsMI->trigger();
    QCOMPARE(m_dialogs.texts(), QStringList{QStringLiteral("Please wait and press ok after loading...")});

    const MhtmlReadResult read = MhtmlReader().readFile(target);
    QVERIFY2(read.ok(), qPrintable(read.error));
    const QString html = read.archive.rootHtml();
    QVERIFY(!html.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
    QVERIFY2(!html.contains(QStringLiteral("data-ran=\"yes\"")), qPrintable(html));
    QVERIFY(html.contains(QStringLiteral("missing.png")));
    static const QRegularExpression between(QStringLiteral("one.*two.*three.*four"),
                                            QRegularExpression::DotMatchesEverythingOption);
    QVERIFY(html.contains(between));

    // The command leaves the archive loading; it shows without any script.
    QTRY_VERIFY_WITH_TIMEOUT(m_browser->ReadyState() == 4 && m_browser->LocationName() == target, 15000);
    const QString shown = m_browser->bodyOuterHtml();
    QVERIFY(shown.contains(QStringLiteral("four")));
    QVERIFY(!shown.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
    QCOMPARE(m_desktop->newestRecentEntry(), target);
    QVERIFY(inHistories(target));
    for (const QString &left : {chosen + QStringLiteral("__tmp0.htm"), m_dir.filePath(QStringLiteral("fromzqtmp1.htm")),
                                m_dir.filePath(QStringLiteral("tozqtmp2.htm"))})
        QVERIFY2(!QFile::exists(left), qPrintable(left));
}

QTEST_MAIN(BrowserSaveEngineTest)
#include "tst_browsersave_engine.moc"
