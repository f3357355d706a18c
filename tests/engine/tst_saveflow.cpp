#include "FakeDesktop.h"
#include "FakeDialogs.h"
#include "FakeSaveToChooser.h"
#include "app/AppState.h"
#include "app/ModeController.h"
#include "app/NavigationController.h"
#include "app/TMainF.h"
#include "browser/WebEngineBrowser.h"
#include "saving/MhtmlReader.h"
#include "saving/SaveController.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <memory>

// The save flows on the real engine: a marked archive is written, reopened
// and renamed with its picture intact, and New opens the shipped template.
class SaveFlowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void marksSurviveSaveAndRename();
    void newOpensTheTemplateInEditMode();

private:
    QVariant runScript(const QString &script);

    QTemporaryDir m_dir;
    FakeDialogs m_dialogs;
    FakeDesktop m_desktop;
    std::unique_ptr<WebEngineBrowser> m_browser;
    std::unique_ptr<TMainF> m_window;
};

void SaveFlowTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QDir shipped(qEnvironmentVariable("QUILLET_SHIPPED_DATA"));
    for (const QString &name : shipped.entryList(QDir::Files))
        QVERIFY(QFile::copy(shipped.filePath(name), m_dir.filePath(name)));
    m_browser = std::make_unique<WebEngineBrowser>(nullptr, m_dir.path(), m_dir.filePath(QStringLiteral("cache")));
    m_window = std::make_unique<TMainF>(
        TMainF::Services{m_dialogs, m_desktop, *m_browser, m_dir.path(), m_dir.filePath(QStringLiteral("quillet"))});
    m_window->resize(1000, 700);
    m_window->show();
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("saved"))));
    m_window->state().DefaultSaveFolder = m_dir.filePath(QStringLiteral("saved"));
}

void SaveFlowTest::cleanupTestCase()
{
    m_window.reset();
    m_browser.reset();
}

QVariant SaveFlowTest::runScript(const QString &script)
{
    auto *view = qobject_cast<QWebEngineView *>(m_browser->widget());
    QVariant result;
    QEventLoop loop;
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant &value) {
        result = value;
        loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

void SaveFlowTest::marksSurviveSaveAndRename()
{
    const QString page = m_dir.filePath(QStringLiteral("saved/page.mht"));
    QVERIFY(QFile::copy(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht"), page));
    m_window->navigation().startHitemclicked(page);
    m_window->modes().seteditmode(false);
    runScript(QStringLiteral("var t = document.querySelector('p').firstChild; var r = document.createRange();"
                             " r.setStart(t, 0); r.setEnd(t, 6); var s = window.getSelection();"
                             " s.removeAllRanges(); s.addRange(r);"));
    QCOMPARE(m_browser->selectionText(), QStringLiteral("Sample"));
    m_browser->execCommand(QStringLiteral("BackColor"), 255);

    m_window->saving().SaveMIClick();

    MhtmlReadResult saved = MhtmlReader().readFile(page);
    QVERIFY2(saved.ok(), qPrintable(saved.error));
    QVERIFY2(saved.archive.rootHtml().contains(QStringLiteral("rgb(255, 0, 0)")), qPrintable(saved.archive.rootHtml()));
    QVERIFY(saved.archive.findByLocation(QStringLiteral("https://example.com/pics/dot.gif")));
    QVERIFY(m_dialogs.texts().size() <= 1); // at most the first-run message

    // Rename through a scripted Save-to dialog: the engine reloads the new file.
    FakeSaveToChooser saveTo;
    saveTo.choices.enqueue(
        FakeSaveToChooser::Choice{m_dir.filePath(QStringLiteral("kept")), QStringLiteral("renamed")});
    m_dialogs.answers.enqueue(Dialogs::Answer::Yes); // create the folder
    TMainF &w = *m_window;
    SaveController renamer({w.state(),
                            w.ui(),
                            w.histories(),
                            *m_browser,
                            m_dialogs,
                            w.modes(),
                            &saveTo,
                            {},
                            {},
                            [&w] { w.navigation().wait_till_complete(); },
                            {}});
    w.state().RenameAsPending = true;
    renamer.SaveasMIClick();

    const QString renamed = m_dir.filePath(QStringLiteral("kept/renamed.mht"));
    QVERIFY(!QFile::exists(page));
    QCOMPARE(m_browser->LocationName(), renamed);
    QVERIFY(m_browser->documentHtml().contains(QStringLiteral("rgb(255, 0, 0)")));
    saved = MhtmlReader().readFile(renamed);
    QVERIFY2(saved.ok(), qPrintable(saved.error));
    QVERIFY(saved.archive.findByLocation(QStringLiteral("https://example.com/pics/dot.gif")));
}

void SaveFlowTest::newOpensTheTemplateInEditMode()
{
    m_window->modes().seteditmode(true);
    m_window->state().PrependFilename = false;
    m_window->saving().NewMIClick();
    const QString scratch = m_dir.filePath(QStringLiteral("saved/untitled.mht"));
    QVERIFY(QFile::exists(scratch));
    QCOMPARE(m_browser->LocationName(), scratch);
    QVERIFY(!m_window->state().SurfMode);
    QCOMPARE(m_browser->designMode(), QStringLiteral("On"));
}

QTEST_MAIN(SaveFlowTest)
#include "tst_saveflow.moc"
