#include "LibraryViewFixture.h"
#include "libraryview/PageMarksController.h"
#include "libraryview/PageMarksDialog.h"

#include <QListWidget>
#include <QtTest>

namespace {

const QString Yellow = QStringLiteral("background-color: rgb(255, 255, 0)");

QString marked(const QString &text, const QString &style = Yellow)
{
    return QStringLiteral("<span style=\"%1\">%2</span>").arg(style, text);
}

} // namespace

class TestPageMarks : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void listsTheMarksAndSelectsTheChosenOne_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<int>("occurrence");

        const QString twice = QStringLiteral("<p>One %1 and %2, then alpha unmarked and %3.</p>")
                                  .arg(marked(QStringLiteral("alpha")),
                                       marked(QStringLiteral("beta"), QStringLiteral("background-color: #00ffff")),
                                       marked(QStringLiteral("alpha")));
        QTest::newRow("a passage the page holds more than once")
            << twice << QStringList{QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("alpha")} << 2
            << "alpha" << 2;
        QTest::newRow("another colour") << twice
                                        << QStringList{QStringLiteral("alpha"), QStringLiteral("beta"),
                                                       QStringLiteral("alpha")}
                                        << 1 << "beta" << 0;
        // The engine splits a passage marked over formatting and blocks; the list has it once.
        QTest::newRow("one passage in pieces")
            << QStringLiteral("<p>%1</p><p>%2 after.</p>")
                   .arg(marked(QStringLiteral("quick <b>brown</b>")), marked(QStringLiteral("fox")))
            << QStringList{QStringLiteral("quick brown fox")} << 0 << "quick brown fox" << 0;
        QTest::newRow("no marks") << QStringLiteral("<p>Plain.</p>") << QStringList() << -1 << "" << 0;
    }

    void listsTheMarksAndSelectsTheChosenOne()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, listed);
        QFETCH(int, chosen);
        QFETCH(QString, selection);
        QFETCH(int, occurrence);

        LibraryViewFixture f;
        PageMarksController marks{f.ui, f.browser, f.dialogs, f.window};
        marks.connectCommands();
        f.showPage(QStringLiteral("/page.mht"), QStringLiteral("/page.mht"));
        f.browser.html = QStringLiteral("<html><body>%1</body></html>").arg(body);

        f.ui.PageMarksMI->trigger();

        auto *list = marks.dialog()->findChild<QListWidget *>(QStringLiteral("PageMarksLST"));
        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        QCOMPARE(shown, listed);
        if (chosen < 0)
            return;
        list->setCurrentRow(chosen);
        Q_EMIT list->itemActivated(list->currentItem());
        QCOMPARE(f.browser.selectedTexts.size(), 1);
        QCOMPARE(f.browser.selectedTexts.first().second, occurrence);
        QCOMPARE(f.browser.selection.simplified(), selection);
    }

    // A mark gone from the page (the user removed it) is not selected in its
    // place; the list is read again.
    void aMarkGoneIsNotSelected()
    {
        LibraryViewFixture f;
        PageMarksController marks{f.ui, f.browser, f.dialogs, f.window};
        f.showPage(QStringLiteral("/page.mht"), QStringLiteral("/page.mht"));
        f.browser.html = QStringLiteral("<html><body><p>%1</p></body></html>").arg(marked(QStringLiteral("gone")));
        marks.PageMarksMIClick();
        f.browser.html = QStringLiteral("<html><body><p>other</p></body></html>");
        marks.chooseMark(0);
        QCOMPARE(f.status(), QStringLiteral("The mark is no longer on the page"));
        QVERIFY(marks.marks().isEmpty());
    }
};

QTEST_MAIN(TestPageMarks)
#include "tst_pagemarks.moc"
