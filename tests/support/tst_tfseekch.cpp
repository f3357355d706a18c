#include "FakeDialogs.h"
#include "TestFiles.h"
#include "support/ScriptStripper.h"
#include "support/Tfseekch.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

using TestFiles::readBytes;
using TestFiles::writeBytes;

class TestTfseekch : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void findsConsecutiveOccurrences_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<QList<qint64>>("positions");
        QTest::newRow("case-insensitive")
            << QByteArray("x<ScRiPt>y<script") << QByteArray("<SCRIPT") << false << QList<qint64>{2, 11, -1};
        QTest::newRow("case-sensitive") << QByteArray("<script><SCRIPT") << QByteArray("<SCRIPT") << true
                                        << QList<qint64>{9, -1};
        QTest::newRow("breaking byte starts a new match")
            << QByteArray("<</SCRIPT>") << QByteArray("</SCRIPT>") << false << QList<qint64>{2, -1};
        QTest::newRow("overlapping prefix")
            << QByteArray("aaab aab") << QByteArray("aab") << true << QList<qint64>{2, 6, -1};
        QTest::newRow("letter first, any case")
            << QByteArray("..SCR..scr") << QByteArray("scr") << false << QList<qint64>{3, 8, -1};
        // A match that straddles two blocks, and one ending the file.
        QTest::newRow("across blocks") << QByteArray(Tfseekch::BlockSize - 3, 'x') + "<script>" + "</script>"
                                       << QByteArray("</script>") << false
                                       << QList<qint64>{Tfseekch::BlockSize - 3 + 8 + 1, -1};
    }
    void findsConsecutiveOccurrences()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, text);
        QFETCH(bool, caseSensitive);
        QFETCH(QList<qint64>, positions);
        const QString path = m_dir.filePath(QStringLiteral("scan.htm"));
        QVERIFY(writeBytes(path, content));
        FakeDialogs dialogs;
        int blocks = 0;
        Tfseekch scanner(path, dialogs, [&] { ++blocks; });
        QList<qint64> found;
        for (qsizetype i = 0; i < positions.size(); ++i) {
            found << scanner.FindNext(text, caseSensitive);
            if (found.last() != -1)
                QCOMPARE(scanner.position(), found.last() + qint64(text.size()));
        }
        QCOMPARE(found, positions);
        QVERIFY(scanner.atEnd());
        QCOMPARE(blocks, int((content.size() - 1) / Tfseekch::BlockSize));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void deliversBytesAndSeeks()
    {
        const QString path = m_dir.filePath(QStringLiteral("bytes.htm"));
        QVERIFY(writeBytes(path, "abc"));
        FakeDialogs dialogs;
        Tfseekch scanner(path, dialogs);
        scanner.NextByte();
        QCOMPARE(scanner.currentByte(), (unsigned char)'a');
        scanner.SeekTo(3);
        scanner.NextByte();
        QCOMPARE(scanner.currentByte(), (unsigned char)'c');
        QCOMPARE(scanner.position(), qint64(4));
        QVERIFY(scanner.atEnd());
        QCOMPARE(scanner.FindNext("a", true), qint64(-1));
        scanner.SeekTo(1);
        QCOMPARE(scanner.FindNext("BC", false), qint64(2));
    }

    void strips_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("stripped");
        QTest::addColumn<int>("count");
        QTest::newRow("no script") << QByteArray("<p>plain</p>\r\n<p>text</p>\r\n")
                                   << QByteArray("<p>plain</p>\r\n<p>text</p>\r\n") << 0;
        QTest::newRow("two blocks, either case, attributes")
            << QByteArray("<p>a</p><script>x()</script>\r\n<b>between</b>"
                          "<SCRIPT type=\"text/javascript\" src=\"y.js\">if (a<b) z();</SCRIPT><p>end</p>")
            << QByteArray("<p>a</p>\r\n<b>between</b><p>end</p>") << 2;
        QTest::newRow("scripting is a start") << QByteArray("a<scripting>b</script>c") << QByteArray("ac") << 1;
        QTest::newRow("<</SCRIPT> ends a block") << QByteArray("a<script>x<</SCRIPT>b") << QByteArray("ab") << 1;
        QTest::newRow("script first and last")
            << QByteArray("<script>1</script>mid<script>2</script>") << QByteArray("mid") << 2;
        QTest::newRow("block across a block boundary")
            << QByteArray(Tfseekch::BlockSize - 4, 'x') + "<script>" + QByteArray(40000, 's') + "</script>!"
            << QByteArray(Tfseekch::BlockSize - 4, 'x') + "!" << 1;
        // A partial match at a block's end is kept in its own letter case
        // when the next block shows it was none.
        QTest::newRow("false start at the block's end")
            << QByteArray(Tfseekch::BlockSize - 5, 'x') + "<ScRi" + "pX<script>y</script>z"
            << QByteArray(Tfseekch::BlockSize - 5, 'x') + "<ScRipXz" << 1;
        QTest::newRow("false end at the block's end")
            << QByteArray("a<script>") + QByteArray(Tfseekch::BlockSize - 13, 's') + "</scr!</script>b"
            << QByteArray("ab") << 1;
        QTest::newRow("partial start ends the file") << QByteArray("keep<scr") << QByteArray("keep<scr") << 0;
    }
    void strips()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, stripped);
        QFETCH(int, count);
        const QString in = m_dir.filePath(QStringLiteral("in.htm"));
        const QString out = m_dir.filePath(QStringLiteral("out.htm"));
        QVERIFY(writeBytes(in, content));
        QFile::remove(out);
        FakeDialogs dialogs;
        const std::optional<int> removed = StripScriptBlocks(in, out, dialogs);
        QVERIFY(removed);
        QCOMPARE(*removed, count);
        QCOMPARE(readBytes(out), stripped);
        QCOMPARE(dialogs.texts(), QStringList());
    }

    // Many blocks of text dense in near misses, against a plain search of
    // the whole text; a fixed seed keeps the run repeatable.
    void stripsLikeAPlainSearch()
    {
        static const QByteArray pieces[] = {"<",        "s",  "S",      "<s",       "<scrip",    "<SCRIPT",
                                            "<script>", "</", "</scri", "</SCRIPT", "</script>", ">",
                                            "t",        "T",  "x y z ", "\r\n",     "<p>",       "</p>"};
        QRandomGenerator random(16);
        QByteArray content;
        while (content.size() < 5 * Tfseekch::BlockSize + 77)
            content += pieces[random.bounded(int(std::size(pieces)))];
        content += "</script>";

        const QByteArray lower = content.toLower();
        QByteArray expected;
        int expectedCount = 0;
        qsizetype from = 0;
        for (;;) {
            const qsizetype start = lower.indexOf("<script", from);
            if (start == -1) {
                expected += content.mid(from);
                break;
            }
            expected += content.mid(from, start - from);
            ++expectedCount;
            const qsizetype end = lower.indexOf("</script>", start + 7);
            QVERIFY(end != -1);
            from = end + 9;
        }

        const QString in = m_dir.filePath(QStringLiteral("mixed.htm"));
        const QString out = m_dir.filePath(QStringLiteral("mixed.out"));
        QVERIFY(writeBytes(in, content));
        QFile::remove(out);
        FakeDialogs dialogs;
        QCOMPARE(StripScriptBlocks(in, out, dialogs), std::optional<int>(expectedCount));
        QVERIFY(expectedCount > 100);
        QCOMPARE(readBytes(out), expected);
    }

    // Another program cuts the file short while it is scanned: the scan ends
    // at its new end, with every byte before it passed on.
    void fileCutShortEndsTheScan()
    {
        const QString path = m_dir.filePath(QStringLiteral("cut.htm"));
        QVERIFY(writeBytes(path, QByteArray(3 * Tfseekch::BlockSize, 'x') + "<script>"));
        FakeDialogs dialogs;
        bool cut = false;
        Tfseekch scanner(path, dialogs, [&] {
            if (!std::exchange(cut, true))
                QFile::resize(path, 2 * Tfseekch::BlockSize);
        });
        qsizetype passed = 0;
        QCOMPARE(scanner.FindNext("<script", false, [&](const char *, qsizetype n) { passed += n; }), qint64(-1));
        QVERIFY(cut);
        QVERIFY(scanner.atEnd());
        QCOMPARE(passed, 2 * Tfseekch::BlockSize);
    }

    void unterminatedBlockIsReported()
    {
        const QString in = m_dir.filePath(QStringLiteral("bad.htm"));
        QVERIFY(writeBytes(in, "kept<script>never ends<p>lost</p>"));
        FakeDialogs dialogs;
        QVERIFY(!StripScriptBlocks(in, m_dir.filePath(QStringLiteral("bad.out")), dialogs));
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("End of script not found. Probably bad file")});
        QCOMPARE(dialogs.shown.first().kind, Dialogs::Kind::Warning);
    }

    void unreadableInputIsReported_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << true << QStringLiteral("Error: file %1 is empty!!");
        QTest::newRow("missing") << false
                                 << QStringLiteral(
                                        "Error: Unable to open file: %1 for reading; please check complete file path!");
    }
    void unreadableInputIsReported()
    {
        QFETCH(bool, exists);
        QFETCH(QString, message);
        const QString in = m_dir.filePath(exists ? QStringLiteral("empty.htm") : QStringLiteral("missing.htm"));
        if (exists)
            QVERIFY(writeBytes(in, {}));
        FakeDialogs dialogs;
        Tfseekch scanner(in, dialogs);
        QVERIFY(scanner.atEnd());
        QCOMPARE(scanner.FindNext("<", true), qint64(-1));
        QCOMPARE(dialogs.texts(), QStringList{message.arg(in)});
        QCOMPARE(dialogs.shown.first().kind, Dialogs::Kind::Error);
        // The stripping loop says it once too, and finds nothing.
        FakeDialogs stripping;
        QCOMPARE(StripScriptBlocks(in, m_dir.filePath(QStringLiteral("out.htm")), stripping), std::optional<int>(0));
        QCOMPARE(stripping.texts(), QStringList{message.arg(in)});
    }
};

QTEST_GUILESS_MAIN(TestTfseekch)
#include "tst_tfseekch.moc"
