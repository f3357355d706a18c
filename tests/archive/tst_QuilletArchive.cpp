#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

// Black-box checks of the command-line companion.
class tst_QuilletArchive : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString expand(QString arg) const
    {
        arg.replace(QLatin1String("$DATA"), qEnvironmentVariable("QUILLET_TEST_DATA"));
        arg.replace(QLatin1String("$TMP"), m_dir.path());
        return arg;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QFile broken(m_dir.filePath(QStringLiteral("broken.mht")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n<p>");
        QFile longSubject(m_dir.filePath(QStringLiteral("long.mht")));
        QVERIFY(longSubject.open(QIODevice::WriteOnly));
        longSubject.write("Subject: " + QByteArray(3 * 1024 * 1024, 'x') + "\r\nContent-Type: text/html\r\n\r\n<p>");
        QFile bad(m_dir.filePath(QStringLiteral("unterminated.htm")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("<p>a</p><script>never closed<p>b</p>");
        QFile big(m_dir.filePath(QStringLiteral("big.htm")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(QByteArray(1024 * 1024, 'p') + "<script>x</script>");
    }

    QString run(const QStringList &args, int &exitCode)
    {
        QProcess process;
        process.start(QStringLiteral(QUILLET_ARCHIVE_EXE), args);
        if (!process.waitForFinished(30000))
            return QStringLiteral("did not finish");
        exitCode = process.exitCode();
        return QString::fromUtf8(process.readAllStandardError());
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stdoutHas");
        QTest::addColumn<QString>("stderrHas");
        // A file that exists before the run and must be byte for byte the same after it.
        QTest::addColumn<QString>("kept");
        // The largest file the run may write, in bytes; 0 for no limit.
        QTest::addColumn<qint64>("fileSizeLimit");
        const auto row = [](const char *name, const QString &args, int code, const QString &out, const QString &err,
                            const QString &kept = {}, qint64 limit = 0) {
            QTest::newRow(name) << args.split(u' ', Qt::SkipEmptyParts) << code << out << err << kept << limit;
        };
        row("help", QStringLiteral("--help"), 0, QStringLiteral("resave IN OUT"), QString());
        row("no arguments", QString(), 2, QString(), QStringLiteral("Usage:"));
        row("unknown command", QStringLiteral("frobnicate $DATA/sample.mht"), 2, QString(), QStringLiteral("Usage:"));
        row("missing argument", QStringLiteral("resave $DATA/sample.mht"), 2, QString(), QStringLiteral("Usage:"));
        row("info", QStringLiteral("info $DATA/sample.mht"), 0, QStringLiteral("https://example.com/pics/dot.gif"),
            QString());
        row("html", QStringLiteral("html $DATA/sample.mht"), 0, QStringLiteral("<title>Caf\u00e9 sample</title>"),
            QString());
        row("check good", QStringLiteral("check $DATA/local-lf.mht"), 0, QStringLiteral("ok, 2 parts"), QString());
        row("check truncated", QStringLiteral("check $TMP/broken.mht"), 1, QString(), QStringLiteral("truncated"));
        row("check missing", QStringLiteral("check $TMP/none.mht"), 1, QString(), QStringLiteral("Cannot open"));
        row("info broken", QStringLiteral("info $TMP/broken.mht"), 1, QString(), QStringLiteral("truncated"));
        row("resave", QStringLiteral("resave $DATA/local-lf.mht $TMP/out.mht"), 0, QString(), QString());
        row("resave result checks", QStringLiteral("check $TMP/out.mht"), 0, QStringLiteral("ok, 2 parts"), QString());
        // Values print as they are: an escape in a location is no format pattern.
        row("info keeps percent escapes", QStringLiteral("info $DATA/qp-svg-percent-location.mht"), 0,
            QStringLiteral("https://svg.example.org/commonPrint%2Cshared.css\t\n"), QString());
        row("info keeps a percent content id", QStringLiteral("info $DATA/qp-svg-percent-location.mht"), 0,
            QStringLiteral("<frame-1%dpercent@mhtml.blink>"), QString());
        row("info cuts a long subject", QStringLiteral("info $TMP/long.mht"), 0,
            QStringLiteral("Subject: ") + QString(200, u'x') + QChar(0x2026) + u'\n', QString());
        row("strip-scripts missing input", QStringLiteral("strip-scripts $TMP/none.htm $TMP/none.out"), 1, QString(),
            QStringLiteral("Error: Unable to open file: "));
        // A failed run never touches an OUT that is there.
        row("strip-scripts missing input keeps OUT", QStringLiteral("strip-scripts $TMP/none.htm $TMP/kept.htm"), 1,
            QString(), QStringLiteral("Error: Unable to open file: "), QStringLiteral("$TMP/kept.htm"));
        row("strip-scripts unterminated keeps OUT", QStringLiteral("strip-scripts $TMP/unterminated.htm $TMP/kept.htm"),
            1, QString(), QStringLiteral("End of script not found"), QStringLiteral("$TMP/kept.htm"));
        row("strip-scripts to a full disk keeps OUT", QStringLiteral("strip-scripts $TMP/big.htm $TMP/kept.htm"), 1,
            QString(), QStringLiteral("Cannot write"), QStringLiteral("$TMP/kept.htm"), 64 * 1024);
        row("strip-scripts unterminated", QStringLiteral("strip-scripts $TMP/unterminated.htm $TMP/u.out"), 1,
            QString(), QStringLiteral("End of script not found. Probably bad file"));
        row("strip-scripts onto itself", QStringLiteral("strip-scripts $TMP/unterminated.htm $TMP/unterminated.htm"), 2,
            QString(), QStringLiteral("different files"));
        row("strip-scripts onto itself by another path",
            QStringLiteral("strip-scripts $TMP/unterminated.htm $TMP/./unterminated.htm"), 2, QString(),
            QStringLiteral("different files"));
        row("the input survives", QStringLiteral("strip-scripts $TMP/unterminated.htm $TMP/u.out"), 1, QString(),
            QStringLiteral("End of script not found"));
        row("resave to missing folder", QStringLiteral("resave $DATA/sample.mht $TMP/no/out.mht"), 1, QString(),
            QStringLiteral("Cannot write"));
    }

    void exitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, stdoutHas);
        QFETCH(QString, stderrHas);
        QFETCH(QString, kept);
        QFETCH(qint64, fileSizeLimit);
        for (QString &a : args)
            a = expand(a);
        QFile keptFile(expand(kept));
        const QByteArray keptBytes = "the OUT of an earlier run\r\n";
        if (!kept.isEmpty()) {
            QVERIFY(keptFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(keptFile.write(keptBytes), keptBytes.size());
            keptFile.close();
        }
        QProcess process;
        process.setChildProcessModifier([fileSizeLimit] {
            if (fileSizeLimit <= 0)
                return;
            // A write past the limit fails as on a full disk.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        process.start(QStringLiteral(QUILLET_ARCHIVE_EXE), args);
        QVERIFY(process.waitForFinished(30000));
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitCode(), exitCode);
        QVERIFY2(out.contains(stdoutHas), qPrintable(out));
        QVERIFY2(err.contains(stderrHas), qPrintable(err));
        if (exitCode == 0)
            QVERIFY2(err.isEmpty(), qPrintable(err));
        if (!kept.isEmpty()) {
            QVERIFY(keptFile.open(QIODevice::ReadOnly));
            QCOMPARE(keptFile.readAll(), keptBytes);
            QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("kept.htm*")}, QDir::Files),
                     QStringList{QStringLiteral("kept.htm")});
        }
    }

    void stripScriptsWritesTheStrippedBytes()
    {
        const QString in = m_dir.filePath(QStringLiteral("scripted.htm"));
        const QString out = m_dir.filePath(QStringLiteral("stripped.htm"));
        QFile page(in);
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("<p>a</p><script>x</script>\r\n<p>b</p><SCRIPT src=\"y.js\"></SCRIPT><p>c</p>");
        page.close();
        // A file already there is replaced, never appended to.
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        int exitCode = -1;
        QCOMPARE(run({QStringLiteral("strip-scripts"), in, out}, exitCode), QStringLiteral("2 scripts removed\n"));
        QCOMPARE(exitCode, 0);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("<p>a</p>\r\n<p>b</p><p>c</p>"));
    }
};

QTEST_GUILESS_MAIN(tst_QuilletArchive)
#include "tst_QuilletArchive.moc"
