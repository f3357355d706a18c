#include "MainWindowFixture.h"
#include "app/FindDialog.h"
#include "app/ModeController.h"
#include "app/NavigationController.h"
#include "history/TMYcustomhistory.h"
#include "marking/TBitBtnWithColor.h"
#include "marking/TMyStatusBar.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestNavigation : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void userAndLinkNavigation_data();
    void userAndLinkNavigation();
    void backWithOneEntryNavigatesNowhere();
    void backBackForwardKeepsForward();
    void ordinaryNavigationAfterBackEmptiesForward();
    void frameCompletionDoesNotEndHistoryStep();
    void missingFileIsCleanedFromHistories();
    void openDialogOpensFile();
    void shiftRestarts_data();
    void shiftRestarts();
    void homeNavigatesOnNextChange_data();
    void homeNavigatesOnNextChange();
    void addressBox_data();
    void addressBox();
    void documentClick_data();
    void documentClick();
    void documentMouseOver_data();
    void documentMouseOver();
    void escapeInPage_data();
    void escapeInPage();
    void findDialog();
    void commands();
};

namespace {
// Runs action and waits until the top-level document it loads is complete.
void load(MainWindowFixture &f, const std::function<void()> &action)
{
    QSignalSpy complete(&f.browser, &Browser::DocumentComplete);
    action();
    while (!complete.isEmpty() && !complete.last().at(1).toBool())
        complete.removeLast();
    for (;;) {
        bool topLevel = false;
        for (const auto &arguments : std::as_const(complete))
            topLevel = topLevel || arguments.at(1).toBool();
        if (topLevel)
            return;
        QVERIFY(complete.wait());
    }
}

// A started window (second run: home page) in surf mode.
void start(MainWindowFixture &f)
{
    QFile ini(f.path(QStringLiteral("quillet.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.close();
    f.create();
    load(f, [&] { f.window->FormActivate({QStringLiteral("quillet")}); });
    QVERIFY(f.window->state().SurfMode);
}

void typeAddress(MainWindowFixture &f, const QString &address)
{
    f.window->ui().URLs->setText(address);
    load(f, [&] { QTest::keyClick(f.window->ui().URLs, Qt::Key_Return); });
}

QString makeFile(MainWindowFixture &f, const QString &name)
{
    QFile file(f.path(name));
    if (file.open(QIODevice::WriteOnly))
        file.write("MIME-Version: 1.0\r\n\r\n");
    return file.fileName();
}

QStringList list(MainWindowFixture &f, TMYcustomhistory *Histories::*which)
{
    return (f.window->histories().*which)->histlist();
}

const QString OffText = QStringLiteral("Editing mode = OFF (hit red \"edit mode\" button in order to edit).");
const QString DisabledText = QStringLiteral(
    "Editing mode = DISABLED (make a new mht file or load one and hit red \"edit mode\" button in order to edit).");
} // namespace

void TestNavigation::userAndLinkNavigation_data()
{
    QTest::addColumn<bool>("typed");
    QTest::newRow("address typed, Enter") << true;
    QTest::newRow("link followed") << false;
}

void TestNavigation::userAndLinkNavigation()
{
    QFETCH(bool, typed);
    MainWindowFixture f;
    start(f);
    const QString address = QStringLiteral("https://example.com/page");
    QString statusAfterNavigate;
    connect(&f.browser, &Browser::NavigateComplete2, this,
            [&] { statusAfterNavigate = f.window->ui().StB1->statusText(); });
    if (typed)
        typeAddress(f, address);
    else
        load(f, [&] { f.browser.Navigate(address); });

    QCOMPARE(list(f, &Histories::allH).value(0), address);
    QCOMPARE(list(f, &Histories::startH).contains(address), typed);
    QCOMPARE(statusAfterNavigate == address, typed);
    QVERIFY(!f.window->state().UserNavigation);
    QCOMPARE(f.window->ui().StB1->statusText(), QStringLiteral("Document Complete"));
    QCOMPARE(f.window->windowTitle(), address + QStringLiteral(" - Browsing with Quillet"));
    QVERIFY(f.window->ui().BkB->isEnabled());
}

void TestNavigation::backWithOneEntryNavigatesNowhere()
{
    MainWindowFixture f;
    start(f);
    QCOMPARE(list(f, &Histories::allH).size(), 1);
    const int navigations = int(f.browser.navigations.size());
    f.window->navigation().BkBClick();
    QCOMPARE(f.browser.navigations.size(), navigations);
    QCOMPARE(list(f, &Histories::backH), QStringList{f.browser.homeAddress});
    QCOMPARE(f.window->state().BackPosition, 1);
    QVERIFY(!f.window->ui().BkB->isEnabled());
}

void TestNavigation::backBackForwardKeepsForward()
{
    MainWindowFixture f;
    start(f);
    const QString a = QStringLiteral("https://a.example/"), b = QStringLiteral("https://b.example/"),
                  c = QStringLiteral("https://c.example/");
    for (const QString &address : {a, b, c})
        typeAddress(f, address);
    const QStringList all = list(f, &Histories::allH);
    QCOMPARE(all.mid(0, 3), (QStringList{c, b, a}));

    load(f, [&] { f.window->ui().BkB->trigger(); });
    QCOMPARE(f.browser.navigations.last(), b);
    load(f, [&] { f.window->ui().BkB->trigger(); });
    QCOMPARE(f.browser.navigations.last(), a);
    QCOMPARE(list(f, &Histories::backH), (QStringList{b, c}));
    QVERIFY(f.window->ui().FwB->isEnabled());

    load(f, [&] { f.window->ui().FwB->trigger(); });
    QCOMPARE(f.browser.navigations.last(), b);
    QCOMPARE(f.window->ui().URLs->text(), b);
    QCOMPARE(list(f, &Histories::backH), QStringList{c});
    QCOMPARE(f.window->state().BackPosition, 1);
    QVERIFY(f.window->ui().FwB->isEnabled());
    // Steps are not recorded.
    QCOMPARE(list(f, &Histories::allH), all);

    load(f, [&] { f.window->ui().FwB->trigger(); });
    QCOMPARE(f.browser.navigations.last(), c);
    QVERIFY(!f.window->ui().FwB->isEnabled());
    QCOMPARE(f.window->state().BackPosition, 0);
}

void TestNavigation::ordinaryNavigationAfterBackEmptiesForward()
{
    MainWindowFixture f;
    start(f);
    typeAddress(f, QStringLiteral("https://a.example/"));
    typeAddress(f, QStringLiteral("https://b.example/"));
    load(f, [&] { f.window->ui().BkB->trigger(); });
    QVERIFY(f.window->ui().FwB->isEnabled());

    load(f, [&] { f.browser.Navigate(QStringLiteral("https://link.example/")); });
    QVERIFY(!f.window->ui().FwB->isEnabled());
    QVERIFY(list(f, &Histories::backH).isEmpty());
    QCOMPARE(f.window->state().BackPosition, 0);
}

void TestNavigation::frameCompletionDoesNotEndHistoryStep()
{
    MainWindowFixture f;
    start(f);
    typeAddress(f, QStringLiteral("https://a.example/"));
    f.browser.autoComplete = false;
    f.window->ui().BkB->trigger();
    QVERIFY(f.window->state().HistoryStep);
    Q_EMIT f.browser.DocumentComplete(QStringLiteral("https://frame.example/"), false);
    QVERIFY(f.window->state().HistoryStep);
    QVERIFY(!list(f, &Histories::backH).isEmpty());
    f.browser.completeNavigation();
    QVERIFY(!f.window->state().HistoryStep);
    QVERIFY(!list(f, &Histories::backH).isEmpty());
}

void TestNavigation::missingFileIsCleanedFromHistories()
{
    MainWindowFixture f;
    start(f);
    const QString missing = f.path(QStringLiteral("gone.mht"));
    for (auto which : {&Histories::startH, &Histories::renH, &Histories::delH, &Histories::allH})
        (f.window->histories().*which)->AddItem(missing);
    const int navigations = int(f.browser.navigations.size());

    f.window->histories().startH->itemEntries().first()->trigger();

    QCOMPARE(f.dialogs.lastText(), QStringLiteral("File does not exist: ") + missing);
    QCOMPARE(f.dialogs.shown.last().kind, Dialogs::Kind::Warning);
    for (auto which : {&Histories::startH, &Histories::renH, &Histories::delH})
        QVERIFY(!list(f, which).contains(missing));
    QVERIFY(list(f, &Histories::allH).contains(missing));
    QCOMPARE(f.window->ui().StB1->statusText(), QStringLiteral("Not existing file cleaned from mht history"));
    QCOMPARE(f.browser.navigations.size(), navigations);
}

void TestNavigation::openDialogOpensFile()
{
    MainWindowFixture f;
    start(f);
    const QString file = makeFile(f, QStringLiteral("notes.mht"));
    f.dialogs.fileNames.enqueue(file);
    f.window->ui().OpenbrowseMI->trigger();

    QCOMPARE(f.dialogs.asked.last(), QStringLiteral("Select file to open|") + f.window->state().DefaultSaveFolder);
    QCOMPARE(f.browser.navigations.last(), file);
    QCOMPARE(f.browser.ReadyState(), 4);
    for (auto which : {&Histories::allH, &Histories::startH, &Histories::renH, &Histories::delH})
        QCOMPARE(list(f, which).value(0), file);
    QCOMPARE(list(f, &Histories::MoveH).value(0), f.folder.path());
    QCOMPARE(f.window->ui().URLs->text(), file);
    QVERIFY(f.window->state().SurfMode);
}

void TestNavigation::shiftRestarts_data()
{
    QTest::addColumn<bool>("restartSucceeds");
    QTest::newRow("new instance started") << true;
    QTest::newRow("restart failed") << false;
}

void TestNavigation::shiftRestarts()
{
    QFETCH(bool, restartSucceeds);
    MainWindowFixture f;
    start(f);
    f.window->show();
    f.desktop.restartSucceeds = restartSucceeds;
    const QString file = makeFile(f, QStringLiteral("other.mht"));
    f.window->navigation().setShiftQuery([] { return true; });
    f.window->histories().startH->AddItem(file);
    f.window->histories().startH->itemEntries().first()->trigger();

    QCOMPARE(f.desktop.restarts, QStringList{file});
    QCOMPARE(f.window->isVisible(), !restartSucceeds);
    QVERIFY(f.dialogs.shown.isEmpty());
}

void TestNavigation::homeNavigatesOnNextChange_data()
{
    QTest::addColumn<bool>("boxShowsHome");
    QTest::newRow("box shows another address") << false;
    QTest::newRow("box already shows home") << true;
}

void TestNavigation::homeNavigatesOnNextChange()
{
    QFETCH(bool, boxShowsHome);
    MainWindowFixture f;
    start(f);
    if (!boxShowsHome)
        typeAddress(f, QStringLiteral("https://a.example/"));
    QCOMPARE(f.window->ui().URLs->text() == f.browser.homeAddress, boxShowsHome);
    const int before = int(f.browser.navigations.size());

    load(f, [&] { f.window->ui().homeB->trigger(); });
    if (boxShowsHome) {
        QCOMPARE(f.browser.navigations.mid(before), QStringList{f.browser.homeAddress});
        QVERIFY(f.window->state().HomePending);
        f.browser.autoComplete = false;
        f.window->ui().URLs->setText(QStringLiteral("https://typed.example/"));
        QCOMPARE(f.browser.navigations.last(), QStringLiteral("https://typed.example/"));
    } else {
        // The box change the home page causes becomes a second navigation.
        QCOMPARE(f.browser.navigations.mid(before), (QStringList{f.browser.homeAddress, f.browser.homeAddress}));
    }
    QVERIFY(!f.window->state().HomePending);
}

void TestNavigation::addressBox_data()
{
    QTest::addColumn<QString>("locationUrl");
    QTest::addColumn<QString>("shown");
    QTest::newRow("local file with spaces")
        << QStringLiteral("file:///tmp/My%20Notes/a%20b.mht") << QStringLiteral("/tmp/My Notes/a b.mht");
    QTest::newRow("web address") << QStringLiteral("https://example.com/a%20b?q=1")
                                 << QStringLiteral("https://example.com/a b?q=1");
    QTest::newRow("stray percent kept") << QStringLiteral("file:///tmp/100%zz.htm")
                                        << QStringLiteral("/tmp/100%zz.htm");
    // A file's path is decoded as a URL path: "+" is no space.
    QTest::newRow("plus in a file name") << QStringLiteral("file:///tmp/x+y%2Bz.mht")
                                         << QStringLiteral("/tmp/x+y+z.mht");
    // Decoded, it would be two lines of the history file.
    QTest::newRow("escaped line break stays escaped")
        << QStringLiteral("http://host/x?d=a%0Ab%20c") << QStringLiteral("http://host/x?d=a%0Ab%20c");
}

void TestNavigation::addressBox()
{
    QFETCH(QString, locationUrl);
    QFETCH(QString, shown);
    MainWindowFixture f;
    start(f);
    f.browser.locationUrl = locationUrl;
    f.browser.locationName = QStringLiteral("Title");
    Q_EMIT f.browser.NavigateComplete2(locationUrl);
    QCOMPARE(f.window->ui().URLs->text(), shown);
    QCOMPARE(list(f, &Histories::allH).value(0), shown);
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Title - Browsing with Quillet"));
    QVERIFY(f.dialogs.shown.isEmpty());
}

void TestNavigation::documentClick_data()
{
    QTest::addColumn<bool>("surf");
    QTest::addColumn<bool>("modeButtonEnabled");
    QTest::addColumn<QString>("status");
    QTest::newRow("surf, editable") << true << true << OffText;
    QTest::newRow("surf, not editable") << true << false << DisabledText;
    QTest::newRow("edit mode") << false << true << QStringLiteral("before");
}

void TestNavigation::documentClick()
{
    QFETCH(bool, surf);
    QFETCH(bool, modeButtonEnabled);
    QFETCH(QString, status);
    MainWindowFixture f;
    start(f);
    f.window->state().SurfMode = surf;
    f.window->ui().EmodeB->setEnabled(modeButtonEnabled);
    f.window->ui().StB1->ShowStatusText(QStringLiteral("before"));
    f.browser.emitClick(QStringLiteral("p"));
    QCOMPARE(f.window->ui().StB1->statusText(), status);
}

void TestNavigation::documentMouseOver_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("href");
    QTest::addColumn<QString>("status");
    QTest::newRow("link") << QStringLiteral("A") << QStringLiteral("https://x.example/")
                          << QStringLiteral("https://x.example/");
    QTest::newRow("image without href") << QStringLiteral("IMG") << QString() << QString();
    QTest::newRow("plain text") << QStringLiteral("P") << QStringLiteral("ignored") << QStringLiteral("before");
}

void TestNavigation::documentMouseOver()
{
    QFETCH(QString, tag);
    QFETCH(QString, href);
    QFETCH(QString, status);
    MainWindowFixture f;
    start(f);
    f.window->ui().StB1->ShowStatusText(QStringLiteral("before"));
    f.browser.emitMouseOver(tag, href);
    QCOMPARE(f.window->ui().StB1->statusText(), status);
}

void TestNavigation::escapeInPage_data()
{
    QTest::addColumn<bool>("unsaved");
    QTest::newRow("unsaved work: asks, Cancel keeps running") << true;
    QTest::newRow("nothing unsaved: closes") << false;
}

void TestNavigation::escapeInPage()
{
    QFETCH(bool, unsaved);
    MainWindowFixture f;
    start(f);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    QWidget *page = f.browser.widget();
    page->setFocusPolicy(Qt::StrongFocus);
    page->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), page);
    f.window->modes().SetSaveEnabled(unsaved);

