#include "EnginePage.h"
#include "FakeDesktop.h"
#include "FakeDesktopAssociation.h"
#include "FakeDialogs.h"
#include "FakeFolderChooser.h"
#include "FakeSaveToChooser.h"
#include "app/ModeController.h"
#include "app/NavigationController.h"
#include "app/TMainF.h"
#include "archive/MhtmlReader.h"
#include "browser/WebEngineBrowser.h"
#include "history/TMYcustomhistory.h"
#include "libraryview/LibraryController.h"
#include "marking/TMyStatusBar.h"
#include "saving/ClipboardPageController.h"
#include "saving/FileManagementController.h"
#include "saving/SaveController.h"
#include "support/RegistryStore.h"
#include "window/AppState.h"
#include "window/MainUi.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
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
    void changeDetectorFollowsTheDocument();
    void namesSurviveEveryAddressConversion_data();
    void namesSurviveEveryAddressConversion();
    // Ends the window and engine the other tests share: keep it last.
    void typicalAnnotation();

private:
    QVariant runScript(const QString &script);
    // Selects the characters from..to of the first paragraph's text.
    void selectInFirstParagraph(int from, int to);
    static QVariant runScript(WebEngineBrowser &browser, const QString &script);
    // The window's save flows, with saveTo in place of the Save-to dialog.
    std::unique_ptr<SaveController> saveControllerWith(SaveToChooser &saveTo);

    QTemporaryDir m_dir;
    FakeDialogs m_dialogs;
    FakeFolderChooser m_folders;
    FakeDesktop m_desktop;
    RegistryStore m_registry{m_dir.filePath(QStringLiteral("registry.ini"))};
    FakeDesktopAssociation m_association;
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
    m_window = std::make_unique<TMainF>(TMainF::Services{m_dialogs, m_desktop, *m_browser, m_dir.path(),
                                                         m_dir.filePath(QStringLiteral("quillet")), m_registry,
                                                         m_association});
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
    return runScript(*m_browser, script);
}

QVariant SaveFlowTest::runScript(WebEngineBrowser &browser, const QString &script)
{
    return EnginePage::runScript(browser, script);
}

void SaveFlowTest::selectInFirstParagraph(int from, int to)
{
    runScript(QStringLiteral("var t = document.querySelector('p').firstChild; var r = document.createRange();"
                             " r.setStart(t, %1); r.setEnd(t, %2); var s = window.getSelection();"
                             " s.removeAllRanges(); s.addRange(r);")
                  .arg(from)
                  .arg(to));
}

std::unique_ptr<SaveController> SaveFlowTest::saveControllerWith(SaveToChooser &saveTo)
{
    TMainF &w = *m_window;
    return std::make_unique<SaveController>(w.state(), w.ui(), w.histories(), *m_browser, m_dialogs, w.modes(),
                                            w.navigation(), w.library(), saveTo, m_folders, Beeper());
}

