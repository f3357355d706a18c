#include "archive/ByteSink.h"
#include "archive/MhtmlCodec.h"
#include "archive/MhtmlComposer.h"
#include "archive/MhtmlReader.h"
#include "archive/MhtmlWriter.h"
#include "archive/QuotedPrintableMemo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_MhtmlWriter : public QObject
{
    Q_OBJECT

private:
    static MhtmlPart part(const QByteArray &type, const QString &location, const QByteArray &data,
                          const QByteArray &charset = {})
    {
        MhtmlPart p;
        p.contentType = type;
        p.contentLocation = location;
        p.data = data;
        p.charset = charset;
        return p;
    }

    static MhtmlArchive sampleArchive()
    {
        MhtmlArchive a;
        QByteArray binary;
        for (int i = 0; i < 1000; ++i)
            binary.append(char(i * 37 % 256));
        a.parts = {part("text/html", QStringLiteral("https://x.test/dir/page.html"),
                        "<p>line one</p>\r\n<p>" + QByteArray(200, 'x') + "</p>\r\n", "utf-8"),
                   part("image/png", QStringLiteral("img/a.png"), binary),
                   part("text/css", QStringLiteral("https://x.test/s.css"), "body { color: red; }  \r\n")};
        a.subject = QStringLiteral("Sample");
        return a;
    }

    static QList<QByteArray> bodyLines(const QByteArray &bytes)
    {
        // Lines after the top-level headers; header lines of parts are short here too.
        const qsizetype start = bytes.indexOf("\r\n\r\n");
        return bytes.mid(start + 4).split('\n');
    }

    static void verifyOnlyCrlfBreaks(const QByteArray &bytes)
    {
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n')
                QVERIFY2(i > 0 && bytes[i - 1] == '\r', "bare LF");
            if (bytes[i] == '\r')
                QVERIFY2(i + 1 < bytes.size() && bytes[i + 1] == '\n', "bare CR");
        }
    }