    QTest::keyClick(page, Qt::Key_Escape);

    QCOMPARE(f.dialogs.texts().contains(QStringLiteral("Save your work before exit?")), unsaved);
    QCOMPARE(f.dialogs.texts().count(QStringLiteral("Save your work before exit?")), unsaved ? 1 : 0);
    QCOMPARE(f.window->isVisible(), unsaved);
}

void TestNavigation::findDialog()
{
    MainWindowFixture f;
    start(f);
    f.browser.html = QStringLiteral("<html><body>Needle</body></html>");
    f.window->ui().findtextMI->trigger();
    auto *dialog = f.window->findChild<FindDialog *>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    dialog->textField()->setText(QStringLiteral("needle"));
    dialog->matchCase()->setChecked(true);
    dialog->findNextButton()->click();
    QCOMPARE(f.browser.finds.size(), 1);
    QCOMPARE(f.browser.finds.first().text, QStringLiteral("needle"));
    QVERIFY(f.browser.finds.first().caseSensitive);

    f.browser.failures.insert(QStringLiteral("findText"), QStringLiteral("engine gone"));
    QVERIFY(!dialog->findNext());
    QVERIFY(f.dialogs.shown.isEmpty());

    // The toolbar button shows the same dialog again.
    dialog->hide();
    f.window->ui().findB->trigger();
    QVERIFY(dialog->isVisible());
    QCOMPARE(f.window->findChildren<FindDialog *>().size(), 1);
}

