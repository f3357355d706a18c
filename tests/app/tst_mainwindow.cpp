#include "FileSizeLimit.h"
#include "MainWindowFixture.h"
#include "app/ModeController.h"
#include "history/TMYcustomhistory.h"
#include "marking/TBitBtnWithColor.h"
#include "marking/TColorGrid.h"
#include "marking/TMyStatusBar.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSettings>
#include <QShortcut>
#include <QToolBar>
#include <QtTest>

#include <optional>

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void firstRunThenSecondRun();
    void settingsValues_data();
    void settingsValues();
    void unwritableSettingsSayOnceThenClose_data();
    void unwritableSettingsSayOnceThenClose();
    void settingsKeepBytesTheyDoNotChange();
    void exitQuestion_data();
    void exitQuestion();
    void commandLineFileGoesToHistories_data();
    void commandLineFileGoesToHistories();
    void unreadableCommandLineFileGoesHome();
    void editModeStates();
    void mhtOnlyRule_data();
    void mhtOnlyRule();
    void mhtOnlyOptionAsksOnlyWhenTurnedOff();
    void leavingEditModeUnsavedNoKeepsEditMode();
    void noDocumentRefusesModeChange();
    void hints_data();
    void hints();
    void windowComposition();
    void fileMenusAsTheFormDefines();
    void noKeyIsClaimedTwice();
};

namespace {
QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Shows an address in surf mode, the way opening a file leaves the window.
void showDocument(MainWindowFixture &f, const QString &address)
{
    f.browser.hasDocument = true;
    f.window->ui().URLs->setText(address);
    f.window->modes().seteditmode(true);
}

const QString InfoText = QStringLiteral(
    "New configuration file created. In case this is the first time you use this program: please read the info on "
    "installation, best practice and the rest of the documentation.");
} // namespace

void TestMainWindow::firstRunThenSecondRun()
{
    MainWindowFixture f;
    f.create();
    QCOMPARE(f.dialogs.texts(), QStringList{InfoText});
    QCOMPARE(f.dialogs.shown.first().kind, Dialogs::Kind::Information);
    QVERIFY(f.window->state().FirstRun);
    f.window->FormActivate({QStringLiteral("quillet")});
    QCOMPARE(f.browser.navigations.value(0), f.path(QStringLiteral("bestpractice.htm")));
    QVERIFY(f.window->state().SurfMode);
    QVERIFY(f.window->close());

    const QString ini = readFile(f.path(QStringLiteral("quillet.ini")));
    const QStringList keys = {QStringLiteral("Suppress scripts=1"),
                              QStringLiteral("Save=") + f.desktop.documents,
                              QStringLiteral("Auto mode=0"),
                              QStringLiteral("MHT only edit=1"),
                              QStringLiteral("Red=255"),
                              QStringLiteral("Green=0"),
                              QStringLiteral("Blue=0"),
                              QStringLiteral("Register MHT files=0"),
                              QStringLiteral("Launch from IE=1"),
                              QStringLiteral("Bkp-dotmht-def="),
                              QStringLiteral("Bkp-dotmht-cont="),
                              QStringLiteral("Bkp-icon-def="),
                              QStringLiteral("Bkp-open-def="),
                              QStringLiteral("Use selection for filename=1"),
                              QStringLiteral("Prepend filename=0")};
    qsizetype at = 0;
    for (const QString &key : keys) {
        const qsizetype found = ini.indexOf(key, at);
        QVERIFY2(found >= 0, qPrintable(key + QStringLiteral(" missing or out of order in\n") + ini));
        at = found;
    }

    // The second start asks nothing and goes home.
    f.dialogs.shown.clear();
    f.browser.navigations.clear();
    f.create();
    QVERIFY(f.dialogs.shown.isEmpty());
    QVERIFY(!f.window->state().FirstRun);
    f.window->FormActivate({QStringLiteral("quillet")});
    QCOMPARE(f.browser.navigations.value(0), f.browser.homeAddress);
    QVERIFY(f.window->state().HomePending);
}