private Q_SLOTS:
    void outputIsCrlfWithShortLines()
    {
        const QByteArray bytes = MhtmlWriter().toBytes(sampleArchive());
        verifyOnlyCrlfBreaks(bytes);
        if (QTest::currentTestFailed())
            return;
        for (const QByteArray &line : bodyLines(bytes))
            QVERIFY2(line.size() <= 77, line.constData()); // 76 plus the CR
        QVERIFY(bytes.contains("MIME-Version: 1.0\r\n"));
        QVERIFY(bytes.contains("Date: "));
        QVERIFY(bytes.contains("type=\"text/html\""));
        QVERIFY(bytes.contains("Snapshot-Content-Location: https://x.test/dir/page.html\r\n"));
        // Relative locations are made absolute against the root's.
        QVERIFY(bytes.contains("Content-Location: https://x.test/dir/img/a.png\r\n"));
        QVERIFY(
            bytes.contains("Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable"));
        QVERIFY(bytes.contains("Content-Type: image/png\r\nContent-Transfer-Encoding: base64"));
    }

    void strayBreakInBase64LineIsNotCopied_data()
    {
        QTest::addColumn<char>("stray");
        QTest::addColumn<int>("column");
        // Every stretch a full 76-column line is tested in, the last one overlapping.
        for (const char stray : {'\r', '\n'}) {
            for (const int column : {0, 15, 16, 47, 59, 60, 61, 75})
                QTest::addRow("%s at %d", stray == '\r' ? "CR" : "LF", column) << stray << column;
        }
    }

    void strayBreakInBase64LineIsNotCopied()
    {
        QFETCH(char, stray);
        QFETCH(int, column);
        QByteArray body = QByteArray(76, 'Q') + "\r\n";
        body = body.repeated(3);
        body[78 + column] = stray;
        const QByteArray input = "Content-Type: multipart/related; boundary=\"b\"\r\n\r\n--b\r\n"
                                 "Content-Type: text/html\r\n\r\n<p>x</p>\r\n--b\r\n"
                                 "Content-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                                 body + "--b--\r\n";
        MhtmlReader reader;
        reader.setKeepEncoded(true);
        const MhtmlReadResult kept = reader.read(input);
        QVERIFY2(kept.ok(), qPrintable(kept.error));
        const QByteArray written = MhtmlWriter().toBytes(kept.archive);
        verifyOnlyCrlfBreaks(written);
        const MhtmlReadResult again = MhtmlReader().read(written);
        QVERIFY2(again.ok(), qPrintable(again.error));
        QCOMPARE(again.archive.parts.last().data, kept.archive.parts.last().decoded());
    }

    void boundaryOccursInNoPart()
    {
        MhtmlArchive a = sampleArchive();
        // Parts that look like the writer's own boundaries.
        a.parts[0].data += "------=_QuilletPart_0.0\r\n------=_QuilletPart_";
        a.parts[1].data += "------=_QuilletPart_";
        const QByteArray bytes = MhtmlWriter().toBytes(a);
        const qsizetype b = bytes.indexOf("boundary=\"") + 10;
        const QByteArray boundary = bytes.mid(b, bytes.indexOf('"', b) - b);
        QVERIFY(boundary.contains("=_"));
        for (const MhtmlPart &p : a.parts)
            QVERIFY(!p.data.contains(boundary));
        QCOMPARE(bytes.count("--" + boundary), a.parts.size() + 1);
    }

    void quotedPrintableRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("decoded"); // line breaks become CRLF
        QTest::newRow("plain") << QByteArray("hello") << QByteArray("hello");
        for (int n = 70; n <= 77; ++n) {
            const QByteArray t = QByteArray(n, 'a') + "=b=c";
            QTest::addRow("equals at column %d", n) << t << t;
        }
        const QByteArray eights = QByteArray(73, 'a') + "\xc3\xa9\xc3\xa9" + QByteArray(80, 'z');
        QTest::newRow("escapes across the limit") << eights << eights;
        QTest::newRow("lf becomes crlf") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n");
        QTest::newRow("trailing blanks kept") << QByteArray("a \r\nb\t\nc ") << QByteArray("a \r\nb\t\r\nc ");
        QTest::newRow("lone cr") << QByteArray("a\rb") << QByteArray("a\rb");
        QTest::newRow("long line") << QByteArray(1000, 'q') << QByteArray(1000, 'q');
        QTest::newRow("dot and dash lines") << QByteArray(".\r\n--x\r\n") << QByteArray(".\r\n--x\r\n");
    }

    void quotedPrintableRoundTrip()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, decoded);
        const QByteArray encoded = MhtmlCodec::encodeQuotedPrintable(text);
        for (const QByteArray &line : encoded.split('\n')) {
            const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
            QVERIFY2(l.size() <= 76, l.constData());
            QVERIFY2(!l.endsWith(' ') && !l.endsWith('\t'), l.constData());
            // An escape is never cut by a soft break.
            const qsizetype eq = l.lastIndexOf('=');
            QVERIFY2(eq < 0 || eq == l.size() - 1 || eq + 2 < l.size(), l.constData());
        }
        QCOMPARE(MhtmlCodec::decodeQuotedPrintable(encoded), decoded);
    }

    // The bytes themselves at the edges of the rules: a writer gives a page
    // the same encoding every time.
    void quotedPrintableBytes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("soft break after 75 columns")
            << QByteArray(QByteArray(74, 'a') + "bc=d") << QByteArray(QByteArray(74, 'a') + "b=\r\nc=3Dd");
        QTest::newRow("escape moves whole to the next line")
            << QByteArray(QByteArray(73, 'a') + "\xc3\xa9z") << QByteArray(QByteArray(73, 'a') + "=\r\n=C3=A9z");
        QTest::newRow("blanks before line ends") << QByteArray(QByteArray(74, 'a') + " \nx \r\ny\t")
                                                 << QByteArray(QByteArray(74, 'a') + "=\r\n=20\r\nx=20\r\ny=09");
        QTest::newRow("lone cr, empty lines, equals")
            << QByteArray("a \rb\r\n\r\n=\n") << QByteArray("a =0Db\r\n\r\n=3D\r\n");
        QTest::newRow("long line, then a full one")
            << QByteArray(QByteArray(150, 'q') + '\n' + QByteArray(75, 'r'))
            << QByteArray(QByteArray(75, 'q') + "=\r\n" + QByteArray(75, 'q') + "\r\n" + QByteArray(75, 'r'));
    }

    void quotedPrintableBytes()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, encoded);
        QCOMPARE(MhtmlCodec::encodeQuotedPrintable(text), encoded);
    }

    // A text encoded after another one reuses the lines they share; the
    // bytes are those of encoding its UTF-8 afresh.
    void reencodingKeepsBytes_data()
    {
        QTest::addColumn<QStringList>("texts"); // encoded one after the other
        const QString page = QStringLiteral("<p class=\"a\">Caf\u00e9 \U0001F600</p>\n<p>two  \n<p>three</p>\r\n") +
                             QString(200, u'w') + QStringLiteral("\n<p>\u20ac last</p>");
        const QString marked = QString(page).replace(QStringLiteral("two"), QStringLiteral("t<span>w\u00e8</span>o"));
        const auto replaced = [&](QString text, const QString &what, const QString &by) { return text.replace(what, by); };
        QTest::newRow("first text") << QStringList{page};
        QTest::newRow("same text again") << QStringList{page, page};
        QTest::newRow("mark inside a line") << QStringList{page, marked};
        QTest::newRow("two marks in turn")
            << QStringList{page, marked, replaced(marked, QStringLiteral("last"), QStringLiteral("l<b>a</b>st"))};
        QTest::newRow("first line changed") << QStringList{page, QStringLiteral("\u00c9") + page};
        QTest::newRow("last line grows") << QStringList{page, page + u'!'};
        QTest::newRow("lines joined")
            << QStringList{page, replaced(page, QStringLiteral("</p>\n<p>two"), QStringLiteral("</p><p>two"))};
        QTest::newRow("line broken") << QStringList{page, replaced(page, QStringLiteral("three"), QStringLiteral("th\nree"))};
        QTest::newRow("blank now before a break")
            << QStringList{page, replaced(page, QStringLiteral("three</p>"), QStringLiteral("three</p> "))};
        QTest::newRow("cr loses its lf") << QStringList{QStringLiteral("x\r\ny\nz"), QStringLiteral("x\ry\nz")};
        QTest::newRow("shrinks to its first line") << QStringList{page, page.left(page.indexOf(u'\n') + 1)};
        QTest::newRow("grows, then as before") << QStringList{page, page + QStringLiteral("\n<p>more</p>\n"), page};
        QTest::newRow("one long line")
            << QStringList{QString(300, u'l'), QString(150, u'l') + u'=' + QString(150, u'l')};
        QTest::newRow("another text, then none") << QStringList{page, QStringLiteral("<html>other</html>\n"), QString()};
    }

    void reencodingKeepsBytes()
    {
        QFETCH(QStringList, texts);
        QuotedPrintableMemo memo;
        for (const QString &text : texts) {
            const QuotedPrintableMemo::Encoding encoding = memo.encode(text);
            QCOMPARE(encoding.encoded, MhtmlCodec::encodeQuotedPrintable(text.toUtf8()));
            QCOMPARE(encoding.size, text.toUtf8().size());
        }
    }

    // A page composed with its root encoded beforehand is written as one
    // the writer encodes.
    void rootEncodedBeforehandIsWrittenAlike_data()
    {
        QTest::addColumn<QString>("html");
        QTest::newRow("page") << QStringLiteral("<html><head><meta charset=latin1></head><p>Caf\u00e9 =</p>\n</html>");
        QTest::newRow("blank at the end") << QStringLiteral("<p>x</p> ");
        QTest::newRow("empty") << QString();
    }

    void rootEncodedBeforehandIsWrittenAlike()
    {
        QFETCH(QString, html);
        const QString location = QStringLiteral("https://x.test/p");
        QuotedPrintableMemo memo;
        // The memo held another page before.
        MhtmlComposer::compose(QStringLiteral("<p>before</p>\n"), nullptr, location, &memo);
        // The boundaries are random.
        const auto written = [](const MhtmlArchive &archive) {
            QByteArray bytes = MhtmlWriter().toBytes(archive);
            const qsizetype b = bytes.indexOf("boundary=\"") + 10;
            return bytes.replace(bytes.mid(b, bytes.indexOf('"', b) - b), "B");
        };
        QCOMPARE(written(MhtmlComposer::compose(html, nullptr, location, &memo)),
                 written(MhtmlComposer::compose(html, nullptr, location)));
    }

    void subjectEncoding_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<bool>("encoded");
        // The Subject the archive was read with; none for one made here.
        QTest::addColumn<QByteArray>("original");
        QTest::newRow("ascii") << QStringLiteral("Plain title") << false << QByteArray();
        QTest::newRow("accents") << QStringLiteral("Caf\u00e9 cr\u00e8me") << true << QByteArray();
        QTest::newRow("long with astral")
            << QString(QStringLiteral("\u00fc\U0001F600")).repeated(30) << true << QByteArray();
        // Read and not changed, a subject is written as it came: no decoding
        // can add a replacement character or alter the words.
        QTest::newRow("read with a byte no charset decodes")
            << QStringLiteral("caf\ufffd") << false << QByteArray("=?utf-8?Q?caf=E9?=");
        QTest::newRow("read with a character split across words")
            << QStringLiteral("A \u0411\u0438") << false << QByteArray("=?utf-8?Q?A=20=D0=91=D0?=\r\n =?utf-8?Q?=B8?=");
        QTest::newRow("read and changed") << QStringLiteral("Caf\u00e9") << true << QByteArray("Old title");
    }

    void subjectEncoding()
    {
        QFETCH(QString, subject);
        QFETCH(bool, encoded);
        QFETCH(QByteArray, original);
        MhtmlArchive a = sampleArchive();
        if (!original.isEmpty()) {
            const MhtmlReadResult read =
                MhtmlReader().read("Subject: " + original + "\r\nContent-Type: text/html\r\n\r\n<p>x</p>");
            QVERIFY2(read.ok(), qPrintable(read.error));
            a = read.archive;
        }
        const bool unchanged = !original.isEmpty() && a.subject == subject;
        a.subject = subject;
        const QByteArray bytes = MhtmlWriter().toBytes(a);
        const qsizetype s = bytes.indexOf("Subject: ");
        qsizetype end = s;
        do
            end = bytes.indexOf("\r\n", end + 1);
        while (bytes[end + 2] == ' ' || bytes[end + 2] == '\t');
        const QByteArray header = bytes.mid(s, end - s);
        if (unchanged)
            QCOMPARE(header, "Subject: " + original);
        else
            QCOMPARE(header.contains("=?utf-8?B?"), encoded);
        for (const QByteArray &line : header.split('\n')) {
            QVERIFY(line.size() <= 77);
            for (const char c : line)
                QVERIFY(uchar(c) < 128);
        }
        const MhtmlReadResult back = MhtmlReader().read(bytes);
        QVERIFY2(back.ok(), qPrintable(back.error));
        QCOMPARE(back.archive.subject, subject);
    }

    void roundTripKeepsParts()
    {
        const MhtmlReadResult first =
            MhtmlReader().readFile(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht"));
        QVERIFY2(first.ok(), qPrintable(first.error));
        MhtmlArchive current = first.archive;
        // Several cycles: nothing may drift or get lost.
        for (int cycle = 0; cycle < 3; ++cycle) {
            const MhtmlReadResult again = MhtmlReader().read(MhtmlWriter().toBytes(current));
            QVERIFY2(again.ok(), qPrintable(again.error));
            QCOMPARE(again.archive.parts.size(), first.archive.parts.size());
            for (qsizetype i = 0; i < again.archive.parts.size(); ++i) {
                const MhtmlPart &a = first.archive.parts[i];
                const MhtmlPart &b = again.archive.parts[i];
                QCOMPARE(b.data, a.data);
                QCOMPARE(b.contentType, a.contentType);
                QCOMPARE(b.charset, a.charset);
                QCOMPARE(b.contentLocation, a.contentLocation);
            }
            QCOMPARE(again.archive.subject, first.archive.subject);
            QCOMPARE(again.archive.snapshotLocation, first.archive.snapshotLocation);
            current = again.archive;
        }
    }

    // Kept bodies come back byte for byte; large ones are copied file to
    // file by the kernel, small ones written from the file's mapping, and
    // what follows them must land after them.
    void keptBodiesAreCopiedAsTheyStand_data()
    {
        QTest::addColumn<QList<int>>("pictureSizes");
        QTest::newRow("small, copied through memory") << QList<int>{40000};
        QTest::newRow("large, copied by the kernel") << QList<int>{1000000};
        QTest::newRow("small and large by turns") << QList<int>{1000000, 300, 700000, 50000, 2000000};
        // More small bodies than one gathered write takes.
        QTest::newRow("many small, written from where they lie") << QList<int>(2500, 300);
    }

    void keptBodiesAreCopiedAsTheyStand()
    {
        QFETCH(QList<int>, pictureSizes);
        MhtmlArchive made = sampleArchive();
        made.parts.resize(1);
        for (int i = 0; i < pictureSizes.size(); ++i) {
            QByteArray bytes(pictureSizes[i], Qt::Uninitialized);
            for (int b = 0; b < bytes.size(); ++b)
                bytes[b] = char((b * 7 + i) % 251);
            made.parts.append(part("image/png", QStringLiteral("https://x.test/%1.png").arg(i), bytes));
        }
        QTemporaryDir dir;
        const QString original = dir.filePath(QStringLiteral("original.mht"));
        const QString copy = dir.filePath(QStringLiteral("copy.mht"));
        QFile out(original);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QVERIFY(MhtmlWriter().write(made, out).ok());
        out.close();

        MhtmlReader reader;
        reader.setKeepEncoded(true);
        const MhtmlReadResult kept = reader.readFile(original);
        QVERIFY2(kept.ok(), qPrintable(kept.error));
        QFile copied(copy);
        QVERIFY(copied.open(QIODevice::WriteOnly));
        QVERIFY(MhtmlWriter().write(kept.archive, copied).ok());
        copied.close();
        QVERIFY(copied.open(QIODevice::ReadOnly));
        const QByteArray written = copied.readAll();
        const MhtmlReadResult again = MhtmlReader().read(written);
        QVERIFY2(again.ok(), qPrintable(again.error));
        QCOMPARE(again.archive.parts.size(), made.parts.size());
        for (qsizetype i = 1; i < made.parts.size(); ++i) {
            QVERIFY(kept.archive.parts[i].encodedCopyable);
            QVERIFY(written.contains(kept.archive.parts[i].encoded));
            QCOMPARE(again.archive.parts[i].data, made.parts[i].data);
        }
    }

    // Pieces put in place reach a file where they stand among the copied
    // ones, and the file's own position follows: a negative size puts in
    // place, a positive one copies.
    void sinkKeepsTheOrderOfPieces_data()
    {
        QTest::addColumn<QList<int>>("pieces");
        QTest::newRow("in place between copied pieces") << QList<int>{10, -100, 20, -5, 30};
        QList<int> many;
        for (int i = 0; i < 1500; ++i)
            many << -7 << 3 << -2;
        QTest::newRow("more pieces in place than one write takes") << many;
        QTest::newRow("in place, larger than the block") << QList<int>{5, -int(2 * ByteSink::BlockSize), 5};
        QTest::newRow("copied, larger than the block, after pieces in place")
            << QList<int>{-10, int(ByteSink::BlockSize) + 10, -10};
        QTest::newRow("the block fills between pieces in place")
            << QList<int>{-10, int(ByteSink::BlockSize) - 5, -10, 100, -3};
    }

    void sinkKeepsTheOrderOfPieces()
    {
        QFETCH(QList<int>, pieces);
        QByteArray source(3 * ByteSink::BlockSize, Qt::Uninitialized);
        for (qsizetype i = 0; i < source.size(); ++i)
            source[i] = char(i * 131 % 251);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("pieces.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray expected;
        {
            ByteSink sink(&file);
            qsizetype from = 0;
            for (const int piece : pieces) {
                const qsizetype n = qAbs(piece);
                const char *bytes = source.constData() + from % (source.size() - n);
                if (piece < 0)
                    sink.putInPlace(bytes, n);
                else
                    sink.put(bytes, n);
                expected.append(bytes, n);
                from += n + 1;
            }
            QVERIFY(sink.flush());
        }
        QVERIFY(file.write("end") == 3);
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), expected + "end");
    }

    // The caller commits only what was written whole: every failed write is reported.
    void failedWriteIsReported()
    {
        MhtmlArchive big = sampleArchive();
        big.parts[1].data = QByteArray(4 * 1024 * 1024, 'x');
        QFile full(QStringLiteral("/dev/full"));
        QVERIFY(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QVERIFY(!MhtmlWriter().write(big, full).ok());
    }
};

QTEST_GUILESS_MAIN(tst_MhtmlWriter)
#include "tst_MhtmlWriter.moc"
