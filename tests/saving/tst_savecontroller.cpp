#include "ControllerFixture.h"
#include "FileSizeLimit.h"
#include "TestFiles.h"
#include "archive/MhtmlReader.h"
#include "saving/SaveController.h"
#include "support/DateUtils.h"
#include "window/CommandGuard.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <optional>

namespace {
using TestFiles::readBytes;
using TestFiles::writeBytes;

// The save controller over the fixture, its commands connected as the window
// connects them.
struct SavingFixture : ControllerFixture
{
    std::unique_ptr<SaveController> saving;

    SavingFixture()
    {
        saving = std::make_unique<SaveController>(state, ui, histories, browser, dialogs, modes, *navigator, archives,
                                                  saveTo, folders, beep);
        saving->connectCommands();
    }

    QString copySample(const QString &name)
    {
        const QString target = path(name);
        QFile::copy(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht"), target);
        return target;
    }
};
} // namespace

class TestSaving : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void saveWritesTheTarget_data();
    void saveWritesTheTarget();
    void saveOfUntitledPageAsksForName();
    void failedWriteIsNotASave_data();
    void failedWriteIsNotASave();
    void failedArchiveWriteKeepsTheStatus();
    void saveAsProposesTitle_data();
    void saveAsProposesTitle();
    void saveAsWritesAndReopens();
    void saveAsStopsWithoutWriting_data();
    void saveAsStopsWithoutWriting();
    void saveAsCreatesMissingFolder();
    void oldFileIsDeleted_data();
    void oldFileIsDeleted();
    void newCopiesTheTemplate_data();
    void newCopiesTheTemplate();
    void defaultSaveFolder();
    void namingOptionsFollowTheirCheckMarks();
    void changeDetector();
    void saveButtonAndMenuRunTheWindowsSave();
};

void TestSaving::saveWritesTheTarget_data()
{
    QTest::addColumn<QString>("openFile"); // "" for a web page
    QTest::addColumn<QString>("locationName");
    QTest::addColumn<QString>("expectedTarget"); // relative to the save folder for a web page
    QTest::addColumn<bool>("archive");

    QTest::newRow("open archive") << "page.mht"
                                  << ""
                                  << "" << true;
    QTest::newRow("archive name with plus and percent") << "a+b%41.mht"
                                                        << ""
                                                        << "" << true;
    QTest::newRow("open html file") << "page.html"
                                    << ""
                                    << "" << false;
    QTest::newRow("web page") << ""
                              << "Example"
                              << "Example.mht" << true;
    QTest::newRow("web page title with forbidden characters") << ""
                                                              << "a/b: c?"
                                                              << "a(b= c\u00e7.mht" << true;
}

void TestSaving::saveWritesTheTarget()
{
    QFETCH(QString, openFile);
    QFETCH(QString, locationName);
    QFETCH(QString, expectedTarget);
    QFETCH(bool, archive);

    SavingFixture f;
    QString target;
    if (openFile.isEmpty()) {
        f.showPage(QStringLiteral("https://example.com/"), locationName);
        target = f.saveFolder() + QLatin1Char('/') + expectedTarget;
    } else {
        target = archive ? f.copySample(openFile) : f.path(openFile);
        if (!archive)
            QVERIFY(writeBytes(target, "<html><body>old</body></html>"));
        f.showPage(target, target);
    }
    f.browser.html = QStringLiteral("<html><head></head><body><p>marked <span>text</span></p></body></html>");
    f.modes.SetSaveEnabled(true);

    f.saving->SaveMIClick();

    const QByteArray written = readBytes(target);
    QVERIFY2(written.contains("marked"), qPrintable(target));
    if (archive) {
        const MhtmlReadResult read = MhtmlReader().readFile(target);
        QVERIFY2(read.ok(), qPrintable(read.error));
        if (!openFile.isEmpty())
            QVERIFY2(written.contains("dot.gif"), "the picture of the open archive survives");
    } else {
        QVERIFY(!written.contains("Content-Type: multipart"));
    }
    QCOMPARE(f.status(), QStringLiteral("File saved: %1 bytes (%2)").arg(QFileInfo(target).size()).arg(target));
    QCOMPARE(f.modes.saveEnabled, false);
    QVERIFY(f.inHistories(target));
    QCOMPARE(f.state.LastDocSnapshot, QStringLiteral("justsaved"));
    QCOMPARE(f.archives.reports, QList<QStringList>{{target}});
    QVERIFY(f.saveTo.requests.isEmpty());
    QVERIFY(f.browser.navigations.isEmpty());
    QVERIFY(f.dialogs.shown.isEmpty());
    QCOMPARE(f.browser.mode, QStringLiteral("On"));
}

