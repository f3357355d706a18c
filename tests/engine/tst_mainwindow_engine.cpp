#include "EnginePage.h"
#include "FakeDesktop.h"
#include "FakeDesktopAssociation.h"
#include "FakeDialogs.h"
#include "app/ModeController.h"
#include "app/NavigationController.h"
#include "app/TMainF.h"
#include "browser/WebEngineBrowser.h"
#include "history/TMYcustomhistory.h"
#include "library/LibraryIndex.h"
#include "library/LibraryIndexer.h"
#include "libraryview/LibraryController.h"
#include "libraryview/LibraryFindController.h"
#include "libraryview/LibraryFindWindow.h"
#include "marking/TMyStatusBar.h"
#include "support/RegistryStore.h"
#include "window/AppState.h"
#include "window/MainUi.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWebEngineView>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <memory>

// The main window over the real engine: start-up with a file, marking with
// real mouse and key input, and no command inside another.
// One window serves every test, in order: starting the engine is slow.
class MainWindowEngineTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void opensTheCommandLineArchive();
    void marksWithMouseKeysAndMenus();
    void refusedArchiveIsReported_data();
    void refusedArchiveIsReported();
    void aClickWaitsForTheCommandThatWaits();
    void findInLibraryOpensTheHitSelected();

private:
    QString writeFile(const QString &name, const QByteArray &content);
    void openThroughHistory(const QString &path);
    QVariant runScript(const QString &script);
    // Centre of characters [from, to) of the paragraph's text, in view pixels.
    QPoint textCentre(int from, int to);
    QString paragraphHtml();
    QWidget *input() const { return m_browser->widget()->focusProxy(); }

    QTemporaryDir m_dir;
    FakeDialogs m_dialogs;
    FakeDesktop m_desktop;
    RegistryStore m_registry{m_dir.filePath(QStringLiteral("registry.ini"))};
    FakeDesktopAssociation m_association;
    std::unique_ptr<WebEngineBrowser> m_browser;
    std::unique_ptr<TMainF> m_window;
    QString m_archive;
};

QString MainWindowEngineTest::writeFile(const QString &name, const QByteArray &content)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

void MainWindowEngineTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray body = "<p id=\"para\">Hello marked world</p>"
                            "<p><a id=\"link\" href=\"http://example.test/next.html\">next part</a></p>";
    const QByteArrayList lines = {
        "From: <Saved by a test>",
        "Subject: Window page",
        "MIME-Version: 1.0",
        "Content-Type: multipart/related; type=\"text/html\"; boundary=\"----=_Part_1\"",
        "",
        "------=_Part_1",
        "Content-Type: text/html; charset=\"utf-8\"",
        "Content-Transfer-Encoding: 8bit",
        "Content-Location: http://example.test/page.html",
        "",
        "<!DOCTYPE html><html><head><title>Window page</title></head><body style=\"font-size:32px\">",
        body,
        "</body></html>",
        "------=_Part_1--",
        "",
    };
    m_archive = writeFile(QStringLiteral("window page.mht"), lines.join("\r\n"));
    QVERIFY(!m_archive.isEmpty());

    m_browser = std::make_unique<WebEngineBrowser>(nullptr, m_dir.path(), m_dir.filePath(QStringLiteral("cache")));
    m_window = std::make_unique<TMainF>(TMainF::Services{m_dialogs, m_desktop, *m_browser, m_dir.path(),
                                                         m_dir.filePath(QStringLiteral("quillet")), m_registry,
                                                         m_association});
    m_window->resize(1000, 700);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void MainWindowEngineTest::cleanupTestCase()
{
    m_window.reset();
    m_browser.reset();
}

void MainWindowEngineTest::openThroughHistory(const QString &path)
{
    m_window->navigation().startHitemclicked(path);
    QCOMPARE(m_browser->ReadyState(), 4);
    QCOMPARE(m_browser->LocationName(), path);
}

QVariant MainWindowEngineTest::runScript(const QString &script)
{
    return EnginePage::runScript(*m_browser, script);
}

