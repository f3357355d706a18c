#include "LibraryFixture.h"
#include "library/LibraryIndex.h"
#include "library/LibraryIndexer.h"
#include "library/LibrarySearch.h"
#include "library/LibraryTokenizer.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// The query table over one generated library: every script and encoding, the
// query forms, the marks filters and the ranking.
class tst_LibrarySearch : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<LibraryIndex> m_index;

    QString folder() const { return m_dir.filePath(QStringLiteral("library")); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(LibraryFixture::writeLibrary(folder()));
        // A long page with a hit far inside: its snippet is cut around it.
        QString words;
        for (int i = 0; i < 20000; ++i)
            words += i == 15000 ? QStringLiteral("needle ") : QStringLiteral("hay%1 ").arg(i % 7);
        QVERIFY(LibraryFixture::write(QDir(folder()).filePath(QStringLiteral("long.mht")),
                                      LibraryFixture::utf8Page(QStringLiteral("Long"), QStringLiteral("<p>") + words)));
        // The same in many paragraphs of Chinese, read in pieces.
        QString paragraphs;
        for (int i = 0; i < 3000; ++i)
            paragraphs += i == 2500 ? QStringLiteral("<p>天地玄黄宇宙洪荒日月盈昃</p>")
                                    : QStringLiteral("<p>寒来暑往秋收冬藏</p>");
        QVERIFY(LibraryFixture::write(QDir(folder()).filePath(QStringLiteral("longcjk.mht")),
                                      LibraryFixture::utf8Page(QStringLiteral("Long CJK"), paragraphs)));
        // A hit at the very token where the index notes a step: its snippet
        // still shows the words before it.
        QString stepped;
        for (int i = 0; i < 2 * LibraryTokenizer::StepTokens + 40; ++i)
            stepped +=
                i == 2 * LibraryTokenizer::StepTokens ? QStringLiteral("kingfisher ") : QStringLiteral("w%1 ").arg(i);
        QVERIFY(LibraryFixture::write(
            QDir(folder()).filePath(QStringLiteral("stepped.mht")),
            LibraryFixture::utf8Page(QStringLiteral("Stepped"), QStringLiteral("<p>") + stepped)));
        // Marks of many lengths, a word in some close together and some far apart.
        QString marks;
        for (int i = 0; i < 80; ++i) {
            QString text = i % 25 == 0 || i >= 50 ? QStringLiteral("heron") : QStringLiteral("egret");
            for (int k = 0; k < i % 7; ++k)
                text += QStringLiteral(" reed%1").arg(k);
            marks +=
                QStringLiteral("<p>Seen <span style=\"background-color: rgb(0, 255, 0);\">%1</span>.</p>").arg(text);
        }
        QVERIFY(LibraryFixture::write(QDir(folder()).filePath(QStringLiteral("birds.mht")),
                                      LibraryFixture::utf8Page(QStringLiteral("Birds"), marks)));
        m_index = std::make_unique<LibraryIndex>(m_dir.filePath(QStringLiteral("library.sqlite")));
        QVERIFY(m_index->open().ok());
        const LibraryReport report = LibraryIndexer(*m_index).run({{folder()}, {}});
        QVERIFY2(report.result.ok(), qPrintable(report.result.message));
        QCOMPARE(report.refused.size(), 1);
    }

    void queries_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("marksOnly");
        QTest::addColumn<QString>("colour");
        // File names of the hits, best first where the order matters ("|" separates).
        QTest::addColumn<QString>("hits");
        // Text every hit's snippet shows (hit words in brackets).
        QTest::addColumn<QString>("snippetHas");
        const auto row = [](const char *name, const QString &query, const QString &hits, const QString &snippet = {},
                            bool marks = false, const QString &colour = {}) {
            QTest::newRow(name) << query << marks << colour << hits << snippet;
        };
        row("utf-8 word", QStringLiteral("Straßenbahn"), QStringLiteral("utf8.mht"), QStringLiteral("[Straßenbahn]"));
        row("diacritics folded", QStringLiteral("fahrt"), QStringLiteral("utf8.mht"), QStringLiteral("[fährt]"));
        row("entity decoded", QStringLiteral("\"fährt hält\""), QStringLiteral("utf8.mht"));
        row("greek", QStringLiteral("κόσμε"), QStringLiteral("utf8.mht"));
        row("windows-1251", QStringLiteral("французских"), QStringLiteral("cp1251.mht"),
            QStringLiteral("[французских]"));
        row("cyrillic case folded", QStringLiteral("СЪЕШЬ"), QStringLiteral("cp1251.mht"));
        row("encoded subject is the title", QStringLiteral("булки"), QStringLiteral("cp1251.mht"));
        row("gb2312 two-character word in a sentence", QStringLiteral("中文"), QStringLiteral("gb2312.mht"),
            QStringLiteral("[中文]"));
        row("chinese one character", QStringLiteral("法"), QStringLiteral("gb2312.mht"), QStringLiteral("语[法]很"));
        row("chinese word that is not there", QStringLiteral("英文"), QString());
        row("chinese longer word", QStringLiteral("中文语法"), QStringLiteral("gb2312.mht"),
            QStringLiteral("[中文语法]"));
        row("chinese phrase going on after a space", QStringLiteral("\"中文语法 很\""), QStringLiteral("gb2312.mht"),
            QStringLiteral("[中文语法很]"));
        row("chinese characters apart are no word", QStringLiteral("我语"), QString());
        row("shift_jis in base64", QStringLiteral("天気"), QStringLiteral("shiftjis.mht"));
        row("word across a soft line break", QStringLiteral("extraordinary"), QStringLiteral("qp.mht"),
            QStringLiteral("[extraordinary]"));
        row("script contents are not text", QStringLiteral("scriptword"), QString());
        row("style contents are not text", QStringLiteral("stylerule"), QString());
        row("tag names are not text", QStringLiteral("span"), QString());
        row("phrase", QStringLiteral("\"quick brown fox\""), QStringLiteral("utf8.mht"),
            QStringLiteral("The [quick brown fox] jumps"));
        row("a chinese hit deep in a long page", QStringLiteral("洪荒"), QStringLiteral("longcjk.mht"),
            QStringLiteral("天地玄黄宇宙[洪荒]日月盈昃"));
        row("a hit deep in a long page", QStringLiteral("needle"), QStringLiteral("long.mht"),
            QStringLiteral("hay4 hay5 [needle] hay0 hay1"));
        row("a hit at a step of the page", QStringLiteral("kingfisher"), QStringLiteral("stepped.mht"),
            QStringLiteral("w510 w511 [kingfisher] w513"));
        row("phrase in the wrong order", QStringLiteral("\"fox brown quick\""), QString());
        row("all words must occur", QStringLiteral("fox extraordinary"), QStringLiteral("qp.mht"));
        row("words of two pages", QStringLiteral("fox французских"), QString());
        row("prefix", QStringLiteral("extraord*"), QStringLiteral("qp.mht"));
        row("OR", QStringLiteral("extraordinary OR французских"), QStringLiteral("cp1251.mht|qp.mht"));
        row("NOT", QStringLiteral("fox NOT lazy"), QStringLiteral("qp.mht"));
        row("brackets", QStringLiteral("(sighting OR jumps) lazy"), QStringLiteral("utf8.mht"));
        row("punctuation is no syntax", QStringLiteral("title:fox e-mail"), QString());
        row("title ranks above the text", QStringLiteral("notes"), QStringLiteral("title.mht,utf8.mht,notes.mht"));
        row("sub-folders are indexed", QStringLiteral("cyan"), QStringLiteral("marks.mht"));
        row("clipboard page", QStringLiteral("pasted"), QStringLiteral("clip.mht"));
        row("marks only", QStringLiteral("passage"), QStringLiteral("marks.mht|marks.mht"), QStringLiteral("[passage]"),
            true);
        row("marks only, unmarked words", QStringLiteral("jumps"), QString(), QString(), true);
        row("one colour", QStringLiteral("passage"), QStringLiteral("marks.mht"), QStringLiteral("yellow [passage]"),
            true, QStringLiteral("yellow"));
        row("one colour, every mark", QString(), QStringLiteral("marks.mht|utf8.mht"), QString(), true,
            QStringLiteral("#ffff00"));
        row("a colour nobody used", QString(), QString(), QString(), true, QStringLiteral("dark red"));
    }

    void queries()
    {
        QFETCH(QString, query);
        QFETCH(bool, marksOnly);
        QFETCH(QString, colour);
        QFETCH(QString, hits);
        QFETCH(QString, snippetHas);
        LibrarySearchOptions options;
        options.marksOnly = marksOnly;
        if (!colour.isEmpty())
            options.colour = MarkColour::fromUserText(colour);
        const LibrarySearchResult result = LibrarySearch(*m_index).find(query, options);
        QVERIFY2(result.ok(), qPrintable(result.error));
        QStringList names;
        for (const LibraryHit &hit : result.hits) {
            names << QFileInfo(hit.path).fileName();
            QVERIFY2(hit.snippet.contains(snippetHas), qPrintable(hit.snippet));
            if (!colour.isEmpty())
                QCOMPARE(hit.markColour, options.colour->hex());
        }
        // "|": any order; ",": this order.
        if (hits.contains(u',')) {
            QCOMPARE(names.join(u','), hits);
        } else {
            names.sort();
            QCOMPARE(names.join(u'|'), hits);
        }
    }

    // The index's own ranking orders hits as FTS5's bm25() with the same
    // weights; with two phrases or more it gives the same scores, with one
    // the same scores times a constant.
    void rankingIsBm25_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("query");
        const QString pages = QStringLiteral("pages");
        QTest::newRow("one word") << pages << QStringLiteral("notes");
        QTest::newRow("thousands of hits in one page") << pages << QStringLiteral("hay3");
        QTest::newRow("a phrase") << pages << QStringLiteral("\"hay4 hay5\"");
        QTest::newRow("two words") << pages << QStringLiteral("hay3 needle");
        QTest::newRow("OR") << pages << QStringLiteral("hay3 OR fox OR notes");
        QTest::newRow("unspaced characters") << pages << QStringLiteral("寒来 OR 中文");
        QTest::newRow("marks of many lengths") << QStringLiteral("mark_words") << QStringLiteral("heron");
        QTest::newRow("marks, two words") << QStringLiteral("mark_words") << QStringLiteral("heron OR reed3");
    }

    void rankingIsBm25()
    {
        QFETCH(QString, table);
        QFETCH(QString, query);
        QString error;
        const QString expression = LibrarySearch::toMatchExpression(query, error);
        const QString weights = table == QLatin1String("pages") ? QStringLiteral("10.0, 1.0") : QString();
        const auto ranked = [&](const QString &rank) {
            QSqlQuery q(m_index->database());
            q.prepare(QStringLiteral("SELECT rowid, rank FROM %1 WHERE %1 MATCH ? %2 ORDER BY rank").arg(table, rank));
            q.addBindValue(expression);
            QList<QPair<qint64, double>> rows;
            if (!q.exec())
                return rows;
            while (q.next())
                rows.append({q.value(0).toLongLong(), q.value(1).toDouble()});
            return rows;
        };
        const QList<QPair<qint64, double>> ours = ranked({});
        const QList<QPair<qint64, double>> bm25 = ranked(QStringLiteral("AND rank MATCH 'bm25(%1)'").arg(weights));
        QVERIFY(!ours.isEmpty());
        QCOMPARE(ours.size(), bm25.size());
        const bool onePhrase =
            !expression.contains(QLatin1String(" AND ")) && !expression.contains(QLatin1String(" OR "));
        const double scale = ours[0].second / bm25[0].second;
        for (qsizetype i = 0; i < ours.size(); ++i) {
            QCOMPARE(ours[i].first, bm25[i].first);
            QCOMPARE(ours[i].second, bm25[i].second * (onePhrase ? scale : 1.0));
        }
    }

    void hitDetails()
    {
        const LibrarySearchResult clip = LibrarySearch(*m_index).find(QStringLiteral("pasted"), {});
        QCOMPARE(clip.hits.size(), 1);
        QVERIFY(clip.hits[0].date.isValid());
        LibrarySearchOptions marksOnly;
        marksOnly.marksOnly = true;
        const LibrarySearchResult marks = LibrarySearch(*m_index).find(QStringLiteral("cyan"), marksOnly);
        QCOMPARE(marks.hits.size(), 1);
        QCOMPARE(marks.hits[0].markColourName, QStringLiteral("cyan"));
        QCOMPARE(marks.hits[0].markOrder, 1);
        QCOMPARE(marks.hits[0].markSentence, QStringLiteral("Then cyan passage."));
        QCOMPARE(marks.hits[0].title, QStringLiteral("Old marks"));
        // A snippet cut from a long page says so at both ends, and stays short.
        const QString deep = LibrarySearch(*m_index).find(QStringLiteral("needle"), {}).hits.value(0).snippet;
        QVERIFY2(deep.startsWith(QChar(0x2026)) && deep.endsWith(QChar(0x2026)), qPrintable(deep));
        QVERIFY(deep.size() < 300);
    }

    void badQueries_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("error");
        QTest::newRow("nothing") << QString() << QStringLiteral("Type a word to search for");
        QTest::newRow("only punctuation") << QStringLiteral("-- ,") << QStringLiteral("Type a word to search for");
        QTest::newRow("OR at the end") << QStringLiteral("fox OR") << QStringLiteral("OR needs a word after it");
        QTest::newRow("OR at the start") << QStringLiteral("OR fox") << QStringLiteral("OR needs a word on each side");
        QTest::newRow("NOT alone") << QStringLiteral("NOT fox") << QStringLiteral("NOT needs a word before it");
        QTest::newRow("two operators") << QStringLiteral("fox AND OR dog")
                                       << QStringLiteral("OR needs a word on each side");
        QTest::newRow("open bracket") << QStringLiteral("(fox") << QStringLiteral("A bracket is not closed");
        QTest::newRow("stray bracket") << QStringLiteral("fox)") << QStringLiteral("closing bracket has no opening");
        QTest::newRow("empty brackets") << QStringLiteral("fox ()") << QStringLiteral("Brackets need a word inside");
        QTest::newRow("10,000 characters")
            << QString(10000, u'x') << QStringLiteral("The query is too long (10,000 characters; at most 1,000)");
    }

    void badQueries()
    {
        QFETCH(QString, query);
        QFETCH(QString, error);
        const LibrarySearchResult result = LibrarySearch(*m_index).find(query, {});
        QVERIFY(result.hits.isEmpty());
        QVERIFY2(result.error.contains(error), qPrintable(result.error));
    }

    // Every kind of junk the lexer lets through still makes a query the
    // engine accepts: no input reaches it as syntax.
    void junkNeverBreaksTheEngine()
    {
        const QString junk = QStringLiteral("\"a\"\"b\" ** *fox NEAR(a b) {title}:x ^fox fox: + - ; ' \\ \" 中*");
        const LibrarySearchResult result = LibrarySearch(*m_index).find(junk, {});
        QVERIFY2(result.ok(), qPrintable(result.error));
    }
};

QTEST_GUILESS_MAIN(tst_LibrarySearch)
#include "tst_LibrarySearch.moc"
