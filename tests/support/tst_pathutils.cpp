#include "support/PathUtils.h"
#include "support/TextUtils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

class TestPathUtils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stripBackslash_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("root stays") << QStringLiteral("/") << QStringLiteral("/");
        QTest::newRow("one goes") << QStringLiteral("/home/a/") << QStringLiteral("/home/a");
        QTest::newRow("only one of two") << QStringLiteral("/home/a//") << QStringLiteral("/home/a/");
        QTest::newRow("none") << QStringLiteral("/home/a") << QStringLiteral("/home/a");
        QTest::newRow("empty") << QString() << QString();
    }
    void stripBackslash()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        StripBackslash(path);
        QCOMPARE(path, expected);
    }

    void extractDirAndName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("name");
        QTest::newRow("file in root") << QStringLiteral("/a.mht") << QStringLiteral("/") << QStringLiteral("a");
        QTest::newRow("nested") << QStringLiteral("/x/y/a.b.mht") << QStringLiteral("/x/y") << QStringLiteral("a.b");
        QTest::newRow("dot file") << QStringLiteral("/home/u/.profile") << QStringLiteral("/home/u") << QString();
        QTest::newRow("no extension") << QStringLiteral("/d/readme") << QStringLiteral("/d")
                                      << QStringLiteral("readme");
        QTest::newRow("bare name") << QStringLiteral("page.htm") << QString() << QStringLiteral("page");
        QTest::newRow("dot in folder only")
            << QStringLiteral("/a.d/readme") << QStringLiteral("/a.d") << QStringLiteral("readme");
    }
    void extractDirAndName()
    {
        QFETCH(QString, path);
        QFETCH(QString, dir);
        QFETCH(QString, name);
        QCOMPARE(ExtractDir(path), dir);
        QCOMPARE(FileNameNoExt(path), name);
    }

    void safeFileName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("keepPath");
        QTest::addColumn<QString>("expected");
        QTest::newRow("keep path intact") << QStringLiteral("/home/dir/") << true << QStringLiteral("/home/dir/");
        QTest::newRow("keep backslash and colon") << QStringLiteral("a\\b:c") << true << QStringLiteral("a\\b:c");
        QTest::newRow("question mark") << QStringLiteral("a?b") << true << QStringLiteral("a\u00E7b");
        QTest::newRow("no path") << QStringLiteral("/home/dir/") << false << QStringLiteral("(home(dir(");
        QTest::newRow("windows style") << QStringLiteral("C:\\dir\\") << false << QStringLiteral("C=)dir)");
        QTest::newRow("the rest") << QStringLiteral("*\"<>|") << false << QStringLiteral("+\u00A8{}!");
        QTest::newRow("empty") << QString() << false << QString();
    }
    void safeFileName()
    {
        QFETCH(QString, text);
        QFETCH(bool, keepPath);
        QFETCH(QString, expected);
        QCOMPARE(SafeFileName(text, keepPath), expected);
    }

    void urlToPath_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected");
        QTest::newRow("file url") << QStringLiteral("file:///home/a/b.mht") << QStringLiteral("/home/a/b.mht");
        QTest::newRow("upper case scheme") << QStringLiteral("FILE:///home/x") << QStringLiteral("FILE:///home/x");
        QTest::newRow("web") << QStringLiteral("https://x.org/") << QStringLiteral("https://x.org/");
        // Decoded as the engine encodes a path, never as a form.
        QTest::newRow("escapes decoded") << QStringLiteral("file:///a%20b%25c%23d%3F") << QStringLiteral("/a b%c#d?");
        QTest::newRow("plus stays plus") << QStringLiteral("file:///x+y%2Bz.mht") << QStringLiteral("/x+y+z.mht");
        QTest::newRow("fragment names no file") << QStringLiteral("file:///p.htm#part") << QStringLiteral("/p.htm");
    }
    void urlToPath()
    {
        QFETCH(QString, address);
        QFETCH(QString, expected);
        QCOMPARE(UrlToPath(address), expected);
    }

    void urlDecode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("documented") << QStringLiteral("a%20b+c%%d") << QStringLiteral("a b c%d");
        QTest::newRow("utf-8 escapes") << QStringLiteral("caf%C3%A9") << QStringLiteral("caf\u00E9");
        QTest::newRow("single-byte escape") << QStringLiteral("%E7a") << QStringLiteral("\u00E7a");
        QTest::newRow("percent at end") << QStringLiteral("100%") << QStringLiteral("100%");
        QTest::newRow("one char after percent") << QStringLiteral("a%4") << QStringLiteral("a%4");
        QTest::newRow("double percent at end") << QStringLiteral("a%%") << QStringLiteral("a%");
        QTest::newRow("embedded nul") << QString(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd"))
                                      << QStringLiteral("ab");
        QTest::newRow("empty") << QString() << QString();
    }
    void urlDecode()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(UrlDecode(text).value, expected);
    }

    void urlDecodeRejectsBadHex_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << QStringLiteral("a%zzb");
        QTest::newRow("sign") << QStringLiteral("%+1");
        QTest::newRow("space") << QStringLiteral("% 1x");
    }
    void urlDecodeRejectsBadHex()
    {
        QFETCH(QString, text);
        QCOMPARE(UrlDecode(text).error,
                 QStringLiteral("'$%1' is not a valid integer value").arg(text.mid(text.indexOf(u'%') + 1, 2)));
    }

    void resolveShortcut()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("page.mht"));
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString link = dir.filePath(QStringLiteral("page.mht.lnk"));
        QVERIFY(QFile::link(target, link));
        QCOMPARE(ResolveShortcut(link), target);
        QCOMPARE(ResolveShortcut(target), QStringLiteral("NOT a shortuct by extension!"));
        QCOMPARE(ResolveShortcut(dir.filePath(QStringLiteral("broken.LNK"))), QString());
        QCOMPARE(ShortPathName(target), target);
    }

    void shortenLeft_data()
    {
        QTest::addColumn<int>("maxLen");
        QTest::addColumn<QString>("expected");
        QTest::newRow("8") << 8 << QStringLiteral("...56789");
        QTest::newRow("0") << 0 << QStringLiteral("...");
        QTest::newRow("3") << 3 << QStringLiteral("...");
        QTest::newRow("fits") << 10 << QStringLiteral("0123456789");
        QTest::newRow("negative wraps") << -2 << QStringLiteral("0123456789");
    }
    void shortenLeft()
    {
        QFETCH(int, maxLen);
        QFETCH(QString, expected);
        QCOMPARE(ShortenLeft(QStringLiteral("0123456789"), quint16(maxLen)), expected);
    }

    void sameFile_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("itself") << QStringLiteral("a.htm") << QStringLiteral("a.htm") << true;
        QTest::newRow("through ./ and ..") << QStringLiteral("a.htm") << QStringLiteral("./sub/../a.htm") << true;
        QTest::newRow("through a link") << QStringLiteral("link.htm") << QStringLiteral("a.htm") << true;
        QTest::newRow("another file") << QStringLiteral("a.htm") << QStringLiteral("b.htm") << false;
        QTest::newRow("one missing") << QStringLiteral("a.htm") << QStringLiteral("gone.htm") << false;
        QTest::newRow("both missing") << QStringLiteral("gone.htm") << QStringLiteral("gone.htm") << false;
    }
    void sameFile()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        for (const char *name : {"a.htm", "b.htm"}) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("a.htm")), dir.filePath(QStringLiteral("link.htm"))));
        QCOMPARE(SameFile(dir.filePath(a), dir.path() + QLatin1Char('/') + b), same);
    }
};

QTEST_GUILESS_MAIN(TestPathUtils)
#include "tst_pathutils.moc"