QPoint MainWindowEngineTest::textCentre(int from, int to)
{
    return EnginePage::centreOf(*m_browser,
                                QStringLiteral("(function () { var t = document.getElementById('para').firstChild;"
                                               " var r = document.createRange(); r.setStart(t, %1); r.setEnd(t, %2);"
                                               " return r.getBoundingClientRect(); })()")
                                    .arg(from)
                                    .arg(to));
}

QString MainWindowEngineTest::paragraphHtml()
{
    return runScript(QStringLiteral("document.getElementById('para').innerHTML")).toString();
}

void MainWindowEngineTest::opensTheCommandLineArchive()
{
    const QStringList foldersBefore = m_window->histories().MoveH->histlist();
    m_window->FormActivate({QStringLiteral("quillet"), m_archive});
    QTRY_COMPARE_WITH_TIMEOUT(m_browser->ReadyState(), 4, 15000);

    QCOMPARE(m_browser->LocationName(), m_archive);
    QTRY_COMPARE(m_window->ui().URLs->text(), m_archive);
    const Histories &lists = m_window->histories();
    for (TMYcustomhistory *list : {lists.allH, lists.startH, lists.renH, lists.delH})
        QCOMPARE(list->histlist().value(0), m_archive);
    QCOMPARE(lists.MoveH->histlist(), foldersBefore);
    QVERIFY(m_window->state().SurfMode);

    // Nothing was changed: Save stays off, in surf mode and through edit mode
    // and its change detector's ticks, so neither switch nor Exit asks.
    const MainUi &ui = m_window->ui();
    QVERIFY(!ui.SaveMI->isEnabled());
    m_dialogs.shown.clear();
    m_window->modes().editmodetoggle();
    QVERIFY(!m_window->state().SurfMode);
    QSignalSpy ticks(ui.Timer1, &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 2, 10000);
    QVERIFY(!ui.SaveMI->isEnabled());
    m_window->modes().editmodetoggle();
    QVERIFY(m_window->state().SurfMode);
    QVERIFY(m_dialogs.shown.isEmpty());
}

void MainWindowEngineTest::marksWithMouseKeysAndMenus()
{
    openThroughHistory(m_archive);
    m_window->modes().editmodetoggle();
    QVERIFY(!m_window->state().SurfMode);
    QCOMPARE(m_browser->designMode(), QStringLiteral("On"));
    QCOMPARE(m_window->state().MarkColor, 255u);

    const QPoint word = textCentre(6, 12);
    QVERIFY(!word.isNull());
    EnginePage::doubleClick(input(), word);
    QTRY_COMPARE_WITH_TIMEOUT(m_browser->selectionText().trimmed(), QStringLiteral("marked"), 5000);

    // Ctrl then Space, as typed into the page.
    QTest::keyClick(input(), Qt::Key_Space, Qt::ControlModifier);
    const QRegularExpression marked(QStringLiteral("background-color: rgb\\(255, 0, 0\\);?\">marked"));
    QTRY_VERIFY2_WITH_TIMEOUT(marked.match(m_browser->documentHtml()).hasMatch(), qPrintable(paragraphHtml()), 5000);

    const MainUi &ui = m_window->ui();
    for (QAction *format : {ui.boldMI, ui.ItalicMI, ui.UndMI}) {
        QVERIFY2(format->isEnabled(), qPrintable(format->objectName()));
        format->trigger();
    }
    QString html = paragraphHtml();
    for (const char *tag : {"<b>", "<i>", "<u>"})
        QVERIFY2(html.contains(QLatin1String(tag)), qPrintable(html));
    QVERIFY2(html.contains(QStringLiteral("marked</")), qPrintable(html));

    // The engine's own undo still works in the page: the underline goes first.
    QTest::keyClick(input(), Qt::Key_Z, Qt::ControlModifier);
    QTRY_VERIFY2_WITH_TIMEOUT(!paragraphHtml().contains(QStringLiteral("<u>")), qPrintable(paragraphHtml()), 5000);
    html = paragraphHtml();
    QVERIFY2(html.contains(QStringLiteral("<b>")) && html.contains(QStringLiteral("<i>")), qPrintable(html));

    ui.FormatRemMI->trigger();
    html = paragraphHtml();
    for (const char *tag : {"<b>", "<i>", "<u>"})
        QVERIFY2(!html.contains(QLatin1String(tag)), qPrintable(html));

    // Undoing back to the mark itself, then past it, leaves the word unmarked.
    QTest::keyClick(input(), Qt::Key_Z, Qt::ControlModifier);
    QTRY_VERIFY2_WITH_TIMEOUT(paragraphHtml().contains(QStringLiteral("<b>")), qPrintable(paragraphHtml()), 5000);
    for (int step = 0; step < 2; ++step)
        QTest::keyClick(input(), Qt::Key_Z, Qt::ControlModifier);
    QTRY_VERIFY2_WITH_TIMEOUT(marked.match(paragraphHtml()).hasMatch() &&
                                  !paragraphHtml().contains(QLatin1String("<b>")) &&
                                  !paragraphHtml().contains(QLatin1String("<i>")),
                              qPrintable(paragraphHtml()), 5000);
    QTest::keyClick(input(), Qt::Key_Z, Qt::ControlModifier);
    QTRY_VERIFY2_WITH_TIMEOUT(!paragraphHtml().contains(QStringLiteral("rgb(255, 0, 0)")), qPrintable(paragraphHtml()),
                              5000);
    QCOMPARE(paragraphHtml(), QStringLiteral("Hello marked world"));
}