void TestMainWindow::settingsValues_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("expectWritten");
    QTest::addColumn<uint>("markColor");

    QTest::newRow("red 300 keeps its low byte") << QByteArray("[Edit]\r\nRed=300\r\n") << "Red=44" << 44u;
    QTest::newRow("hex blue") << QByteArray("[Edit]\r\nRed=0\r\nBlue=0x80\r\n") << "Blue=128" << 0x800000u;
    QTest::newRow("not a number reads the default") << QByteArray("[Edit]\r\nRed=abc\r\n") << "Red=255" << 255u;
    QTest::newRow("empty folder becomes documents") << QByteArray("[Location]\r\nSave=\r\n") << "Save=DOCS" << 255u;
    QTest::newRow("folder loses one trailing slash")
        << QByteArray("[Location]\r\nSave=/data/notes/\r\n") << "Save=/data/notes\n"
        << 255u;
}

void TestMainWindow::settingsValues()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, expectWritten);
    QFETCH(uint, markColor);

    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), ini);
    f.create();
    QCOMPARE(f.window->state().MarkColor, markColor);
    QVERIFY(f.window->close());
    expectWritten.replace(QStringLiteral("DOCS"), f.desktop.documents);
    const QString written = readFile(f.path(QStringLiteral("quillet.ini"))).remove(QLatin1Char('\r'));
    QVERIFY2(written.contains(expectWritten), qPrintable(written));
}

void TestMainWindow::unwritableSettingsSayOnceThenClose_data()
{
    QTest::addColumn<bool>("fullDisk");
    // A folder in the settings file's place can be neither read nor replaced.
    QTest::newRow("folder in its place") << false;
    // Every file of the program folder is kept as it was.
    QTest::newRow("full disk") << true;
}

void TestMainWindow::unwritableSettingsSayOnceThenClose()
{
    QFETCH(bool, fullDisk);
    MainWindowFixture f;
    const QString ini = f.path(QStringLiteral("quillet.ini"));
    const QString history = f.path(QStringLiteral("webfiles.his"));
    const QByteArray settings("[Edit]\r\nRed=300\r\n");
    const QByteArray items("/a.mht\r\n/b.mht\r\n");
    if (fullDisk) {
        writeFile(ini, settings);
        writeFile(history, items);
    } else {
        QVERIFY(QDir().mkdir(ini));
    }
    std::optional<FileSizeLimit> full;
    if (fullDisk) {
        full.emplace(4);
        if (!full->active())
            QSKIP("no file size limit on this system");
    }
    f.create();
    f.window->show();
    // Loading unchanged lists writes nothing, so start-up has nothing to report.
    if (fullDisk)
        QVERIFY2(f.dialogs.shown.isEmpty(), qPrintable(f.dialogs.texts().join(u'|')));
    f.dialogs.shown.clear();
    // Escape, the Exit command's shortcut.
    f.window->ui().ExitMI->trigger();
    full.reset();

    QVERIFY(!f.window->isVisible());
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown.last().kind, Dialogs::Kind::Error);
    const QString text = f.dialogs.lastText();
    // The documented text, then the reason.
    QVERIFY2(text.startsWith(QStringLiteral("Unable to write to ") + ini + QLatin1Char('\n')) &&
                 text.size() > ini.size() + 20,
             qPrintable(text));
    if (fullDisk) {
        QCOMPARE(readBytes(ini), settings);
        QCOMPARE(readBytes(history), items);
    }
}

void TestMainWindow::settingsKeepBytesTheyDoNotChange()
{
    MainWindowFixture f;
    const QString ini = f.path(QStringLiteral("quillet.ini"));
    // Values another program wrote in its own 8-bit encoding, a comment and
    // odd spacing: the program changes none of them, so none may change.
    const QByteArray bytes = "; written elsewhere\r\n"
                             "[General]\r\nSuppress scripts=1\r\n"
                             "[Location]\r\nSave = /data/caf\xe9 notes\r\n"
                             "[Edit]\r\nAuto mode=0\r\nMHT only edit=1\r\nRed=255\r\nGreen=0\r\nBlue=0\r\n"
                             "[Shell]\r\nRegister MHT files=0\r\nLaunch from IE=1\r\n"
                             "[Registry]\r\nBkp-dotmht-def=Fichier \xab\xa0MHT\xa0\xbb\r\n"
                             "Bkp-dotmht-cont=\r\nBkp-icon-def=\r\nBkp-open-def=\xe7\xa8 \xc3\xa9t\xc3\xa9\r\n"
                             "[Save]\r\nUse selection for filename=1\r\nPrepend filename=0\r\n";
    writeFile(ini, bytes);
    f.create();
    QCOMPARE(f.window->state().DefaultSaveFolder, QStringLiteral("/data/caf\u00e9 notes"));
    QVERIFY(f.window->close());
    QCOMPARE(readBytes(ini), bytes);

    // A value the program changes is written anew; the rest stays.
    f.create();
    f.window->state().MarkColor = 0x0000FF00;
    QVERIFY(f.window->close());
    QByteArray changed = bytes;
    changed.replace("Red=255\r\nGreen=0\r\n", "Red=0\r\nGreen=255\r\n");
    QCOMPARE(readBytes(ini), changed);
}

