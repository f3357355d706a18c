#include "LibraryFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Black-box checks of the library's commands of quillet-archive, in the
// order a user runs them; each row works on what the rows before it left.
class tst_LibraryCli : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString expand(QString arg) const
    {
        arg.replace(QLatin1String("$TMP"), m_dir.path());
        return arg;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(LibraryFixture::writeLibrary(m_dir.filePath(QStringLiteral("lib")))); }

    void commands_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stdoutIs");
        QTest::addColumn<QString>("stderrHas");
        // "~" marks an expected stdout that is only a part of it.
        const auto row = [](const char *name, const QStringList &args, int code, const QString &out,
                            const QString &err = {}) { QTest::newRow(name) << args << code << out << err; };
        const QString db = QStringLiteral("$TMP/x.sqlite");
        const auto search = [&](const QString &query) {
            return QStringList{QStringLiteral("search"), QStringLiteral("--db"), db, query};
        };
        row("index a folder", {QStringLiteral("index"), QStringLiteral("--db"), db, QStringLiteral("$TMP/lib")}, 0,
            QStringLiteral("10 archives: 10 read, 0 unchanged, 1 not indexed, 0 removed, 0 unavailable\n"),
            QStringLiteral("$TMP/lib/broken.mht: not indexed: not a readable web archive: "));
        row("utf-8 word", search(QStringLiteral("Straßenbahn")), 0,
            QStringLiteral("$TMP/lib/utf8.mht\tCafé notes\tDie [Straßenbahn] fährt & hält. καλημέρα κόσμε.\n"));
        row("windows-1251 word", search(QStringLiteral("мягких")), 0,
            QStringLiteral("$TMP/lib/cp1251.mht\tБулки\tСъешь же ещё этих [мягких] французских булок.\n"));
        row("two-character chinese word", search(QStringLiteral("中文")), 0,
            QStringLiteral("$TMP/lib/gb2312.mht\t\t我们今天学习[中文]语法很有意思。\n"));
        row("word across a soft line break", search(QStringLiteral("extraordinary")), 0,
            QStringLiteral("$TMP/lib/qp.mht\tSoft breaks\tAn [extraordinary] fox sighting.\n"));
        row("nothing found", search(QStringLiteral("unicorn")), 1, QString());
        row("only yellow marks",
            {QStringLiteral("search"), QStringLiteral("--db"), db, QStringLiteral("--marks"),
             QStringLiteral("--colour"), QStringLiteral("yellow"), QStringLiteral("passage")},
            0, QStringLiteral("$TMP/lib/old/marks.mht\tOld marks\tyellow [passage]\tyellow\n"));
        row("every yellow mark",
            {QStringLiteral("search"), QStringLiteral("--db"), db, QStringLiteral("--marks"),
             QStringLiteral("--colour"), QStringLiteral("yellow")},
            0,
            QStringLiteral("$TMP/lib/old/marks.mht\tOld marks\tyellow passage\tyellow\n"
                           "$TMP/lib/utf8.mht\tCafé notes\tquick brown fox\tyellow\n"));
        row("unknown colour",
            {QStringLiteral("search"), QStringLiteral("--db"), db, QStringLiteral("--colour"),
             QStringLiteral("chartreuse"), QStringLiteral("x")},
            2, QString(), QStringLiteral("Unknown colour chartreuse"));
        row("query syntax", search(QStringLiteral("fox OR")), 2, QString(), QStringLiteral("OR needs a word after it"));
        row("limit",
            {QStringLiteral("search"), QStringLiteral("--db"), db, QStringLiteral("--limit"), QStringLiteral("1"),
             QStringLiteral("fox")},
            0, QStringLiteral("~$TMP/lib/"));
        row("unchanged library", {QStringLiteral("index"), QStringLiteral("--db"), db, QStringLiteral("$TMP/lib")}, 0,
            QStringLiteral("10 archives: 0 read, 10 unchanged, 0 not indexed, 0 removed, 0 unavailable\n"));
        row("change one archive",
            {QStringLiteral("resave"), QStringLiteral("$TMP/lib/qp.mht"), QStringLiteral("$TMP/lib/qp.mht")}, 0,
            QString());
        row("only the changed one is read",
            {QStringLiteral("index"), QStringLiteral("--db"), db, QStringLiteral("$TMP/lib")}, 0,
            QStringLiteral("10 archives: 1 read, 9 unchanged, 0 not indexed, 0 removed, 0 unavailable\n"));
        row("damage the index", {QStringLiteral("resave"), QStringLiteral("$TMP/lib/qp.mht"), db}, 0, QString());
        row("a damaged index is rebuilt",
            {QStringLiteral("index"), QStringLiteral("--db"), db, QStringLiteral("$TMP/lib")}, 0,
            QStringLiteral("10 archives: 10 read, 0 unchanged, 1 not indexed, 0 removed, 0 unavailable\n"),
            QStringLiteral("The library index was damaged; it is rebuilt from the archives"));
        row("found again", search(QStringLiteral("中文")), 0, QStringLiteral("~gb2312.mht"));
        row("marks as markdown",
            {QStringLiteral("marks"), QStringLiteral("--format"), QStringLiteral("markdown"),
             QStringLiteral("$TMP/lib/old/marks.mht")},
            0,
            QStringLiteral("# Marks of Old marks\n\n"
                           "1. **yellow #ffff00**: yellow passage\n   > First yellow passage here.\n"
                           "2. **cyan #00ffff** (bold): cyan passage\n   > Then cyan passage.\n"));
        row("marks as csv",
            {QStringLiteral("marks"), QStringLiteral("--format"), QStringLiteral("csv"),
             QStringLiteral("$TMP/lib/utf8.mht")},
            0,
            QStringLiteral("order,colour,colour name,bold,italic,underline,text,sentence\r\n"
                           "1,#ffff00,yellow,0,0,0,quick brown fox,The quick brown fox jumps over the lazy dog.\r\n"));
        row("marks as json",
            {QStringLiteral("marks"), QStringLiteral("--format"), QStringLiteral("json"),
             QStringLiteral("$TMP/lib/old/marks.mht")},
            0, QStringLiteral("~\"colourName\": \"cyan\""));
        row("marks of a broken archive", {QStringLiteral("marks"), QStringLiteral("$TMP/lib/broken.mht")}, 1, QString(),
            QStringLiteral("truncated"));
        row("unknown format",
            {QStringLiteral("marks"), QStringLiteral("--format"), QStringLiteral("pdf"),
             QStringLiteral("$TMP/lib/qp.mht")},
            2, QString(), QStringLiteral("Unknown format pdf"));
        row("index needs a path", {QStringLiteral("index"), QStringLiteral("--db"), db}, 2, QString(),
            QStringLiteral("index needs a folder or file"));
        row("the program folder's index", {QStringLiteral("index"), QStringLiteral("$TMP/lib/qp.mht")}, 0,
            QStringLiteral("~1 read"));
        row("searched there", {QStringLiteral("search"), QStringLiteral("fox")}, 0,
            QStringLiteral("~$TMP/lib/qp.mht\t"));
    }

    void commands()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, stdoutIs);
        QFETCH(QString, stderrHas);
        for (QString &a : args)
            a = expand(a);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLET_HOME"), m_dir.filePath(QStringLiteral("home")));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(QUILLET_ARCHIVE_EXE), args);
        QVERIFY(process.waitForFinished(60000));
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(process.exitCode() == exitCode, qPrintable(err));
        const QString expected = expand(stdoutIs);
        if (expected.startsWith(u'~'))
            QVERIFY2(out.contains(expected.mid(1)), qPrintable(out));
        else
            QCOMPARE(out, expected);
        QVERIFY2(err.contains(expand(stderrHas)), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(tst_LibraryCli)
#include "tst_LibraryCli.moc"