void TestSaving::saveOfUntitledPageAsksForName()
{
    SavingFixture f;
    const QString scratch = f.copySample(QStringLiteral("untitled.mht"));
    f.showPage(scratch, scratch);
    f.saving->SaveMIClick();
    QCOMPARE(f.saveTo.requests.size(), 1);
    QCOMPARE(f.saveTo.requests.first().caption, QStringLiteral("Save to..."));
    QCOMPARE(f.status(), QStringLiteral("Cancelled saving"));
    QCOMPARE(readBytes(scratch), readBytes(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht")));

    // The note stays when the Save As that follows ends without a word.
    f.saveTo.choices.enqueue(FakeSaveToChooser::Choice{f.path(QStringLiteral("missing")), QStringLiteral("kept")});
    f.dialogs.answers.enqueue(Dialogs::Answer::No);
    f.saving->SaveMIClick();
    QCOMPARE(f.status(), QStringLiteral("Please do not save to the temporary filename containing \"untitled\""));
}

// The status bar says "Saving..." while an archive is written; a failed write
// puts back what it said before.
void TestSaving::failedArchiveWriteKeepsTheStatus()
{
    SavingFixture f;
    const QString open = f.copySample(QStringLiteral("page.mht"));
    f.showPage(open, open);
    f.browser.failNext = QStringLiteral("engine gone");
    f.modes.SetSaveEnabled(true);
    f.ui.StB1->ShowStatusText(QStringLiteral("before"));

    f.ui.SaveMI->trigger();

    QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("engine gone")});
    QCOMPARE(f.status(), QStringLiteral("before"));
    QCOMPARE(f.modes.saveEnabled, true);
}

void TestSaving::failedWriteIsNotASave_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("message"); // the first line; the reason follows

    QTest::newRow("document cannot be read") << "page.html"
                                             << "engine"
                                             << "SaveAs HTML fail!";
    QTest::newRow("folder of the open file is gone") << "page.html"
                                                     << "folder"
                                                     << "SaveAs HTML fail!";
    QTest::newRow("html on a full disk") << "page.html"
                                         << "full"
                                         << "SaveAs HTML fail!";
    // The short write that used to leave an empty archive behind.
    QTest::newRow("archive on a full disk") << "page.mht"
                                            << "full"
                                            << "Cannot write %1: ";
}