void TestMainWindow::exitQuestion_data()
{
    QTest::addColumn<bool>("unsaved");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<int>("questions");

    QTest::newRow("nothing unsaved closes") << false << int(Dialogs::Answer::Cancel) << true << 0;
    QTest::newRow("cancel keeps running") << true << int(Dialogs::Answer::Cancel) << false << 1;
    QTest::newRow("no closes") << true << int(Dialogs::Answer::No) << true << 1;
}

void TestMainWindow::exitQuestion()
{
    QFETCH(bool, unsaved);
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(int, questions);

    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    TMainF &w = f.create();
    w.show();
    w.ui().SaveB->setEnabled(unsaved);
    f.dialogs.answers.enqueue(Dialogs::Answer(answer));
    // Escape is the Exit command's shortcut.
    QCOMPARE(w.ui().ExitMI->shortcut(), QKeySequence(Qt::Key_Escape));
    w.ui().ExitB->trigger();

    QCOMPARE(!w.isVisible(), closed);
    QCOMPARE(int(f.dialogs.shown.size()), questions);
    if (questions) {
        QCOMPARE(f.dialogs.lastText(), QStringLiteral("Save your work before exit?"));
        QCOMPARE(f.dialogs.shown.last().buttons, Dialogs::Buttons::YesNoCancel);
        QCOMPARE(w.ui().StB1->statusText(), QStringLiteral("You have not saved your work yet"));
    }
}

void TestMainWindow::commandLineFileGoesToHistories_data()
{
    QTest::addColumn<QString>("argument"); // "@" stands for the program folder
    QTest::newRow("absolute path") << "@/x+y page.mht";
    // Run from the file's folder: the file there, not a web address.
    QTest::newRow("relative to the working folder") << "x+y page.mht";
    QTest::newRow("relative with ./") << "./x+y page.mht";
}

void TestMainWindow::commandLineFileGoesToHistories()
{
    QFETCH(QString, argument);
    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    const QString archive = f.path(QStringLiteral("x+y page.mht"));
    writeFile(archive, "x");
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(f.folder.path()));
    const auto back = qScopeGuard([&] { QDir::setCurrent(before); });
    TMainF &w = f.create();
    w.FormActivate({QStringLiteral("quillet"), argument.replace(QLatin1Char('@'), f.folder.path())});
    QCOMPARE(f.browser.navigations.value(0), archive);
    // Nothing was changed: once the load has finished, Save is still off.
    QTRY_COMPARE_WITH_TIMEOUT(f.browser.ReadyState(), 4, 5000);
    QCOMPARE(w.ui().URLs->text(), archive);
    QVERIFY(!w.ui().SaveMI->isEnabled());
    Histories &h = w.histories();
    for (TMYcustomhistory *list : {h.allH, h.startH, h.renH, h.delH})
        QCOMPARE(list->histlist().value(0), archive);
    QVERIFY(h.MoveH->histlist().isEmpty());
}

void TestMainWindow::unreadableCommandLineFileGoesHome()
{
    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    const QString archive = f.path(QStringLiteral("broken.mht"));
    writeFile(archive, "x");
    TMainF &w = f.create();
    f.browser.failNext = QStringLiteral("broken.mht is not a readable web archive");
    w.FormActivate({QStringLiteral("quillet"), archive});

    QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("broken.mht is not a readable web archive")});
    QCOMPARE(f.browser.navigations, QStringList{f.browser.homeAddress});
    QVERIFY(w.histories().startH->histlist().isEmpty());
    QVERIFY(!w.state().UserNavigation);
    QVERIFY(w.state().SurfMode);
}