void MainWindowEngineTest::refusedArchiveIsReported_data()
{
    QTest::addColumn<bool>("followLink");
    QTest::newRow("chosen in the Open dialog") << false;
    QTest::newRow("followed from a link in the page") << true;
}

// The reader's reason, as check gives it; the page shown and every history stay.
void MainWindowEngineTest::refusedArchiveIsReported()
{
    QFETCH(bool, followLink);
    const QString refused =
        writeFile(QStringLiteral("refused.mht"), "Content-Type: multipart/related; boundary=b\r\n\r\n"
                                                 "--b\r\nContent-Type: text/html\r\n\r\n<p>cut");
    const QString linking = writeFile(QStringLiteral("linking.htm"),
                                      "<html><body><a id=\"to\" href=\"refused.mht\">refused</a></body></html>");
    openThroughHistory(linking);
    const auto histories = [this] {
        const Histories &h = m_window->histories();
        QList<QStringList> lists;
        for (const TMYcustomhistory *list : {h.allH, h.startH, h.renH, h.delH, h.backH, h.MoveH})
            lists.append(list->histlist());
        return lists;
    };
    const QList<QStringList> before = histories();
    m_dialogs.shown.clear();
    if (followLink) {
        runScript(QStringLiteral("document.getElementById('to').click(); true"));
    } else {
        m_dialogs.fileNames.enqueue(refused);
        m_window->ui().OpenbrowseMI->trigger();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!m_dialogs.shown.isEmpty(), 10000);
    QCOMPARE(m_dialogs.texts(), QStringList{refused + QStringLiteral(" is not a readable web archive: the archive is "
                                                                     "truncated (its closing boundary is missing)")});
    QCOMPARE(m_dialogs.shown.first().kind, Dialogs::Kind::Error);
    QCOMPARE(histories(), before);
    QCOMPARE(m_browser->LocationName(), linking);
    QCOMPARE(m_window->ui().URLs->text(), linking);
}

// A click as the window system delivers it: queued, and taken when the event
// loop next takes user input.
static void clickAsTheUser(QWidget *widget)
{
    QWidget *top = widget->window();
    const QPointF local = widget->mapTo(top, widget->rect().center());
    const QPointF global = widget->mapToGlobal(widget->rect().center());
    for (const auto &[type, held] : {std::pair{QEvent::MouseButtonPress, Qt::MouseButtons(Qt::LeftButton)},
                                     std::pair{QEvent::MouseButtonRelease, Qt::MouseButtons()}})
        QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
            top->windowHandle(), local, global, held, Qt::LeftButton, type);
}

