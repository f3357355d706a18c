#include "archive/MhtmlNormalizer.h"
#include "archive/MhtmlReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class tst_MhtmlNormalizer : public QObject
{
    Q_OBJECT

private:
    static QString data(const char *name)
    {
        return qEnvironmentVariable("QUILLET_TEST_DATA") + u'/' + QLatin1String(name);
    }

    static QByteArray bytesOf(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void engineReadyPath_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<bool>("copied");
        QTest::addColumn<bool>("error");

        QTest::newRow("crlf web archive is used as it is") << bytesOf(data("sample.mht")) << false << false;
        QTest::newRow("lf and file: locations") << bytesOf(data("local-lf.mht")) << true << false;
        QByteArray crlfFile = bytesOf(data("local-lf.mht"));
        crlfFile.replace("\n", "\r\n");
        QTest::newRow("crlf with file: locations") << crlfFile << true << false;
        QByteArray lfWeb = bytesOf(data("sample.mht"));
        lfWeb.replace("\r\n", "\n");
        QTest::newRow("lf web archive") << lfWeb << true << false;
        QTest::newRow("nested alternative") << bytesOf(data("ie-framed-alternative.mht")) << true << false;
        QTest::newRow("picture as the root") << bytesOf(data("image-document.mht")) << true << false;
        QTest::newRow("chromium snapshot is used as it is") << bytesOf(data("chromium-snapshot.mht")) << false << false;
        QTest::newRow("broken lf archive")
            << QByteArray("Content-Type: multipart/related; boundary=q\n\n--q\nx") << false << true;
        QTest::newRow("broken crlf archive") << QByteArray("Content-Type: multipart/related; boundary=q\r\n\r\n"
                                                           "--q\r\nContent-Type: text/html\r\n\r\n<p>cut")
                                             << false << true;
    }

    void engineReadyPath()
    {
        QFETCH(QByteArray, archive);
        QFETCH(bool, copied);
        QFETCH(bool, error);
        QTemporaryDir dir;
        const QString original = dir.filePath(QStringLiteral("page.mht"));
        QFile f(original);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(archive);
        f.close();
        const QString cache = dir.filePath(QStringLiteral("cache/engine"));

        QString message;
        const QString path = MhtmlNormalizer::engineReadyPath(original, cache, &message);
        QCOMPARE(message.isEmpty(), !error);
        QCOMPARE(path != original, copied);
        QCOMPARE(bytesOf(original), archive); // the original is never touched
        if (!copied)
            return;
        QVERIFY(path.startsWith(cache + u'/'));
        const QByteArray copy = bytesOf(path);
        QVERIFY(!MhtmlNormalizer::needsNormalizing(copy));
        const MhtmlReadResult before = MhtmlReader().read(archive);
        const MhtmlReadResult after = MhtmlReader().read(copy);
        QVERIFY2(after.ok(), qPrintable(after.error));
        QCOMPARE(after.archive.parts.size(), before.archive.parts.size());
        QCOMPARE(after.archive.rootIndex, 0);
        QCOMPARE(after.archive.root()->contentType, before.archive.root()->contentType);
        // Opening again reuses the same copy instead of filling the cache.
        QCOMPARE(MhtmlNormalizer::engineReadyPath(original, cache, &message), path);
        QCOMPARE(QDir(cache).entryList(QDir::Files).size(), 1);
    }

    void needsNormalizing_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<bool>("needed");

        // The line ends are looked at block by block: a bare one is found
        // wherever it falls, a CRLF across two blocks is no bare one.
        const QByteArray filler(4094, 'x'); // the first block ends at 4096
        QTest::newRow("crlf only") << QByteArray("a\r\nb\r\n") << false;
        QTest::newRow("lf first") << QByteArray("\nb\r\n") << true;
        QTest::newRow("lf last") << QByteArray("a\r\nb\n") << true;
        QTest::newRow("crlf across blocks") << filler + "yz\r\n" + filler << false;
        QTest::newRow("lf first in a block") << filler + "yzw\n" + filler << true;
        QTest::newRow("lf last in a block") << filler + "yz\n" + filler << true;
        QTest::newRow("web location") << QByteArray("Content-Location: https://a.test/\r\n") << false;
        for (const char *name : {"Content-Location", "content-location", "CONTENT-LOCATION"})
            QTest::newRow(name) << QByteArray(name) + ":\t file:///C:/a.htm\r\n" << true;
        QTest::newRow("file: in the text") << QByteArray("<a href=\"file:///a\">x: file:</a>\r\n") << false;
        QTest::newRow("cut after the name") << QByteArray("\r\nContent-Location: fil") << false;
        QTest::newRow("colon first") << QByteArray(":file:\r\n") << false;
    }

    void needsNormalizing()
    {
        QFETCH(QByteArray, raw);
        QFETCH(bool, needed);
        QCOMPARE(MhtmlNormalizer::needsNormalizing(raw), needed);
    }

    void tooLargeToCheckIsRefused()
    {
        QTemporaryDir dir;
        const QString huge = dir.filePath(QStringLiteral("huge.mht"));
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // Sparse: no disk space is taken.
        QVERIFY(f.resize(MhtmlReader::DefaultMaxSize + 1));
        f.close();
        QString message;
        QCOMPARE(MhtmlNormalizer::engineReadyPath(huge, dir.filePath(QStringLiteral("cache")), &message), huge);
        QVERIFY2(message.startsWith(huge + QStringLiteral(" is too large to open")), qPrintable(message));
    }

    void fileLocationsStayConsistent()
    {
        MhtmlReadResult read = MhtmlReader().readFile(data("local-lf.mht"));
        QVERIFY2(read.ok(), qPrintable(read.error));
        QVERIFY(MhtmlNormalizer::mapFileLocations(read.archive));
        const MhtmlArchive &a = read.archive;
        const QString root = a.root()->contentLocation;
        const QString image = a.parts[1].contentLocation;
        QVERIFY(!root.startsWith(QLatin1String("file:")));
        QVERIFY(!image.startsWith(QLatin1String("file:")));
        const QString html = a.rootHtml();
        QVERIFY(!html.contains(QLatin1String("file:")));
        // Both the relative and the absolute reference still name the image part.
        QCOMPARE(QUrl(root).resolved(QUrl(QStringLiteral("page_files/dot.gif"))).toString(), image);
        QVERIFY(html.contains(QStringLiteral("src=\"%1\"").arg(image)));
        QVERIFY(a.parts[1].data.startsWith("GIF89a"));
        QVERIFY(!MhtmlNormalizer::mapFileLocations(read.archive)); // nothing left to map
    }

    void mapFileUrl_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("mapped");
        const QString p = MhtmlNormalizer::mappedPrefix();
        QTest::newRow("windows") << QStringLiteral("file:///C:/a/b.gif") << p + QStringLiteral("C:/a/b.gif");
        QTest::newRow("unix upper case") << QStringLiteral("FILE:///home/a.gif") << p + QStringLiteral("home/a.gif");
        QTest::newRow("http unchanged") << QStringLiteral("http://x.test/a") << QStringLiteral("http://x.test/a");
        QTest::newRow("cid unchanged") << QStringLiteral("cid:abc") << QStringLiteral("cid:abc");
    }

    void mapFileUrl()
    {
        QFETCH(QString, url);
        QFETCH(QString, mapped);
        QCOMPARE(MhtmlNormalizer::mapFileUrl(url), mapped);
    }
};

QTEST_GUILESS_MAIN(tst_MhtmlNormalizer)
#include "tst_MhtmlNormalizer.moc"