void TestMainWindow::editModeStates()
{
    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    TMainF &w = f.create();
    showDocument(f, QStringLiteral("/notes/page.mht"));
    w.modes().seteditmode(true);
    const int urlsLeft = w.ui().URLs->x();
    w.modes().editmodetoggle();

    MainUi &ui = w.ui();
    QVERIFY(!w.state().SurfMode);
    QCOMPARE(f.browser.designMode(), QStringLiteral("On"));
    QVERIFY(w.windowTitle().endsWith(QStringLiteral(" - Editing with Quillet")));
    QCOMPARE(w.windowTitle(), QStringLiteral("page.mht - Editing with Quillet"));
    for (QAction *off : {ui.BkB, ui.FwB, ui.stopB, ui.refreshB, ui.homeB, ui.SearchB, ui.NewMI, ui.SaveB})
        QVERIFY2(!off->isEnabled(), qPrintable(off->objectName()));
    QVERIFY(!ui.URLs->isEnabled());
    for (QAction *on : {ui.MarkMI, ui.boldMI, ui.markB, ui.setcolB})
        QVERIFY2(on->isEnabled(), qPrintable(on->objectName()));
    QVERIFY(ui.cg1->isEnabled());
    QVERIFY(ui.Timer1->isActive());
    QCOMPARE(ui.URLs->x(), ui.cg1->x() + ui.cg1->width() + 6);
    QCOMPARE(ui.UrlMemL->text(), QStringLiteral("/notes/page.mht"));

    w.modes().editmodetoggle();
    QVERIFY(w.state().SurfMode);
    QCOMPARE(ui.URLs->x(), urlsLeft);
    QVERIFY(!ui.Timer1->isActive());
    QCOMPARE(f.browser.designMode(), QStringLiteral("Off"));
}

void TestMainWindow::mhtOnlyRule_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("isMht");
    QTest::newRow("upper-case extension") << "/notes/PAGE.MHT" << true;
    QTest::newRow("htm") << "/notes/page.htm" << false;
    QTest::newRow("mht only in a folder name") << "/notes.mht/page" << false;
}

void TestMainWindow::mhtOnlyRule()
{
    QFETCH(QString, address);
    QFETCH(bool, isMht);

    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    TMainF &w = f.create();
    showDocument(f, QStringLiteral("/notes/a.mht"));
    w.modes().editmodetoggle();
    QVERIFY(!w.state().SurfMode);
    w.ui().URLs->setEnabled(true);
    w.ui().URLs->setText(address);

    MainUi &ui = w.ui();
    QCOMPARE(w.state().SurfMode, !isMht);
    // "Move to..." is a hidden menu, and Qt keeps hidden actions disabled: the
    // menu itself carries the state.
    for (QAction *action : {ui.emodeMI, ui.SaveMI, ui.SaveasMI, ui.SaveB})
        QVERIFY2(action->isEnabled() == isMht, qPrintable(action->objectName()));
    QCOMPARE(ui.EmodeB->isEnabled(), isMht);
    QCOMPARE(ui.MoveMI->isEnabled(), isMht);
    // Saving through the browser is offered for every page but an archive.
    QCOMPARE(ui.SaveAsIEMI->isEnabled(), !isMht);
    QCOMPARE(ui.SavewhenIEfailsMI->isEnabled(), !isMht);
}

void TestMainWindow::mhtOnlyOptionAsksOnlyWhenTurnedOff()
{
    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    TMainF &w = f.create();
    showDocument(f, QStringLiteral("/notes/a.mht"));

    f.dialogs.answers.enqueue(Dialogs::Answer::No);
    w.ui().MHTonlyeditMI->trigger();
    QVERIFY(w.state().MhtOnlyEdit);
    QCOMPARE(f.dialogs.shown.last().caption, QStringLiteral("Confirm"));

    f.dialogs.answers.enqueue(Dialogs::Answer::Yes);
    w.ui().MHTonlyeditMI->trigger();
    QVERIFY(!w.state().MhtOnlyEdit);
    QVERIFY(!w.ui().MHTonlyeditMI->isChecked());
    QCOMPARE(w.ui().StB1->statusText(), QStringLiteral("Advanced mode (see help file)"));

    const qsizetype asked = f.dialogs.shown.size();
    w.ui().MHTonlyeditMI->trigger();
    QCOMPARE(f.dialogs.shown.size(), asked);
    QVERIFY(w.state().MhtOnlyEdit);
    QCOMPARE(w.ui().StB1->statusText(), QStringLiteral("Editing only possible on MHT files"));
}