void TestSaving::failedWriteIsNotASave()
{
    QFETCH(QString, file);
    QFETCH(QString, failure);
    QFETCH(QString, message);

    SavingFixture f;
    const QString folder = f.path(QStringLiteral("html"));
    QVERIFY(QDir().mkpath(folder));
    const QString target = folder + QLatin1Char('/') + file;
    if (file.endsWith(QStringLiteral(".mht")))
        QVERIFY(QFile::copy(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht"), target));
    else
        QVERIFY(writeBytes(target, "<html><body>old</body></html>"));
    const QByteArray original = readBytes(target);
    f.showPage(target, target);
    f.browser.html = QStringLiteral("<html><body>changed, and marked at length</body></html>");
    if (failure == QStringLiteral("engine"))
        f.browser.failNext = QStringLiteral("engine gone");
    else if (failure == QStringLiteral("folder"))
        QVERIFY(QDir(folder).removeRecursively());
    f.modes.SetSaveEnabled(true);
    f.ui.StB1->ShowStatusText(QStringLiteral("before"));

    std::optional<FileSizeLimit> full;
    if (failure == QStringLiteral("full")) {
        full.emplace(16);
        if (!full->active())
            QSKIP("no file size limit on this system");
    }
    // As the Ctrl+S chord runs it: an error the flow throws is shown.
    runGuarded(f.dialogs, [&] { f.saving->SaveMIClick(); });
    full.reset();

    QCOMPARE(f.dialogs.shown.size(), 1);
    QVERIFY2(f.dialogs.lastText().startsWith(message.arg(target)), qPrintable(f.dialogs.lastText()));
    QCOMPARE(f.status(), QStringLiteral("before"));
    QCOMPARE(f.modes.saveEnabled, true);
    QVERIFY(f.histories.allH->histlist().isEmpty());
    QVERIFY(f.state.LastDocSnapshot != QStringLiteral("justsaved"));
    if (failure != QStringLiteral("folder")) {
        QCOMPARE(readBytes(target), original);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{file});
    }
}

void TestSaving::saveAsProposesTitle_data()
{
    QTest::addColumn<QString>("locationName");
    QTest::addColumn<QString>("selection");
    QTest::addColumn<bool>("useSelection");
    QTest::addColumn<bool>("prepend");
    QTest::addColumn<bool>("renaming");
    QTest::addColumn<QString>("title");

    const QString today = DatePrefix();
    QTest::newRow("no selection: the location name") << "/web/a.mht"
                                                     << "" << true << true << false << "(web(a";
    QTest::newRow("web title") << "Example page"
                               << "" << true << false << false << "Example page";
    QTest::newRow("selection") << "/web/a.mht"
                               << "Some words" << true << false << false << "Some words";
    QTest::newRow("selection with date") << "/web/a.mht"
                                         << "Some words" << true << true << false
                                         << today + QStringLiteral("-Some words");
    QTest::newRow("selection option off") << "/web/a.mht"
                                          << "Some words" << false << true << false << "(web(a";
    QTest::newRow("renaming ignores the selection") << "/web/a.mht"
                                                    << "Some words" << true << true << true << "(web(a";
}

void TestSaving::saveAsProposesTitle()
{
    QFETCH(QString, locationName);
    QFETCH(QString, selection);
    QFETCH(bool, useSelection);
    QFETCH(bool, prepend);
    QFETCH(bool, renaming);
    QFETCH(QString, title);

    SavingFixture f;
    f.histories.MoveH->AddItem(QStringLiteral("/older"));
    f.histories.MoveH->AddItem(QStringLiteral("/newer"));
    f.showPage(QStringLiteral("/web/a.mht"), locationName);
    f.browser.selection = selection;
    f.state.UseSelectionForFilename = useSelection;
    f.state.PrependFilename = prepend;
    f.state.RenameAsPending = renaming;

    f.saving->SaveasMIClick();

    QCOMPARE(f.saveTo.requests.size(), 1);
    const SaveToChooser::Request &request = f.saveTo.requests.first();
    QCOMPARE(request.title, title);
    QCOMPARE(request.caption, renaming ? QStringLiteral("Rename to...") : QStringLiteral("Save to..."));
    QCOMPARE(request.folders, (QStringList{QStringLiteral("/newer"), QStringLiteral("/older")}));
    QCOMPARE(request.startFolder, f.saveFolder());
    QVERIFY(!f.state.RenameAsPending);
    QCOMPARE(f.status(), QStringLiteral("Cancelled saving"));

    // The next plain Save As is a save again.
    f.saving->SaveasMIClick();
    QCOMPARE(f.saveTo.requests.last().caption, QStringLiteral("Save to..."));
}

void TestSaving::saveAsWritesAndReopens()
{
    SavingFixture f;
    const QString open = f.copySample(QStringLiteral("page.mht"));
    f.showPage(open, open);
    f.browser.html = QStringLiteral("<html><body><b>kept</b></body></html>");
    const QString folder = f.path(QStringLiteral("keep"));
    QVERIFY(QDir().mkpath(folder));
    f.saveTo.choices.enqueue(FakeSaveToChooser::Choice{folder + QLatin1Char('/'), QStringLiteral("Note & more")});
    f.navigator->duringWait = [&f] {
        f.saving->Timer1Timer();
        f.browser.html = QStringLiteral("<html><body><b>kept</b> </body></html>");
        f.saving->Timer1Timer();
    };

    f.saving->SaveasMIClick();

    const QString path = folder + QStringLiteral("/Note & more.mht");
    const QByteArray written = readBytes(path);
    QVERIFY(written.contains("kept"));
    QVERIFY2(written.contains("dot.gif"), "pictures of the source archive survive");
    QVERIFY(QFileInfo::exists(open));
    QCOMPARE(f.ui.URLs->text(), path);
    QVERIFY(f.inHistories(path));
    QCOMPARE(f.histories.MoveH->histlist().value(0), folder);
    QCOMPARE(f.browser.navigations, QStringList{path});
    QCOMPARE(f.browser.mode, QStringLiteral("On"));
    QCOMPARE(f.modes.saveEnabled, false);
    QCOMPARE(f.state.SaveToName, QStringLiteral("Note & more"));
    QCOMPARE(f.state.LastDocSnapshot, QStringLiteral("justsaved"));
    QVERIFY(f.dialogs.shown.isEmpty());
}

void TestSaving::saveAsStopsWithoutWriting_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<bool>("missingFolder");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("status");

    QTest::newRow("cancel") << true << false << QStringList{} << "Cancelled saving";
    QTest::newRow("missing folder, No") << false << true
                                        << QStringList{QStringLiteral(
                                               "The given path does not exist. I try to create it?")}
                                        << "";
    QTest::newRow("overwrite, No") << false << false << QStringList{QStringLiteral("EXISTING")} << "";
}