void SaveFlowTest::marksSurviveSaveAndRename()
{
    const QString page = m_dir.filePath(QStringLiteral("saved/page.mht"));
    QVERIFY(QFile::copy(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht"), page));
    m_window->navigation().startHitemclicked(page);
    m_window->modes().seteditmode(false);
    selectInFirstParagraph(0, 6);
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
    w.state().RenameAsPending = true;
    saveControllerWith(saveTo)->SaveasMIClick();

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

// What a user does: open an archive, switch to edit mode, double-click a
// word, Ctrl+Space, Ctrl+S; a fresh window over a fresh engine then shows the
// mark and the picture.
void SaveFlowTest::typicalAnnotation()
{
    const QString page = m_dir.filePath(QStringLiteral("saved/annotated.mht"));
    QVERIFY(QFile::copy(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht"), page));
    m_window->navigation().startHitemclicked(page);
    MainUi &ui = m_window->ui();
    if (m_window->state().SurfMode)
        ui.emodeMI->trigger();
    QVERIFY(!m_window->state().SurfMode);
    QVERIFY(!ui.SaveMI->isEnabled());

    const QPoint word =
        EnginePage::centreOf(*m_browser, QStringLiteral("(function () { var r = document.createRange();"
                                                        " var t = document.querySelector('p').firstChild;"
                                                        " r.setStart(t, 0); r.setEnd(t, 6);"
                                                        " return r.getBoundingClientRect(); })()"));
    QVERIFY(!word.isNull());
    QWidget *input = m_browser->widget()->focusProxy();
    QVERIFY(input);
    input->setFocus();
    EnginePage::doubleClick(input, word);
    QTRY_COMPARE_WITH_TIMEOUT(m_browser->selectionText().trimmed(), QStringLiteral("Sample"), 5000);

    QTest::keyPress(input, Qt::Key_Control);
    QTest::keyClick(input, Qt::Key_Space, Qt::ControlModifier);
    QTest::keyRelease(input, Qt::Key_Control);
    QTRY_VERIFY_WITH_TIMEOUT(m_browser->documentHtml().contains(QStringLiteral("background-color")), 5000);
    QVERIFY(ui.SaveMI->isEnabled());

    QTest::keyPress(input, Qt::Key_Control);
    QTest::keyClick(input, Qt::Key_S, Qt::ControlModifier);
    QTest::keyRelease(input, Qt::Key_Control);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->ui().StB1->statusText().startsWith(QStringLiteral("File saved: ")), 5000);
    QVERIFY(m_window->ui().StB1->statusText().endsWith(page + QLatin1Char(')')));
    QVERIFY(!ui.SaveMI->isEnabled());

    const MhtmlReadResult saved = MhtmlReader().readFile(page);
    QVERIFY2(saved.ok(), qPrintable(saved.error));
    QVERIFY2(saved.archive.rootHtml().contains(QStringLiteral("background-color")),
             qPrintable(saved.archive.rootHtml()));
    QVERIFY(saved.archive.findByLocation(QStringLiteral("https://example.com/pics/dot.gif")));

    // Save As reloads the page; the ticks that follow see no change of the user's.
    FakeSaveToChooser saveTo;
    saveTo.choices.enqueue(FakeSaveToChooser::Choice{m_dir.filePath(QStringLiteral("saved")), QStringLiteral("copy")});
    saveControllerWith(saveTo)->SaveasMIClick();
    QCOMPARE(m_browser->LocationName(), m_dir.filePath(QStringLiteral("saved/copy.mht")));
    QSignalSpy ticks(ui.Timer1, &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 3, 10000);
    QVERIFY(!ui.SaveMI->isEnabled());

    // The first program ends before the second one starts.
    m_window.reset();
    m_browser.reset();
    const QString otherHome = m_dir.filePath(QStringLiteral("second"));
    QVERIFY(QDir().mkpath(otherHome));
    for (const QString &name : QDir(m_dir.path()).entryList({QStringLiteral("*.mht"), QStringLiteral("*.htm")}))
        QFile::copy(m_dir.filePath(name), otherHome + QLatin1Char('/') + name);
    FakeDialogs dialogs;
    FakeDesktop desktop;
    WebEngineBrowser browser(nullptr, otherHome, otherHome + QStringLiteral("/cache"));
    TMainF window(TMainF::Services{dialogs, desktop, browser, otherHome, otherHome + QStringLiteral("/quillet"),
                                   m_registry, m_association});
    window.resize(1000, 700);
    window.show();
    window.navigation().startHitemclicked(page);
    QCOMPARE(browser.LocationName(), page);
    QVERIFY(browser.documentHtml().contains(QStringLiteral("background-color")));
    QTRY_COMPARE_WITH_TIMEOUT(runScript(browser, QStringLiteral("document.images.length === 1 && document.images[0]"
                                                                ".complete && document.images[0].naturalWidth"))
                                  .toInt(),
                              1, 5000);
}

// Each kind of change reaches Save through the change detector alone (the
// mark goes to the page directly, not through the Mark command); ticks on an
// unchanged page and the first tick after a save leave Save disabled.
void SaveFlowTest::changeDetectorFollowsTheDocument()
{
    const QString page = m_dir.filePath(QStringLiteral("saved/detected.mht"));
    QVERIFY(QFile::copy(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht"), page));
    m_window->navigation().startHitemclicked(page);
    m_window->modes().seteditmode(false);
    QAction *save = m_window->ui().SaveMI;
    QSignalSpy ticks(m_window->ui().Timer1, &QTimer::timeout);
    const auto saveAndWatchTwoTicks = [&] {
        m_window->saving().SaveMIClick();
        QVERIFY(!save->isEnabled());
        ticks.clear();
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 2, 10000);
        QVERIFY(!save->isEnabled());
    };

    saveAndWatchTwoTicks();
    if (QTest::currentTestFailed())
        return;

    selectInFirstParagraph(0, 6);
    m_browser->execCommand(QStringLiteral("BackColor"), 255);
    QTRY_VERIFY_WITH_TIMEOUT(save->isEnabled(), 10000);
    saveAndWatchTwoTicks();
    if (QTest::currentTestFailed())
        return;

    // The page takes keys once a click has focused it.
    QWidget *input = m_browser->widget()->focusProxy();
    QVERIFY(input);
    input->setFocus();
    const QPoint paragraph =
        EnginePage::centreOf(*m_browser, QStringLiteral("document.querySelector('p').getBoundingClientRect()"));
    QVERIFY(!paragraph.isNull());
    // The click puts the caret after the paragraph's picture.
    QTest::mouseClick(input, Qt::LeftButton, Qt::NoModifier, paragraph);
    const QString typed = QStringLiteral("dot.gif\">q</p>");
    QTest::keyClick(input, Qt::Key_Q);
    QTRY_VERIFY_WITH_TIMEOUT(m_browser->documentHtml().contains(typed), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(save->isEnabled(), 10000);
    saveAndWatchTwoTicks();
    if (QTest::currentTestFailed())
        return;

    QVERIFY(runScript(QStringLiteral("document.execCommand('undo')")).toBool());
    QVERIFY(!m_browser->documentHtml().contains(typed));
    QTRY_VERIFY_WITH_TIMEOUT(save->isEnabled(), 10000);
}

void SaveFlowTest::namesSurviveEveryAddressConversion_data()
{
    QTest::addColumn<QString>("name");
    // Beside it, the file a wrong decoding of its address would name: it must
    // stay as it is throughout.
    QTest::addColumn<QString>("decoy");
    QTest::newRow("plus") << QStringLiteral("x+y") << QStringLiteral("x y");
    QTest::newRow("escaped space") << QStringLiteral("a%20b") << QStringLiteral("a b");
    QTest::newRow("escaped plus") << QStringLiteral("c%2Bd") << QStringLiteral("c+d");
    QTest::newRow("lone percent") << QStringLiteral("100%") << QString();
    QTest::newRow("hash") << QStringLiteral("page#2") << QStringLiteral("page");
    QTest::newRow("question mark") << QStringLiteral("why?") << QStringLiteral("why");
    QTest::newRow("spaces") << QStringLiteral(" two  spaces") << QStringLiteral("two spaces");
    QTest::newRow("non-ASCII") << QStringLiteral("Caf\u00E9 \u65E5\u672C")
                               << QStringLiteral("Caf%C3%A9 %E6%97%A5%E6%9C%AC");
    QTest::newRow("leading dash") << QStringLiteral("-x") << QString();
}

// An archive's name, whatever it holds, is the file every step works on:
// opened from the command line as the desktop passes it, shown, saved with
// Ctrl+S, renamed (Rename As), moved, deleted, and made by the clipboard page.
void SaveFlowTest::namesSurviveEveryAddressConversion()
{
    QFETCH(QString, name);
    QFETCH(QString, decoy);
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", dataHome); });
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("share"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("share"))));
    const QString folder = m_dir.filePath(QStringLiteral("names/") + QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/moved")));
    const QString sample = qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht");
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".mht");
    QVERIFY(QFile::copy(sample, path));
    QByteArray decoyBytes;
    QStringList decoys;
    for (const QString &suffix : {QString(), QStringLiteral(" renamed"), QStringLiteral(" clip")})
        decoys << folder + QLatin1Char('/') + decoy + suffix + QStringLiteral(".mht");
    if (!decoy.isEmpty()) {
        QVERIFY(QFile::copy(sample, decoys.first()));
        QFile file(decoys.first());
        QVERIFY(file.open(QIODevice::ReadOnly));
        decoyBytes = file.readAll();
    }
    const auto decoyUntouched = [&] {
        if (decoy.isEmpty())
            return true;
        QFile file(decoys.first());
        return file.open(QIODevice::ReadOnly) && file.readAll() == decoyBytes && !QFile::exists(decoys.at(1)) &&
               !QFile::exists(decoys.at(2));
    };
    const auto rootHtml = [](const QString &archive) { return MhtmlReader().readFile(archive).archive.rootHtml(); };
    TMainF &w = *m_window;
    QLineEdit *box = w.ui().URLs;

    // The desktop passes the file's full path.
    w.FormActivate({QStringLiteral("quillet"), path});
    QCOMPARE(m_browser->ReadyState(), 4);
    QCOMPARE(m_browser->LocationName(), path);
    QCOMPARE(box->text(), path);
    QCOMPARE(w.windowTitle(), QFileInfo(path).fileName() + QStringLiteral(" - Browsing with Quillet"));
    QCOMPARE(w.histories().allH->histlist().value(0), path);

    // Ctrl+S writes the file itself.
    w.modes().seteditmode(false);
    m_browser->insertHtmlAtBodyEnd(QStringLiteral("<p>marked here</p>"));
    m_window->saving().SaveMIClick();
    QVERIFY2(rootHtml(path).contains(QStringLiteral("marked here")), qPrintable(box->text()));
    QVERIFY(decoyUntouched());

    // Rename As writes the new file and removes this one.
    FakeSaveToChooser saveTo;
    saveTo.choices.enqueue(FakeSaveToChooser::Choice{folder, name + QStringLiteral(" renamed")});
    w.state().RenameAsPending = true;
    saveControllerWith(saveTo)->SaveasMIClick();
    const QString renamed = folder + QLatin1Char('/') + name + QStringLiteral(" renamed.mht");
    QVERIFY(!QFile::exists(path));
    QVERIFY(rootHtml(renamed).contains(QStringLiteral("marked here")));
    QCOMPARE(m_browser->LocationName(), renamed);
    QCOMPARE(box->text(), renamed);
    QVERIFY2(w.windowTitle().endsWith(QLatin1Char('/') + name + QStringLiteral(" renamed.mht - Editing with Quillet")),
             qPrintable(w.windowTitle()));
    QVERIFY(!w.histories().allH->histlist().contains(path));

    // Moved, the open file is shown again from its new place.
    w.modes().seteditmode(true);
    w.fileManagement().MoveHitemclicked(folder + QStringLiteral("/moved"));
    const QString moved = folder + QStringLiteral("/moved/") + name + QStringLiteral(" renamed.mht");
    QVERIFY(QFile::exists(moved));
    QTRY_VERIFY_WITH_TIMEOUT(m_browser->ReadyState() == 4 && m_browser->LocationName() == moved, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(box->text(), moved, 5000);

    // Deleted from the delete history: into the trash, out of the histories.
    m_dialogs.answers.enqueue(Dialogs::Answer::Yes);
    w.fileManagement().delHitemclicked(moved);
    QVERIFY(!QFile::exists(moved));
    QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("share/Trash/files/")) + QFileInfo(moved).fileName()));
    for (TMYcustomhistory *list : w.histories().fileLists())
        QVERIFY(!list->histlist().contains(moved));

    // The clipboard page is written under its name, and nowhere else.
    QGuiApplication::clipboard()->setText(QStringLiteral("clipped words"));
    FakeSaveToChooser clipTo;
    clipTo.choices.enqueue(FakeSaveToChooser::Choice{folder, name + QStringLiteral(" clip")});
    ClipboardPageController clipboardPage(w.state(), w.histories(), *m_browser, m_dialogs, w.modes(), w.navigation(),
                                          w.saving(), Beeper());
    clipboardPage.FormCreate(clipTo, {QStringLiteral("quillet"), QStringLiteral("HEADER_IE2QuilletA_page"),
                                      QStringLiteral("https://example.com/a+b?c=%2B")});
    const QString clip = folder + QLatin1Char('/') + name + QStringLiteral(" clip.mht");
    const QString clipped = rootHtml(clip);
    QVERIFY2(clipped.contains(QStringLiteral("clipped words")), qPrintable(clipped));
    QVERIFY(clipped.contains(QStringLiteral("https://example.com/a+b?c=%2B")));
    QCOMPARE(box->text(), clip);
    QVERIFY(decoyUntouched());
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), decoy.isEmpty() ? 1 : 2);
}

QTEST_MAIN(SaveFlowTest)
#include "tst_saveflow.moc"