void TestMainWindow::leavingEditModeUnsavedNoKeepsEditMode()
{
    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    TMainF &w = f.create();
    showDocument(f, QStringLiteral("/notes/untitled.mht"));
    w.modes().editmodetoggle();
    // Switching on an untitled page leaves Save on.
    QVERIFY(w.ui().SaveB->isEnabled());
    f.dialogs.answers.enqueue(Dialogs::Answer::No);
    w.ui().emodeMI->trigger();
    QCOMPARE(f.dialogs.lastText(), QStringLiteral("You did not save. Really proceed without saving?"));
    QVERIFY(!w.state().SurfMode);
    QVERIFY(w.ui().emodeMI->isChecked());
    QCOMPARE(f.browser.designMode(), QStringLiteral("On"));
}

void TestMainWindow::noDocumentRefusesModeChange()
{
    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    TMainF &w = f.create();
    w.FormActivate({QStringLiteral("quillet")});
    f.browser.hasDocument = false;
    w.modes().editmodetoggle();
    QCOMPARE(f.dialogs.lastText(), QStringLiteral("First go to a site or open an existing document."));
    QVERIFY(!w.ui().Timer1->isActive());
}

void TestMainWindow::hints_data()
{
    QTest::addColumn<bool>("editMode");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("status");

    QTest::newRow("save off") << false << "Save"
                              << "First load a MHT file to edit and go to edit mode. Then you can save.";
    QTest::newRow("mode button off")
        << false << "First open a mht file!"
        << "First open a mht file, then you can use this button to go to edit mode! Or choose file - new mht.";
    QTest::newRow("mark off") << false << "Mark!"
                              << "First open a MHT file in edit mode, then you can use this button to highlight.";
    QTest::newRow("mark on") << true << "Mark!"
                             << "First make a selection, then hit this button to highlight with this default color.";
    QTest::newRow("colour off")
        << false << "Choose default marking color"
        << "First open a MHT file in edit mode, then you can use this button to choose a default marking color!";
    QTest::newRow("colour on keeps the text") << true << "Choose default marking color"
                                              << "Edit mode ON, Surfing mode OFF";
    QTest::newRow("back clears") << false << "Back"
                                 << "";
}

void TestMainWindow::hints()
{
    QFETCH(bool, editMode);
    QFETCH(QString, hint);
    QFETCH(QString, status);

    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    TMainF &w = f.create();
    showDocument(f, QStringLiteral("/notes/a.mht"));
    w.modes().seteditmode(!editMode);
    QStatusTipEvent tip(hint);
    QCoreApplication::sendEvent(&w, &tip);
    QCOMPARE(w.ui().StB1->statusText(), status);
}

