#include "library/LibraryIndex.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// The terms the library's tokenizer puts into the index, and their
// positions, as FTS5 itself lists them.
class tst_LibraryTokenizer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void terms_data()
    {
        QTest::addColumn<QString>("text");
        // term@position, in position order.
        QTest::addColumn<QString>("terms");
        QTest::newRow("spaced words, case and diacritics folded")
            << QStringLiteral("Crème BRÛLÉE, twice") << QStringLiteral("creme@0 brulee@1 twice@2");
        QTest::newRow("chinese: a character a term")
            << QStringLiteral("学习中文") << QStringLiteral("学@0 习@1 中@2 文@3");
        QTest::newRow("unspaced characters between words")
            << QStringLiteral("Qt中文ok 東京 tower") << QStringLiteral("qt@0 中@1 文@2 ok@3 東@4 京@5 tower@6");
        QTest::newRow("punctuation between characters is no term")
            << QStringLiteral("天気。「晴れ」") << QStringLiteral("天@0 気@1 晴@2 れ@3");
        QTest::newRow("thai") << QStringLiteral("ภาษา") << QStringLiteral("ภ@0 า@1 ษ@2 า@3");
        QTest::newRow("hangul is spaced") << QStringLiteral("한국어 문법") << QStringLiteral("한국어@0 문법@1");
    }

    void terms()
    {
        QFETCH(QString, text);
        QFETCH(QString, terms);
        QTemporaryDir dir;
        LibraryIndex index(dir.filePath(QStringLiteral("t.sqlite")));
        QVERIFY(index.open().ok());
        QSqlQuery q(index.database());
        QVERIFY(q.exec(QStringLiteral("CREATE VIRTUAL TABLE t USING fts5(x, tokenize='quillet')")));
        QVERIFY(q.exec(QStringLiteral("CREATE VIRTUAL TABLE v USING fts5vocab(t, 'instance')")));
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO t(x) VALUES(?)")));
        q.addBindValue(text);
        QVERIFY(q.exec());
        QVERIFY(q.exec(QStringLiteral("SELECT term, offset FROM v ORDER BY offset")));
        QStringList found;
        while (q.next())
            found << q.value(0).toString() + u'@' + q.value(1).toString();
        QCOMPARE(found.join(u' '), terms);
    }
};

QTEST_GUILESS_MAIN(tst_LibraryTokenizer)
#include "tst_LibraryTokenizer.moc"
