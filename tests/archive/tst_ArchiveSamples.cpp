#include "archive/MhtmlReader.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

// Archives as other programs write them, resaved and checked through the
// command-line companion, and damaged archives that must fail cleanly.
class tst_ArchiveSamples : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static QString dataPath(const QString &name) { return qEnvironmentVariable("QUILLET_TEST_DATA") + u'/' + name; }

    static bool run(const QStringList &args, int &exitCode, QString &err)
    {
        QProcess process;
        process.start(QStringLiteral(QUILLET_ARCHIVE_EXE), args);
        if (!process.waitForFinished(60000))
            return false;
        exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        err = QString::fromUtf8(process.readAllStandardError());
        return true;
    }

    // The writer may end text/* lines with CRLF; every other part must come back byte for byte.
    static QByteArray comparable(const MhtmlPart &part)
    {
        return part.hasTextLineBreaks() ? QByteArray(part.data).replace("\r\n", "\n") : part.data;
    }

private Q_SLOTS:
    void resaveKeepsEveryPart_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("parts");
        QTest::addColumn<QString>("subject"); // null: not checked
        const auto row = [](const char *name, const char *file, int parts, const QString &subject = {}) {
            QTest::newRow(name) << QString::fromLatin1(file) << parts << subject;
        };
        row("chromium, binary html, cid parts", "chromium-binary.mht", 4);
        row("chromium, quoted-printable html", "chromium-qp.mht", 2);
        // The plain-text alternative beside the page is kept.
        row("windows, nested alternative, windows-1252", "windows-alternative.mht", 3);
        row("lf only, file locations", "local-lf.mht", 2);
        row("quoted-printable windows-1252", "sample.mht", 2);
        row("framed page, frameset in a nested alternative", "ie-framed-alternative.mht", 5);
        row("picture document", "image-document.mht", 1);
        row("wrapped subject, gb2312", "wrapped-subject-gb2312.mht", 1);
        row("quoted-printable svg, percent location", "qp-svg-percent-location.mht", 3);
        // Written by the browser engines themselves; scripts/capture-browser-archives makes them again.
        row("qt webengine, frame, svg", "webengine-save.mht", 6);
        row("chromium devtools snapshot", "chromium-snapshot.mht", 6);
        // The page last, after parts typed as no browser shows them; a
        // character split across the subject's words.
        row("root after a made-up picture type and a style typed image/css", "root-after-styles.mht", 3,
            QStringLiteral("A \u0411\u0438\u0431\u043b\u0438\u043e\u0442\u0435\u043a\u0430 \u0440\u0435\u0434\u043a"
                           "\u0438\u0445 \u043a\u043d\u0438\u0433: \u043a\u0430\u0442\u0430\u043b\u043e\u0433 "
                           "\u0440\u0443\u043a\u043e\u043f\u0438\u0441\u0435\u0439"));
        row("koi8-r subject in adjacent and folded words, x- headers", "koi8-folded-subject.mht", 2,
            QStringLiteral(
                "\u0420\u0443\u0441\u0441\u043a\u0430\u044f \u0441\u0442\u0440\u0430\u043d\u0438\u0446\u0430 "
                "\u043e \u043a\u043d\u0438\u0433\u0430\u0445"));
    }

    void resaveKeepsEveryPart()
    {
        QFETCH(QString, file);
        QFETCH(int, parts);
        QFETCH(QString, subject);
        const QString out = m_dir.filePath(file);
        int code = 0;
        QString err;
        QVERIFY(run({QStringLiteral("check"), dataPath(file)}, code, err));
        QVERIFY2(code == 0, qPrintable(err));
        QVERIFY(run({QStringLiteral("resave"), dataPath(file), out}, code, err));
        QCOMPARE(code, 0);
        const MhtmlReadResult before = MhtmlReader().readFile(dataPath(file));
        const MhtmlReadResult after = MhtmlReader().readFile(out);
        QVERIFY2(before.ok(), qPrintable(before.error));
        QVERIFY2(after.ok(), qPrintable(after.error));
        QCOMPARE(before.archive.parts.size(), parts);
        QCOMPARE(after.archive.parts.size(), parts);
        QCOMPARE(after.archive.root()->contentLocation, before.archive.root()->contentLocation);
        QCOMPARE(comparable(*after.archive.root()), comparable(*before.archive.root()));
        QCOMPARE(after.archive.rootHtml(), before.archive.rootHtml());
        if (!before.archive.snapshotLocation.isEmpty())
            QCOMPARE(after.archive.snapshotLocation, before.archive.snapshotLocation);
        for (const MhtmlPart &part : before.archive.parts) {
            const MhtmlPart *kept = after.archive.findByLocation(part.contentLocation);
            QVERIFY2(kept, qPrintable(part.contentLocation));
            QCOMPARE(kept->contentType, part.contentType);
            QCOMPARE(comparable(*kept), comparable(part));
        }
        QVERIFY(run({QStringLiteral("check"), out}, code, err));
        QCOMPARE(code, 0);
        // Every top-level header the writer does not own stays as it stood,
        // Date and a subject not changed included.
        if (!subject.isNull())
            QCOMPARE(before.archive.subject, subject);
        QCOMPARE(after.archive.subject, before.archive.subject);
        for (const auto &header : before.archive.headers) {
            if (!header.first.startsWith("Content-") && header.first != "MIME-Version")
                QVERIFY2(after.archive.headers.contains(header), header.first + ": " + header.second);
        }
    }

    void damagedArchiveGivesClearError_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = [] {
            QFile f(dataPath(QStringLiteral("sample.mht")));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(!good.isEmpty());
        const qsizetype firstPart = good.indexOf("------=_sample_1\r\n");
        const qsizetype image = good.indexOf("R0lGOD");
        const qsizetype closing = good.lastIndexOf("------=_sample_1--");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("blank lines only") << QByteArray("\r\n\r\n \t\r\n");
        QTest::newRow("truncated in the top header") << good.left(good.indexOf("boundary=") + 12);
        QTest::newRow("truncated in a part header") << good.left(firstPart + 30);
        QTest::newRow("truncated in a part") << good.left(image + 10);
        QTest::newRow("truncated in the closing boundary") << good.left(closing + 8);
        QTest::newRow("no boundary parameter") << QByteArray(good).replace("boundary=\"----=_sample_1\"", "charset=x");
        QTest::newRow("boundary never occurs")
            << QByteArray(good).replace("boundary=\"----=_sample_1\"", "boundary=\"other\"");
        QTest::newRow("ten megabyte header line")
            << "Content-Type: multipart/related; boundary=b; x=" + QByteArray(10 * 1024 * 1024, 'a') + "\r\n\r\nbody";
        QTest::newRow("ten megabyte line, no colon") << QByteArray(10 * 1024 * 1024, 'a');
        QByteArray junk(64 * 1024, Qt::Uninitialized);
        QRandomGenerator random(7);
        random.fillRange(reinterpret_cast<quint32 *>(junk.data()), junk.size() / 4);
        QTest::newRow("binary junk") << junk;
        QTest::newRow("nested too deeply") << [] {
            QByteArray a = "Content-Type: multipart/related; boundary=b0\r\n\r\n";
            for (int i = 1; i < 40; ++i)
                a += "--b" + QByteArray::number(i - 1) + "\r\nContent-Type: multipart/mixed; boundary=b" +
                     QByteArray::number(i) + "\r\n\r\n";
            return a;
        }();
    }

    void damagedArchiveGivesClearError()
    {
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".mht"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
        f.close();
        int code = 0;
        QString err;
        QVERIFY2(run({QStringLiteral("check"), path}, code, err), "check did not finish");
        QCOMPARE(code, 1);
        QVERIFY2(err.contains(QLatin1String("not a readable web archive")), qPrintable(err));
    }

    // A type with a stray backslash once broke the boundary parameter of the resaved archive.
    void strangeTypeSurvivesResave_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("backslashes") << QByteArray("text/-\\\\\\\\\\");
        QTest::newRow("quote") << QByteArray("text/x\"y");
    }

    void strangeTypeSurvivesResave()
    {
        QFETCH(QByteArray, type);
        const QString in = m_dir.filePath(QStringLiteral("strange.mht"));
        const QString out = m_dir.filePath(QStringLiteral("strange-out.mht"));
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Content-Type: " + type + "\r\n\r\n<p>x</p>");
        f.close();
        int code = 0;
        QString err;
        QVERIFY(run({QStringLiteral("resave"), in, out}, code, err));
        QCOMPARE(code, 0);
        QVERIFY(run({QStringLiteral("check"), out}, code, err));
        QVERIFY2(code == 0, qPrintable(err));
    }

    // check and resave take one verdict: resave writes only what check accepts.
    void checkAndResaveAgree_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("a root no browser shows")
            << QByteArray("Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\n"
                          "Content-Type: application/octet-stream\r\n\r\nx\r\n--b--\r\n")
            << 1;
        QTest::newRow("plain text") << QByteArray("Content-Type: text/plain\r\n\r\nJust text.\r\n") << 0;
    }

    void checkAndResaveAgree()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, exitCode);
        const QString in = m_dir.filePath(QStringLiteral("verdict.mht"));
        const QString out = m_dir.filePath(QStringLiteral("verdict-out.mht"));
        QFile::remove(out);
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        int code = 0;
        QString err;
        QVERIFY(run({QStringLiteral("check"), in}, code, err));
        QCOMPARE(code, exitCode);
        QVERIFY(run({QStringLiteral("resave"), in, out}, code, err));
        QCOMPARE(code, exitCode);
        QCOMPARE(QFile::exists(out), exitCode == 0);
        if (exitCode == 0) {
            QVERIFY(run({QStringLiteral("check"), out}, code, err));
            QVERIFY2(code == 0, qPrintable(err));
        }
    }
};

QTEST_GUILESS_MAIN(tst_ArchiveSamples)
#include "tst_ArchiveSamples.moc"