// A command waits for the engine's answer; a click on another command in
// the meantime runs that command after it, never inside it.
void MainWindowEngineTest::aClickWaitsForTheCommandThatWaits()
{
    openThroughHistory(m_archive);
    m_window->modes().editmodetoggle();
    QVERIFY(!m_window->state().SurfMode);
    const MainUi &ui = m_window->ui();
    QWidget *bold = ui.ToolBar1->widgetForAction(ui.BoldB);
    QVERIFY(bold && bold->isEnabled());
    bool marking = false;
    QList<bool> boldDuringMark;
    connect(ui.boldMI, &QAction::triggered, this, [&] { boldDuringMark << marking; });

    // The page is busy for a second, so Mark's script waits behind it; the
    // click comes during that wait.
    qobject_cast<QWebEngineView *>(m_browser->widget())
        ->page()
        ->runJavaScript(QStringLiteral("var t = Date.now() + 1000; while (Date.now() < t);"),
                        QWebEngineScript::ApplicationWorld);
    QTimer::singleShot(0, this, [bold] { clickAsTheUser(bold); });
    marking = true;
    ui.MarkMI->trigger();
    marking = false;
    QTRY_COMPARE_WITH_TIMEOUT(boldDuringMark, QList<bool>{false}, 5000);
}

// Ctrl+Shift+F, a word, Enter: the archive that holds it opens with the
// word selected and scrolled into view.
void MainWindowEngineTest::findInLibraryOpensTheHitSelected()
{
    openThroughHistory(m_archive);
    QByteArray filler;
    for (int i = 0; i < 80; ++i)
        filler += "<p>The garden path winds past the river.</p>";
    const QString found =
        writeFile(QStringLiteral("botany.mht"),
                  "Subject: Botany\r\nMIME-Version: 1.0\r\n"
                  "Content-Type: multipart/related; type=\"text/html\"; boundary=\"----=_Part_1\"\r\n\r\n"
                  "------=_Part_1\r\nContent-Type: text/html; charset=\"utf-8\"\r\nContent-Transfer-Encoding: 8bit\r\n"
                  "Content-Location: http://example.test/botany.html\r\n\r\n<html><body>" +
                      filler + "<p>At the far end grows a <b>Heliotrope</b> by the wall.</p>" + filler +
                      "</body></html>\r\n------=_Part_1--\r\n");
    QVERIFY(!found.isEmpty());
    {
        LibraryIndex index(m_window->library().indexPath());
        QVERIFY(index.open().ok());
        QCOMPARE(LibraryIndexer(index).run({{}, {found}}).read, 1);
    }

    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    // Ctrl first, as most users press it: Shift first and then Ctrl and F
    // is the Ctrl-then-F chord, text in the page.
    const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::ShiftModifier;
    QTest::simulateEvent(m_window.get(), true, Qt::Key_Control, Qt::NoModifier, QString(), false);
    QTest::simulateEvent(m_window.get(), true, Qt::Key_Shift, Qt::ControlModifier, QString(), false);
    QTest::simulateEvent(m_window.get(), true, Qt::Key_F, both, QStringLiteral("F"), false);
    QTest::simulateEvent(m_window.get(), false, Qt::Key_F, both, QStringLiteral("F"), false);
    QTest::simulateEvent(m_window.get(), false, Qt::Key_Shift, both, QString(), false);
    QTest::simulateEvent(m_window.get(), false, Qt::Key_Control, Qt::ControlModifier, QString(), false);
    LibraryFindWindow *find = m_window->libraryFind().findWindow();
    QVERIFY(find && find->isVisible());
    auto *query = find->findChild<QLineEdit *>(QStringLiteral("LibraryQueryE"));
    QTest::keyClicks(query, QStringLiteral("heliotrope"));
    QTRY_COMPARE_WITH_TIMEOUT(find->findChild<QLabel *>(QStringLiteral("LibraryCountL"))->text(),
                              QStringLiteral("1 hit"), 5000);
    QTest::keyClick(query, Qt::Key_Return);

    QCOMPARE(m_browser->LocationName(), found);
    QCOMPARE(m_browser->selectionText(), QStringLiteral("Heliotrope"));
    // Scrolled into view: the page is no longer at its top.
    QVERIFY(runScript(QStringLiteral("window.scrollY")).toInt() > 0);
    find->close();
}

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    MainWindowEngineTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow_engine.moc"