void TestNavigation::commands()
{
    MainWindowFixture f;
    start(f);
    MainUi &ui = f.window->ui();

    const bool silent = f.browser.Silent();
    ui.supscriptsMI->trigger();
    QCOMPARE(f.browser.Silent(), !silent);
    QCOMPARE(f.window->state().SuppressScripts, !silent);
    QCOMPARE(ui.supscriptsMI->isChecked(), !silent);

    ui.PrintPromptMI->trigger();
    ui.PrintNowMI->trigger();
    QCOMPARE(f.browser.prints, (QList<bool>{true, false}));

    ui.helpB->trigger();
    ui.GotowebsiteMI->trigger();
    // Only a build that names its web site offers to go there.
    const QString website = NavigationController::websiteAddress();
    QCOMPARE(ui.GotowebsiteMI->isEnabled(), !website.isEmpty());
    const QString help = f.path(QStringLiteral("Quillet.htm"));
    QCOMPARE(f.desktop.documentsRun, website.isEmpty() ? QStringList{help} : (QStringList{help, website}));

    ui.TexthelpMI->trigger();
    QCOMPARE(f.dialogs.lastText(),
             QStringLiteral("All the basic info is also available in txt-files (included in "
                            "zip-package) which you can open with simple programs like Notepad."));
    QCOMPARE(f.dialogs.shown.last().kind, Dialogs::Kind::Plain);

    f.browser.busy = true;
    ui.refreshB->trigger();
    QVERIFY(!f.browser.calls.contains(QStringLiteral("Refresh")));
    f.browser.busy = false;
    ui.refreshB->trigger();
    QVERIFY(f.browser.calls.contains(QStringLiteral("Refresh")));

    ui.SearchB->trigger();
    QCOMPARE(f.browser.navigations.last(), f.browser.searchAddress);
    ui.stopB->trigger();
    QVERIFY(f.browser.calls.contains(QStringLiteral("Stop")));
}

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
