#include "support/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestProgramFolder : public QObject
{
    Q_OBJECT

private:
    static void touch(const QString &path, const QByteArray &content = "x")
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write the test file");
        file.write(content);
    }

private Q_SLOTS:
    void resolution_data()
    {
        QTest::addColumn<bool>("homeSet");
        QTest::addColumn<bool>("exeWritable");
        QTest::addColumn<QString>("expected");
        QTest::newRow("environment wins") << true << true << QStringLiteral("home");
        QTest::newRow("environment wins over read-only") << true << false << QStringLiteral("home");
        QTest::newRow("writable executable folder") << false << true << QStringLiteral("exe");
        QTest::newRow("read-only install") << false << false << QStringLiteral("data");
    }
    void resolution()
    {
        QFETCH(bool, homeSet);
        QFETCH(bool, exeWritable);
        QFETCH(QString, expected);
        QTemporaryDir root;
        const QString exe = root.filePath(QStringLiteral("exe"));
        QVERIFY(QDir().mkpath(exe));
        ProgramFolder folder(exe + QLatin1Char('/'), homeSet ? root.filePath(QStringLiteral("home/")) : QString(),
                             root.filePath(QStringLiteral("data")),
                             [exeWritable](const QString &) { return exeWritable; });
        QCOMPARE(folder.path(), root.filePath(expected));
        QVERIFY(QFileInfo(folder.path()).isDir());
        QCOMPARE(folder.filePath(QStringLiteral("quillet.ini")),
                 root.filePath(expected + QStringLiteral("/quillet.ini")));
        QCOMPARE(folder.registryPath(QStringLiteral("/config")),
                 homeSet ? root.filePath(QStringLiteral("home/registry.ini")) : QStringLiteral("/config/registry.ini"));
    }

    void realProbeOfExecutableFolder()
    {
        QTemporaryDir root;
        ProgramFolder writable(root.path(), QString(), root.filePath(QStringLiteral("data")));
        QCOMPARE(writable.path(), root.path());
        ProgramFolder missing(root.filePath(QStringLiteral("gone")), QString(), root.filePath(QStringLiteral("data")));
        QCOMPARE(missing.path(), root.filePath(QStringLiteral("data")));
        QVERIFY(QDir(root.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void fallbackIsSeededWithShippedPages()
    {
        QTemporaryDir root;
        const QString exe = root.filePath(QStringLiteral("exe"));
        const QString data = root.filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(exe));
        QVERIFY(QDir().mkpath(data));
        touch(exe + QStringLiteral("/untitled.mht"), "template");
        touch(exe + QStringLiteral("/bestpractice.htm"), "shipped");
        touch(exe + QStringLiteral("/quillet"), "program");
        // The user's own copy is never overwritten.
        touch(data + QStringLiteral("/bestpractice.htm"), "edited");

        ProgramFolder folder(exe, QString(), data, [](const QString &) { return false; });
        QCOMPARE(folder.path(), data);
        QCOMPARE(folder.seededFiles(), QStringList{QStringLiteral("untitled.mht")});
        QFile untitled(data + QStringLiteral("/untitled.mht"));
        QVERIFY(untitled.open(QIODevice::ReadOnly));
        QCOMPARE(untitled.readAll(), QByteArray("template"));
        QFile kept(data + QStringLiteral("/bestpractice.htm"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("edited"));
        QVERIFY(!QFile::exists(data + QStringLiteral("/quillet")));
    }

    void homeGetsTheShippedPagesItLacks_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("seeded");
        const QStringList both{QStringLiteral("bestpractice.htm"), QStringLiteral("untitled.mht")};
        QTest::newRow("not there yet") << QStringList() << both;
        QTest::newRow("empty") << QStringList{QStringLiteral(".")} << both;
        // Home and the clipboard page need them in a home in use too.
        QTest::newRow("in use") << QStringList{QStringLiteral("quillet.ini")} << both;
        // The user's own page stays.
        QTest::newRow("in use, a page of its own")
            << QStringList{QStringLiteral("quillet.ini"), QStringLiteral("untitled.mht")}
            << QStringList{QStringLiteral("bestpractice.htm")};
    }
    void homeGetsTheShippedPagesItLacks()
    {
        QFETCH(QStringList, present);
        QFETCH(QStringList, seeded);
        QTemporaryDir root;
        const QString exe = root.filePath(QStringLiteral("exe"));
        const QString home = root.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(exe));
        touch(exe + QStringLiteral("/bestpractice.htm"), "shipped");
        touch(exe + QStringLiteral("/untitled.mht"), "shipped");
        for (const QString &name : present) {
            QVERIFY(QDir().mkpath(home));
            if (name != QStringLiteral("."))
                touch(home + QLatin1Char('/') + name, "own");
        }
        ProgramFolder folder(exe, home, root.filePath(QStringLiteral("data")));
        QCOMPARE(folder.path(), home);
        QStringList copied = folder.seededFiles();
        copied.sort();
        QCOMPARE(copied, seeded);
        for (const QString &name : {QStringLiteral("bestpractice.htm"), QStringLiteral("untitled.mht")}) {
            QFile page(home + QLatin1Char('/') + name);
            QVERIFY(page.open(QIODevice::ReadOnly));
            QCOMPARE(page.readAll(), seeded.contains(name) ? QByteArray("shipped") : QByteArray("own"));
        }
    }

    void installedCopyWorksInTheUserFolder()
    {
        // As root even /usr/bin is writable; the layout decides.
        QTemporaryDir root;
        const QString bin = root.filePath(QStringLiteral("usr/bin"));
        const QString shared = root.filePath(QStringLiteral("usr/share/quillet"));
        const QString data = root.filePath(QStringLiteral("home/data"));
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QDir().mkpath(shared));
        touch(shared + QStringLiteral("/bestpractice.htm"), "shipped");
        touch(bin + QStringLiteral("/quillet"), "program");

        ProgramFolder folder(bin, QString(), data, [](const QString &) { return true; });
        QCOMPARE(folder.path(), data);
        QCOMPARE(folder.seededFiles(), QStringList{QStringLiteral("bestpractice.htm")});
        QVERIFY(!QFile::exists(bin + QStringLiteral("/bestpractice.htm")));
    }
};

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