void TestMainWindow::fileMenusAsTheFormDefines()
{
    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    f.create().FormActivate({QStringLiteral("quillet")});
    const MainUi &ui = f.window->ui();
    QVERIFY(ui.DeleteMI->menuAction()->isVisible() && ui.DeleteMI->menuAction()->isEnabled());
    QVERIFY(ui.DelBrowseMI->isEnabled());
    QCOMPARE(ui.DelBrowseMI->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
    QVERIFY(!ui.RenMI->menuAction()->isVisible() && !ui.RenMI->isEnabled());
    QVERIFY(!ui.MoveMI->menuAction()->isVisible());
    QVERIFY(ui.AboutMI->isEnabled());
}

void TestMainWindow::windowComposition()
{
    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    TMainF &w = f.create();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    showDocument(f, QStringLiteral("/notes/a.mht"));
    w.modes().editmodetoggle();
    w.ui().StB1->ShowStatusText(QStringLiteral("Edit mode ON, Surfing mode OFF"));

    const QImage shot = w.grab().toImage();
    if (const QString folder = qEnvironmentVariable("QUILLET_SCREENSHOTS"); !folder.isEmpty())
        shot.save(folder + QStringLiteral("/quillet-mainwindow.png"));

    auto at = [&](QWidget *widget, QPoint point) { return shot.pixelColor(widget->mapTo(&w, point)); };
    MainUi &ui = w.ui();
    // The mode button's face is green in edit mode, the grid shows its cells
    // right of it and the address box follows the grid.
    QCOMPARE(at(ui.EmodeB, QPoint(ui.EmodeB->width() / 2, 4)), QColor(0, 255, 0));
    for (int cell : {0, 4, 9, 15})
        QCOMPARE(at(ui.cg1, ui.cg1->cellRect(cell).center()), ui.cg1->cellColor(cell));
    QVERIFY(ui.EmodeB->mapTo(&w, QPoint()).x() < ui.cg1->mapTo(&w, QPoint()).x());
    QVERIFY(ui.cg1->mapTo(&w, QPoint(ui.cg1->width(), 0)).x() <= ui.URLs->mapTo(&w, QPoint()).x());
    // Toolbar on top, then the panel, the page, and the status bar at the bottom.
    QVERIFY(ui.ToolBar1->geometry().bottom() <= ui.Panel1->mapTo(&w, QPoint()).y());
    QCOMPARE(ui.StB1->geometry().bottom(), w.height() - 1);

    w.modes().editmodetoggle();
    QVERIFY(ui.cg1->isHidden());
    const QImage surf = w.grab().toImage();
    QCOMPARE(surf.pixelColor(ui.EmodeB->mapTo(&w, QPoint(ui.EmodeB->width() / 2, 4))), QColor(255, 0, 0));
}

namespace {
// The window whose keys reach an object: menus are popups of their own, so
// their actions belong to the window that holds the menu bar.
QWidget *hostWindow(QObject *object)
{
    for (QObject *o = object; o; o = o->parent()) {
        auto *widget = qobject_cast<QWidget *>(o);
        if (widget && !qobject_cast<QMenu *>(widget))
            return widget->window();
    }
    return nullptr;
}

// Every key a window's own controls claim: the menu bar's titles, button and
// label mnemonics, action and shortcut keys. Items of one menu may share a
// letter (Qt cycles through them); those are not window keys.
QMultiMap<QWidget *, std::pair<QKeySequence, QString>> claimedKeys(QWidget *root)
{
    QMultiMap<QWidget *, std::pair<QKeySequence, QString>> keys;
    auto claim = [&keys](QObject *owner, const QKeySequence &key, const QString &what) {
        if (!key.isEmpty())
            keys.insert(hostWindow(owner), {key, what});
    };
    for (QMenuBar *bar : root->findChildren<QMenuBar *>())
        for (QAction *title : bar->actions())
            claim(bar, QKeySequence::mnemonic(title->text()), QStringLiteral("menu bar \"%1\"").arg(title->text()));
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>())
        claim(button, button->shortcut(), QStringLiteral("button \"%1\"").arg(button->text()));
    for (QLabel *label : root->findChildren<QLabel *>())
        if (label->buddy())
            claim(label, QKeySequence::mnemonic(label->text()), QStringLiteral("label \"%1\"").arg(label->text()));
    for (QAction *action : root->findChildren<QAction *>())
        if (action->shortcutContext() != Qt::WidgetShortcut)
            for (const QKeySequence &key : action->shortcuts())
                claim(action, key, QStringLiteral("action %1 \"%2\"").arg(action->objectName(), action->text()));
    for (QShortcut *shortcut : root->findChildren<QShortcut *>())
        claim(shortcut->parent(), shortcut->key(), QStringLiteral("shortcut %1").arg(shortcut->objectName()));
    return keys;
}
} // namespace

// Qt fires neither of two controls of one window that claim the same key, so
// each clash is a key that silently does nothing.
void TestMainWindow::noKeyIsClaimedTwice()
{
    MainWindowFixture f;
    writeFile(f.path(QStringLiteral("quillet.ini")), {});
    TMainF &w = f.create();
    showDocument(f, f.path(QStringLiteral("page.mht")));
    w.ui().findtextMI->trigger(); // the find dialog exists once it was asked for

    const auto keys = claimedKeys(&w);
    QList<QWidget *> windows{&w};
    for (QDialog *dialog : w.findChildren<QDialog *>())
        windows << dialog;
    QVERIFY2(windows.size() >= 4, "the main window, the location chooser, the Save-to and the find dialog");
    QStringList clashes;
    for (QWidget *window : windows) {
        QMap<QKeySequence, QStringList> owners;
        for (const auto &[key, what] : keys.values(window))
            owners[key] << what;
        for (auto it = owners.cbegin(); it != owners.cend(); ++it)
            if (it.value().size() > 1)
                clashes << window->objectName() + QStringLiteral(": ") + it.key().toString() + QStringLiteral(" ") +
                               it.value().join(QStringLiteral(", "));
    }
    QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(QLatin1Char('\n'))));

    // Alt+E opens the Edit menu, whose "Edit mo&de" is the way to the mode by keyboard.
    QVERIFY(w.ui().EmodeB->shortcut().isEmpty());
    QCOMPARE(w.ui().EmodeB->text(), QStringLiteral("&Edit mode"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
