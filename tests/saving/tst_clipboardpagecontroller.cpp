#include "ControllerFixture.h"
#include "TestFiles.h"
#include "archive/MhtmlReader.h"
#include "saving/ClipboardPageController.h"
#include "saving/SaveController.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QtTest>

namespace {

const QString Address = QStringLiteral("https://example.org/a?b=1&c=\"q\"<b>");
const QString EscapedAddress = QStringLiteral("https://example.org/a?b=1&amp;c=&quot;q&quot;&lt;b&gt;");

// The clipboard page controller over the fixture, with the save controller
// it saves through, the shipped template in the program folder, a selection
// on the clipboard and a scripted Save-to dialog.
struct ClipboardFixture : ControllerFixture
{
    SaveController saving{state, ui, histories, browser, dialogs, modes, *navigator, archives, saveTo, folders, beep};
    ClipboardPageController page{state, histories, browser, dialogs, modes, *navigator, saving, beep};

    QString target() const { return saveFolder() + QStringLiteral("/My page title.mht"); }

    ClipboardFixture()
    {
        QFile::copy(qEnvironmentVariable("QUILLET_SHIPPED_DATA") + QStringLiteral("/untitled.mht"),
                    path(QStringLiteral("untitled.mht")));
        histories.MoveH->AddItem(saveFolder());
        auto *selection = new QMimeData;
        selection->setHtml(QStringLiteral("<b>the selection</b>"));
        selection->setText(QStringLiteral("the selection"));
        QGuiApplication::clipboard()->setMimeData(selection);
    }

    ClipboardPageController::Outcome run(const QString &marked)
    {
        return page.FormCreate(saveTo, {QStringLiteral("quillet"), marked, Address});
    }
    void choose(const QString &folder)
    {
        saveTo.choices.enqueue(FakeSaveToChooser::Choice{folder, QStringLiteral("My page title")});
    }
};

using TestFiles::readBytes;

} // namespace

class TestClipboardPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectionBecomesASavedPage()
    {
        ClipboardFixture f;
        f.choose(f.saveFolder());
        QCOMPARE(f.run(QStringLiteral("HEADER_IE2QuilletMy_page_title")), ClipboardPageController::Outcome::Finished);

        QCOMPARE(f.saveTo.requests.size(), 1);
        const SaveToChooser::Request &request = f.saveTo.requests[0];
        QCOMPARE(request.caption, QStringLiteral("Save to..."));
        QCOMPARE(request.title, QStringLiteral("My page title"));
        QCOMPARE(request.folders, QStringList{f.saveFolder()});
        QCOMPARE(request.startFolder, f.saveFolder());

        QCOMPARE(f.browser.navigations.last(), f.target());
        QCOMPARE(f.saveTo.timerStarts, 1);
        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shown[0].kind, Dialogs::Kind::Plain);
        QCOMPARE(f.dialogs.shown[0].text, QStringLiteral("Auto saving..."));
        QCOMPARE(f.browser.insertedHtml,
                 QStringList({QStringLiteral("<P><i>This has been copied from </i><A href=\"") + EscapedAddress +
                                  QStringLiteral("\">") + EscapedAddress + QStringLiteral("</A></P>"),
                              QStringLiteral("<b>the selection</b>")}));

        const MhtmlReadResult saved = MhtmlReader().readFile(f.target());
        QVERIFY2(saved.ok(), qPrintable(saved.error));
        const QString html = saved.archive.rootHtml();
        QVERIFY(html.indexOf(QStringLiteral("This has been copied from")) <
                html.indexOf(QStringLiteral("<b>the selection</b>")));
        QVERIFY(!f.state.SurfMode);
        QCOMPARE(f.modes.saveEnabled, false);
    }

    void startsWithoutThePageUnlessAsked_data()
    {
        QTest::addColumn<QString>("marked");
        QTest::addColumn<bool>("asked");
        QTest::newRow("no launcher argument") << QString() << false;
        QTest::newRow("a file argument") << QStringLiteral("/tmp/page.mht") << false;
        QTest::newRow("dialog cancelled") << QStringLiteral("HEADER_IE2QuilletMy_page_title") << true;
    }
    void startsWithoutThePageUnlessAsked()
    {
        QFETCH(QString, marked);
        QFETCH(bool, asked);
        ClipboardFixture f;
        const int navigations = int(f.browser.navigations.size());
        QCOMPARE(f.run(marked), ClipboardPageController::Outcome::Finished);
        QCOMPARE(f.saveTo.requests.size(), asked ? 1 : 0);
        QCOMPARE(f.browser.navigations.size(), navigations);
        QCOMPARE(QDir(f.saveFolder()).entryList(QDir::Files), QStringList());
    }

    void overwriteQuestionDecides_data()
    {
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::newRow("kept") << Dialogs::Answer::No;
        QTest::newRow("overwritten") << Dialogs::Answer::Yes;
    }
    void overwriteQuestionDecides()
    {
        QFETCH(Dialogs::Answer, answer);
        ClipboardFixture f;
        QFile old(f.target());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        f.choose(f.saveFolder());
        f.dialogs.answers.enqueue(answer);
        QCOMPARE(f.run(QStringLiteral("HEADER_IE2QuilletMy_page_title")), ClipboardPageController::Outcome::Finished);
        QCOMPARE(f.dialogs.shown[0].text,
                 f.target() +
                     QStringLiteral(" exists already. If you continue this file will be overwritten! Continue?"));
        QCOMPARE(readBytes(f.target()) == "old", answer == Dialogs::Answer::No);
    }

    void refusedFolderAsksAgain_data()
    {
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("creation declined")
            << Dialogs::Answer::No << QStringList{QStringLiteral("The given path does not exist. I try to create it?")};
        QTest::newRow("creation failed") << Dialogs::Answer::Yes
                                         << QStringList{
                                                QStringLiteral("The given path does not exist. I try to create it?"),
                                                QStringLiteral("Creating of path %1 failed!")};
    }
    void refusedFolderAsksAgain()
    {
        QFETCH(Dialogs::Answer, answer);
        QFETCH(QStringList, texts);
        ClipboardFixture f;
        // A folder below a file can never be made.
        QFile file(f.path(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString dir = f.path(QStringLiteral("file/sub"));
        f.choose(dir);
        f.dialogs.answers.enqueue(answer);
        QCOMPARE(f.run(QStringLiteral("HEADER_IE2QuilletMy_page_title")), ClipboardPageController::Outcome::AskAgain);
        if (texts.size() > 1)
            texts[1] = texts[1].arg(dir);
        QCOMPARE(f.dialogs.texts(), texts);
        QVERIFY(!QFileInfo::exists(dir));
    }
};

QTEST_MAIN(TestClipboardPage)
#include "tst_clipboardpagecontroller.moc"
