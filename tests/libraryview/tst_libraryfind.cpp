#include "LibraryViewFixture.h"
#include "libraryview/LibraryFindController.h"
#include "libraryview/LibraryFindWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

namespace {

struct Fixture : LibraryViewFixture
{
    LibraryFindController find{ui, browser, dialogs, modes, *navigator, library, window};

    Fixture() { find.connectCommands(); }

    template <typename T> T *control(const char *name) const
    {
        return find.findWindow() ? find.findWindow()->findChild<T *>(QLatin1String(name)) : nullptr;
    }
};

} // namespace

class TestLibraryFind : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void enterOpensTheFirstHitSelected_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("colour"); // of the colour box; "" for any
        QTest::addColumn<bool>("unsaved");   // edit mode with unsaved work, kept
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("opened");    // file name; "" for none
        QTest::addColumn<QString>("selection"); // what the page shows selected
        QTest::addColumn<int>("occurrence");

        QTest::newRow("a word, as the page writes it") << "heron"
                                                       << "" << false << "1 hit"
                                                       << "birds.mht"
                                                       << "Heron" << 0;
        QTest::newRow("a word after a longer one holding it") << "fox"
                                                              << "" << false << "1 hit"
                                                              << "foxes.mht"
                                                              << "fox" << 1;
        QTest::newRow("a phrase") << "\"brown walrus\""
                                  << "" << false << "1 hit"
                                  << "walrus.mht"
                                  << "brown walrus" << 0;
        QTest::newRow("a passage marked cyan") << "passage"
                                               << "cyan" << false << "1 hit"
                                               << "marks.mht"
                                               << "cyan passage" << 0;
        QTest::newRow("unsaved work kept") << "heron"
                                           << "" << true << "1 hit"
                                           << ""
                                           << "" << 0;
        QTest::newRow("nothing") << "zebra"
                                 << "" << false << "Nothing found"
                                 << ""
                                 << "" << 0;
        QTest::newRow("a query the full-text engine cannot take") << "(heron"
                                                                  << "" << false << "A bracket is not closed"
                                                                  << ""
                                                                  << "" << 0;
        QTest::newRow("a query of 10,000 characters")
            << QString(10000, u'a') << "" << false << "The query is too long (10,000 characters; at most 1,000)"
            << ""
            << "" << 0;
    }

    // Typing finds after a pause and shows the count; Enter opens the first
    // hit the way the file-open history does and selects the hit in the page.
    void enterOpensTheFirstHitSelected()
    {
        QFETCH(QString, query);
        QFETCH(QString, colour);
        QFETCH(bool, unsaved);
        QFETCH(QString, count);
        QFETCH(QString, opened);
        QFETCH(QString, selection);
        QFETCH(int, occurrence);

        Fixture f;
        f.page(QStringLiteral("birds.mht"), QStringLiteral("Birds"),
               QStringLiteral("<p>Heron on the bank; a heron again.</p>"));
        f.page(QStringLiteral("foxes.mht"), QStringLiteral("Den"),
               QStringLiteral("<p>Many foxes here, then one fox.</p>"));
        f.page(QStringLiteral("walrus.mht"), QStringLiteral("Sea"),
               QStringLiteral("<p>A brown walrus, a grey walrus.</p>"));
        f.page(QStringLiteral("marks.mht"), QStringLiteral("Marks"),
               QStringLiteral("<p>A <span style=\"background-color: #ffff00\">yellow passage</span> and a "
                              "<span style=\"background-color: rgb(0, 255, 255)\">cyan passage</span>.</p>"));
        QVERIFY(f.indexAll());
        if (unsaved) {
            f.showPage(QStringLiteral("/kept.mht"), QStringLiteral("/kept.mht"));
            f.modes.SetSaveEnabled(true);
            f.modes.leaveAnswer = false;
        }

        f.ui.FindLibraryMI->trigger();
        QVERIFY(f.find.findWindow() && f.find.findWindow()->isVisible());
        if (!colour.isEmpty()) {
            auto *colours = f.control<QComboBox>("LibraryColourCB");
            colours->setCurrentIndex(colours->findText(colour));
        }
        // A pasted query arrives at once.
        if (query.size() > 100)
            f.control<QLineEdit>("LibraryQueryE")->setText(query);
        else
            QTest::keyClicks(f.control<QLineEdit>("LibraryQueryE"), query);
        QTRY_COMPARE_WITH_TIMEOUT(f.control<QLabel>("LibraryCountL")->text(), count, 5000);
        QTest::keyClick(f.control<QLineEdit>("LibraryQueryE"), Qt::Key_Return);

        QCOMPARE(f.modes.leaveQuestions, unsaved ? 1 : 0);
        if (opened.isEmpty()) {
            QCOMPARE(f.navigator->opened, QStringList());
            QVERIFY(f.browser.selectedTexts.isEmpty());
            return;
        }
        QCOMPARE(f.navigator->opened, QStringList{f.libraryFolder() + QLatin1Char('/') + opened});
        QCOMPARE(f.browser.selectedTexts.size(), 1);
        QCOMPARE(f.browser.selectedTexts.first().second, occurrence);
        QCOMPARE(f.browser.selection.simplified(), selection);
    }

    void hitsShowTheirPassage()
    {
        Fixture f;
        f.page(QStringLiteral("marks.mht"), QStringLiteral("Marks & notes"),
               QStringLiteral("<p>A <span style=\"background-color: #ffff00\">yellow passage</span> here.</p>"));
        QVERIFY(f.indexAll());
        f.ui.FindLibraryMI->trigger();
        f.control<QCheckBox>("LibraryMarksOnlyCB")->setChecked(true);
        QTRY_COMPARE_WITH_TIMEOUT(f.control<QLabel>("LibraryCountL")->text(), QStringLiteral("1 hit"), 5000);
        const QListWidgetItem *item = f.control<QListWidget>("LibraryHitsLST")->item(0);
        const QString html = item->data(Qt::UserRole + 1).toString();
        QVERIFY2(html.contains(QStringLiteral("<b>Marks &amp; notes</b>")), qPrintable(html));
        QVERIFY2(html.contains(QDir::toNativeSeparators(f.libraryFolder())), qPrintable(html));
        QVERIFY2(html.contains(QStringLiteral("2024-05-14")), qPrintable(html));
        QCOMPARE(item->data(Qt::UserRole + 2).toString(), QStringLiteral("#ffff00"));

        f.control<QLineEdit>("LibraryQueryE")->setText(QStringLiteral("yellow"));
        QTRY_VERIFY_WITH_TIMEOUT(f.control<QListWidget>("LibraryHitsLST")
                                     ->item(0)
                                     ->data(Qt::UserRole + 1)
                                     .toString()
                                     .contains(QStringLiteral("<b>yellow</b> passage")),
                                 5000);
    }
};

QTEST_MAIN(TestLibraryFind)
#include "tst_libraryfind.moc"
