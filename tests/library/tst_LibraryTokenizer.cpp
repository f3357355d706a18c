#include "library/LibraryIndex.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

// The terms the library's tokenizer puts into the index, and their
// positions, as FTS5 itself lists them: tokenized as the row is written, and
// replayed from tokens made ahead on another thread.
class tst_LibraryTokenizer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void terms_data()
    {
        QTest::addColumn<QString>("text");
        // term@position, in position order.
        QTest::addColumn<QString>("terms");
        // The text tokenized ahead; null for the row's own text.
        QTest::addColumn<QString>("ahead");
        QTest::newRow("spaced words, case and diacritics folded")
            << QStringLiteral("Crème BRÛLÉE, twice") << QStringLiteral("creme@0 brulee@1 twice@2") << QString();
        QTest::newRow("chinese: a character a term")
            << QStringLiteral("学习中文") << QStringLiteral("学@0 习@1 中@2 文@3") << QString();
        QTest::newRow("unspaced characters between words")
            << QStringLiteral("Qt中文ok 東京 tower") << QStringLiteral("qt@0 中@1 文@2 ok@3 東@4 京@5 tower@6")
            << QString();
        QTest::newRow("punctuation between characters is no term")
            << QStringLiteral("天気。「晴れ」") << QStringLiteral("天@0 気@1 晴@2 れ@3") << QString();
        QTest::newRow("thai") << QStringLiteral("ภาษา") << QStringLiteral("ภ@0 า@1 ษ@2 า@3") << QString();
        QTest::newRow("hangul is spaced")
            << QStringLiteral("한국어 문법") << QStringLiteral("한국어@0 문법@1") << QString();
        QTest::newRow("words far apart, a long word folded")
            << QStringLiteral("alpha") + QString(300, u' ') + QString(200, u'B')
            << QStringLiteral("alpha@0 ") + QString(200, u'b') + QStringLiteral("@1") << QString();
        QTest::newRow("tokens of another text of the same size are not replayed")
            << QStringLiteral("Eagle owl") << QStringLiteral("eagle@0 owl@1") << QStringLiteral("Heron ibis");
    }

    void terms()
    {
        QFETCH(QString, text);
        QFETCH(QString, terms);
        QFETCH(QString, ahead);
        QTemporaryDir dir;
        LibraryIndex index(dir.filePath(QStringLiteral("t.sqlite")));
        QVERIFY(index.open().ok());
        QByteArray tokens;
        const std::unique_ptr<LibraryTokenizer::Ahead> tokenizer = index.tokenizerAhead();
        std::thread([&] { tokens = tokenizer->tokens(ahead.isNull() ? text : ahead); }).join();
        QVERIFY(!tokens.isEmpty());
        QSqlQuery q(index.database());
        for (const QString &table : {QStringLiteral("t"), QStringLiteral("replayed")}) {
            QVERIFY(q.exec(QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(x, tokenize='quillet')").arg(table)));
            QVERIFY(q.exec(QStringLiteral("CREATE VIRTUAL TABLE %1_v USING fts5vocab(%1, 'instance')").arg(table)));
            QVERIFY(q.prepare(QStringLiteral("INSERT INTO %1(x) VALUES(?)").arg(table)));
            q.addBindValue(text);
            {
                const LibraryTokenizer::Replay replay(table == QLatin1String("t") ? QByteArray() : tokens);
                QVERIFY(q.exec());
            }
            QVERIFY(q.exec(QStringLiteral("SELECT term, offset FROM %1_v ORDER BY offset").arg(table)));
            QStringList found;
            while (q.next())
                found << q.value(0).toString() + u'@' + q.value(1).toString();
            QCOMPARE(found.join(u' '), terms);
        }
    }
};

QTEST_GUILESS_MAIN(tst_LibraryTokenizer)
#include "tst_LibraryTokenizer.moc"