void TestSaving::saveAsStopsWithoutWriting()
{
    QFETCH(bool, cancel);
    QFETCH(bool, missingFolder);
    QFETCH(QStringList, texts);
    QFETCH(QString, status);

    SavingFixture f;
    f.showPage(QStringLiteral("https://example.com/"), QStringLiteral("Example"));
    f.ui.StB1->ShowStatusText(QString());
    const QString folder = missingFolder ? f.path(QStringLiteral("new/deeper")) : f.saveFolder();
    const QString existing = folder + QStringLiteral("/Example.mht");
    if (!missingFolder)
        QVERIFY(writeBytes(existing, "old"));
    if (!cancel)
        f.saveTo.choices.enqueue(FakeSaveToChooser::Choice{folder, QStringLiteral("Example")});
    f.dialogs.answers.enqueue(Dialogs::Answer::No);
    f.modes.SetSaveEnabled(true);

    f.saving->SaveasMIClick();

    texts.replaceInStrings(
        QStringLiteral("EXISTING"),
        existing + QStringLiteral(" exists already. If you continue this file will be overwritten! Continue?"));
    QCOMPARE(f.dialogs.texts(), texts);
    QCOMPARE(f.status(), status);
    QCOMPARE(QFileInfo::exists(folder), !missingFolder);
    if (!missingFolder)
        QCOMPARE(readBytes(existing), QByteArray("old"));
    QVERIFY(f.browser.navigations.isEmpty());
    QCOMPARE(f.modes.saveEnabled, true);
    QVERIFY(f.histories.allH->histlist().isEmpty());
}

void TestSaving::saveAsCreatesMissingFolder()
{
    SavingFixture f;
    f.showPage(QStringLiteral("https://example.com/"), QStringLiteral("Example"));
    const QString folder = f.path(QStringLiteral("new/deeper"));
    f.saveTo.choices.enqueue(FakeSaveToChooser::Choice{folder, QStringLiteral("Example")});
    f.dialogs.answers.enqueue(Dialogs::Answer::Yes);

    f.saving->SaveasMIClick();

    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/Example.mht")));
    QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("The given path does not exist. I try to create it?")});
    QCOMPARE(f.dialogs.shown.first().kind, Dialogs::Kind::Warning);

    // A folder that cannot be made is reported and nothing is written.
    const QString blocked = f.path(QStringLiteral("file-in-the-way"));
    QVERIFY(writeBytes(blocked, "x"));
    f.dialogs.shown.clear();
    f.saveTo.choices.enqueue(FakeSaveToChooser::Choice{blocked + QStringLiteral("/sub"), QStringLiteral("Example")});
    f.dialogs.answers.enqueue(Dialogs::Answer::Yes);
    f.saving->SaveasMIClick();
    QCOMPARE(f.dialogs.lastText(), QStringLiteral("Creating of path ") + blocked + QStringLiteral("/sub failed!"));
    QCOMPARE(f.dialogs.shown.last().kind, Dialogs::Kind::Error);
}

void TestSaving::oldFileIsDeleted_data()
{
    QTest::addColumn<QString>("oldName");
    QTest::addColumn<bool>("renaming");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("oldRemains");

    QTest::newRow("rename") << "old.mht" << true << "new" << false;
    QTest::newRow("plain save as keeps the old file") << "old.mht" << false << "new" << true;
    QTest::newRow("untitled scratch copy goes") << "untitled.mht" << false << "new" << false;
    QTest::newRow("rename onto itself keeps the file") << "old.mht" << true << "old" << true;
    QTest::newRow("untitled saved onto itself keeps the file") << "untitled.mht" << false << "untitled" << true;
}

void TestSaving::oldFileIsDeleted()
{
    QFETCH(QString, oldName);
    QFETCH(bool, renaming);
    QFETCH(QString, newName);
    QFETCH(bool, oldRemains);

    SavingFixture f;
    const QString folder = f.saveFolder();
    const QString old = folder + QLatin1Char('/') + oldName;
    QVERIFY(QFile::copy(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht"), old));
    Histories &h = f.histories;
    for (TMYcustomhistory *list : {h.allH, h.startH, h.renH, h.delH, h.backH})
        list->AddItem(old);
    f.showPage(old, old);
    f.browser.html = QStringLiteral("<html><body>new text</body></html>");
    f.state.RenameAsPending = renaming;
    f.saveTo.choices.enqueue(FakeSaveToChooser::Choice{folder, newName});
    f.dialogs.answers.enqueue(Dialogs::Answer::Yes); // overwrite, when asked

    f.saving->SaveasMIClick();

    const QString path = folder + QLatin1Char('/') + newName + QStringLiteral(".mht");
    QVERIFY(readBytes(path).contains("new text"));
    QCOMPARE(QFileInfo::exists(old), oldRemains);
    QCOMPARE(h.renH->histlist().contains(old), oldRemains);
    QVERIFY(f.inHistories(path));
    // The library looks at both: the new file and the old one, gone or not.
    QCOMPARE(f.archives.reports, (QList<QStringList>{{path, old}}));
}

void TestSaving::newCopiesTheTemplate_data()
{
    QTest::addColumn<bool>("prepend");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<Dialogs::Answer>("answer");
    QTest::addColumn<bool>("copied");
    QTest::addColumn<bool>("folderMissing");

    QTest::newRow("untitled.mht") << false << false << Dialogs::Answer::No << true << false;
    QTest::newRow("dated name") << true << false << Dialogs::Answer::No << true << false;
    QTest::newRow("existing, overwrite") << false << true << Dialogs::Answer::Yes << true << false;
    QTest::newRow("existing, keep") << false << true << Dialogs::Answer::No << false << false;
    QTest::newRow("default folder missing") << false << false << Dialogs::Answer::No << true << true;
}

void TestSaving::newCopiesTheTemplate()
{
    QFETCH(bool, prepend);
    QFETCH(bool, exists);
    QFETCH(Dialogs::Answer, answer);
    QFETCH(bool, copied);
    QFETCH(bool, folderMissing);

    SavingFixture f;
    const QByteArray page = "MIME-Version: 1.0\r\nContent-Type: text/html\r\n\r\n<html><body></body></html>\r\n";
    QVERIFY(writeBytes(f.path(QStringLiteral("untitled.mht")), page));
    if (folderMissing)
        QVERIFY(QDir(f.saveFolder()).removeRecursively());
    f.state.PrependFilename = prepend;
    const QString path = f.saveFolder() + QLatin1Char('/') +
                         (prepend ? DatePrefix() + QStringLiteral("-untitled.mht") : QStringLiteral("untitled.mht"));
    if (exists)
        QVERIFY(writeBytes(path, "mine"));
    f.showPage(QStringLiteral("https://example.com/"), QStringLiteral("Example"), false);
    f.dialogs.answers.enqueue(answer);

    f.saving->NewMIClick();

    QCOMPARE(f.dialogs.texts().size(), exists ? 1 : 0);
    if (exists)
        QVERIFY(f.dialogs.lastText().startsWith(path + QStringLiteral(" exists already.")));
    QCOMPARE(readBytes(path), copied ? page : QByteArray("mine"));
    QCOMPARE(f.navigator->opened, copied ? QStringList{path} : QStringList{});
    QCOMPARE(f.state.SurfMode, !copied);
}

void TestSaving::defaultSaveFolder()
{
    SavingFixture f;
    f.folders.chosen = QStringLiteral("/data/notes/");
    f.saving->Defaultsaveto1Click();
    QCOMPARE(f.folders.requests, QStringList{QStringLiteral("Give Default destination to save to.|") + f.saveFolder()});
    QCOMPARE(f.state.DefaultSaveFolder, QStringLiteral("/data/notes"));
    QCOMPARE(f.status(), QStringLiteral("Default location to save to: /data/notes"));

    f.folders.chosen.clear();
    f.saving->Defaultsaveto1Click();
    QCOMPARE(f.state.DefaultSaveFolder, QStringLiteral("/data/notes"));
}

void TestSaving::namingOptionsFollowTheirCheckMarks()
{
    SavingFixture f;
    AppState &state = f.state;
    MainUi &ui = f.ui;
    const bool prepend = state.PrependFilename;
    const bool useSelection = state.UseSelectionForFilename;
    // Through their menu items, which keep state and check mark together.
    f.ui.PrependFilenameMI->trigger();
    f.ui.UseSelection4FilenameMI->trigger();
    QCOMPARE(state.PrependFilename, !prepend);
    QCOMPARE(ui.PrependFilenameMI->isChecked(), !prepend);
    QCOMPARE(state.UseSelectionForFilename, !useSelection);
    QCOMPARE(ui.UseSelection4FilenameMI->isChecked(), !useSelection);
}

void TestSaving::changeDetector()
{
    SavingFixture f;
    const QString open = f.copySample(QStringLiteral("page.mht"));
    AppState &state = f.state;

    // Surf mode only follows the page.
    f.showPage(open, open, false);
    f.modes.SetSaveEnabled(false);
    f.browser.html = QStringLiteral("<html><body>one</body></html>");
    f.saving->Timer1Timer();
    QCOMPARE(f.modes.saveEnabled, false);
    QCOMPARE(state.LastDocSnapshot, f.browser.html);

    // Entering edit mode on an unchanged page enables nothing, whatever the
    // detector saw before (here: nothing, as right after start-up), even
    // when a tick comes while the snapshot is read (a big page).
    state.LastDocSnapshot.clear();
    f.browser.duringRead = [&] {
        f.browser.duringRead = nullptr;
        f.saving->Timer1Timer();
    };
    f.modes.seteditmode(false);
    QCOMPARE(f.modes.saveEnabled, false);
    QCOMPARE(state.LastDocSnapshot, f.browser.html);
    // A tick on an unchanged page does not even read it.
    f.browser.calls.clear();
    f.saving->Timer1Timer();
    QCOMPARE(f.modes.saveEnabled, false);
    QVERIFY(!f.browser.calls.contains(QStringLiteral("documentHtml")));

    f.browser.html = QStringLiteral("<html><body><span>one</span></body></html>");
    f.saving->Timer1Timer();
    QCOMPARE(f.modes.saveEnabled, true);

    // Right after a save the changed form of the page is only taken in; the
    // first tick reads the page even when nothing reported a change.
    f.saving->SaveMIClick();
    QCOMPARE(f.modes.saveEnabled, false);
    f.browser.calls.clear();
    f.saving->Timer1Timer();
    QVERIFY(f.browser.calls.contains(QStringLiteral("documentHtml")));
    QCOMPARE(state.LastDocSnapshot, f.browser.html);
    f.browser.html = QStringLiteral("<html><body><span>one</span> </body></html>");
    f.saving->SaveMIClick();
    f.saving->Timer1Timer();
    QCOMPARE(f.modes.saveEnabled, false);
    f.browser.html = QStringLiteral("<html><body><b>one</b></body></html>");
    f.saving->Timer1Timer();
    QCOMPARE(f.modes.saveEnabled, true);

    // A page that cannot be read is skipped without an error box, and its
    // change is seen on the next tick.
    f.modes.SetSaveEnabled(false);
    f.browser.html = QStringLiteral("<html><body><i>one</i></body></html>");
    f.browser.failNext = QStringLiteral("gone");
    f.saving->Timer1Timer();
    QVERIFY(f.dialogs.shown.isEmpty());
    QCOMPARE(f.modes.saveEnabled, false);
    f.saving->Timer1Timer();
    QCOMPARE(f.modes.saveEnabled, true);
}

void TestSaving::saveButtonAndMenuRunTheWindowsSave()
{
    SavingFixture f;
    const QString open = f.copySample(QStringLiteral("page.mht"));
    f.showPage(open, open);
    f.browser.html = QStringLiteral("<html><body>through the button</body></html>");
    f.modes.SetSaveEnabled(true);
    f.ui.SaveB->trigger();
    QVERIFY(readBytes(open).contains("through the button"));
}

QTEST_MAIN(TestSaving)
#include "tst_savecontroller.moc"
