#include "FakeDialogs.h"
#include "support/FileUtils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFileUtils : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    FakeDialogs m_dialogs;
    int m_beeps = 0;
    Beeper m_beep = [this] { ++m_beeps; };

    QString path(const QString &name) const { return m_dir.filePath(name); }

    static void write(const QString &file, const QByteArray &bytes)
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write the test file");
        f.write(bytes);
    }
    static QByteArray read(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void setTime(const QString &file, const QDateTime &when)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadWrite) || !f.setFileTime(when, QFileDevice::FileModificationTime))
            qFatal("cannot set the file time");
    }

private Q_SLOTS:
    void init()
    {
        m_beeps = 0;
        m_dialogs.shown.clear();
    }

    void queries()
    {
        const QString sub = path(QStringLiteral("q/sub"));
        QVERIFY(QDir().mkpath(sub));
        write(path(QStringLiteral("q/a.txt")), "12345");
        write(sub + QStringLiteral("/.hidden"), "123");
        QCOMPARE(PathKind(path(QStringLiteral("q"))), 'd');
        QCOMPARE(PathKind(path(QStringLiteral("q/a.txt"))), 'f');
        QCOMPARE(PathKind(path(QStringLiteral("q/none"))), 'n');
        QCOMPARE(FileSizeOf(path(QStringLiteral("q/a.txt"))), 5u);
        QCOMPARE(FileSizeOf(path(QStringLiteral("q"))), 0u);
        QCOMPARE(FileSizeOf(path(QStringLiteral("q/none"))), 0u);
        QCOMPARE(DirSize(path(QStringLiteral("q/"))), 8u);
        QCOMPARE(PathSize(path(QStringLiteral("q"))), 8u);
        QCOMPARE(PathSize(path(QStringLiteral("q/a.txt"))), 5u);
        QCOMPARE(PathSize(path(QStringLiteral("q/none"))), 0u);
        QCOMPARE(FileDateOf(path(QStringLiteral("q/none"))), -1);
        QVERIFY(PathDateStr(path(QStringLiteral("q/none"))).isEmpty());
        QVERIFY(!PathDateStr(path(QStringLiteral("q/a.txt"))).isEmpty());
        QVERIFY(!PathDateStr(path(QStringLiteral("q"))).isEmpty());
    }

    void dosStamp_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("epoch") << QDateTime(QDate(1980, 1, 1), QTime(0, 0)) << qint64(0x00210000);
        QTest::newRow("odd seconds halve")
            << QDateTime(QDate(2024, 5, 17), QTime(13, 45, 31))
            << qint64((44u << 25) | (5u << 21) | (17u << 16) | (13u << 11) | (45u << 5) | 15u);
        QTest::newRow("before 1980") << QDateTime(QDate(1979, 12, 31), QTime(23, 0)) << qint64(0);
        QTest::newRow("sign bit from 2044")
            << QDateTime(QDate(2044, 1, 1), QTime(0, 0)) << qint64(std::int32_t(0x80210000u));
    }
    void dosStamp()
    {
        QFETCH(QDateTime, when);
        QFETCH(qint64, expected);
        QCOMPARE(qint64(DosDateTime(when)), expected);
    }

    void fileDateIsLocalStamp()
    {
        const QString file = path(QStringLiteral("dated.txt"));
        write(file, "x");
        const QDateTime when(QDate(2021, 3, 4), QTime(5, 6, 8));
        setTime(file, when);
        QCOMPARE(FileDateOf(file), DosDateTime(when));
    }

    void newestFile()
    {
        const QString folder = path(QStringLiteral("newest"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/onlydir")));
        QCOMPARE(NewestFile(folder), QString());
        write(folder + QStringLiteral("/old.lnk"), "o");
        write(folder + QStringLiteral("/new.lnk"), "n");
        setTime(folder + QStringLiteral("/old.lnk"), QDateTime(QDate(2020, 1, 1), QTime(1, 0)));
        setTime(folder + QStringLiteral("/new.lnk"), QDateTime(QDate(2022, 1, 1), QTime(1, 0)));
        // The subfolder, made just now, is newer than both files and does not count.
        QCOMPARE(NewestFile(folder + QLatin1Char('/')), folder + QStringLiteral("/new.lnk"));
        QCOMPARE(NewestFile(path(QStringLiteral("nowhere"))), QString());
    }

    void createEmptyFile()
    {
        const QString file = path(QStringLiteral("empty.ini"));
        QVERIFY(CreateEmptyFile(file));
        QCOMPARE(read(file), QByteArray());
        QVERIFY(!CreateEmptyFile(file));
        QVERIFY(!CreateEmptyFile(path(QStringLiteral("no/folder/x.ini"))));
    }

    void forceDir_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("absolute");
        QTest::addColumn<bool>("expected");
        QTest::newRow("deep") << QStringLiteral("f/a/b/c") << true << true;
        QTest::newRow("trailing slash") << QStringLiteral("f/t/") << true << true;
        QTest::newRow("existing") << QStringLiteral("f") << true << true;
        QTest::newRow("relative refused") << QStringLiteral("rel/x") << false << false;
        QTest::newRow("file in the way") << QStringLiteral("blocker/x") << true << false;
    }
    void forceDir()
    {
        QFETCH(QString, relative);
        QFETCH(bool, absolute);
        QFETCH(bool, expected);
        QVERIFY(QDir().mkpath(path(QStringLiteral("f"))));
        write(path(QStringLiteral("blocker")), "file");
        const QString target = absolute ? path(relative) : relative;
        QCOMPARE(ForceDir(target), expected);
        QCOMPARE(QFileInfo(target).isDir(), expected);
        QVERIFY(!QFileInfo::exists(QDir::current().filePath(QStringLiteral("rel"))));
    }

    void appendPiece_data()
    {
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("last");
        QTest::addColumn<bool>("destinationExists");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("beeps");
        QTest::newRow("middle") << qint64(3) << qint64(5) << false << QByteArray("cde") << 0;
        QTest::newRow("extends existing") << qint64(1) << qint64(10) << true << QByteArray("OLDabcdefghij") << 0;
        QTest::newRow("beyond end") << qint64(8) << qint64(40) << true << QByteArray("OLDhij") << 2;
        QTest::newRow("empty piece") << qint64(5) << qint64(4) << false << QByteArray() << 0;
        QTest::newRow("start before first byte") << qint64(0) << qint64(2) << false << QByteArray("ab") << 0;
    }
    void appendPiece()
    {
        QFETCH(qint64, first);
        QFETCH(qint64, last);
        QFETCH(bool, destinationExists);
        QFETCH(QByteArray, expected);
        QFETCH(int, beeps);
        const QString source = path(QStringLiteral("src.bin"));
        const QString destination = path(QStringLiteral("dst.bin"));
        write(source, "abcdefghij");
        QFile::remove(destination);
        if (destinationExists)
            write(destination, "OLD");
        QVERIFY(AppendFilePiece(source, first, last, destination, m_dialogs, m_beep));
        QCOMPARE(read(destination), expected);
        QCOMPARE(m_beeps, beeps);
        QVERIFY(m_dialogs.shown.isEmpty());
    }

    void appendPieceOfLargeFile()
    {
        // Crosses the big-buffer threshold and ends mid-buffer.
        QByteArray bytes(700000, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7);
        const QString source = path(QStringLiteral("big.bin"));
        const QString destination = path(QStringLiteral("bigcopy.bin"));
        write(source, bytes);
        QFile::remove(destination);
        QVERIFY(AppendFilePiece(source, 11, 600010, destination, m_dialogs, m_beep));
        QCOMPARE(read(destination), bytes.mid(10, 600000));
        QVERIFY(AppendFile(source, destination, m_dialogs, m_beep));
        QCOMPARE(read(destination), bytes.mid(10, 600000) + bytes);
        QCOMPARE(m_beeps, 0);
    }

    void appendPieceToItself()
    {
        const QString file = path(QStringLiteral("self.txt"));
        write(file, "abcdef");
        QVERIFY(AppendFilePiece(file, 2, 4, file, m_dialogs, m_beep));
        QCOMPARE(read(file), QByteArray("abcdefbcd"));
    }

    void appendMissingSource()
    {
        const QString missing = path(QStringLiteral("missing.bin"));
        QVERIFY(!AppendFile(missing, path(QStringLiteral("out.bin")), m_dialogs, m_beep));
        QCOMPARE(m_dialogs.texts(), QStringList{QStringLiteral("Error: file does not exist: ") + missing});
        QCOMPARE(m_dialogs.shown.first().caption, QStringLiteral("Error"));
        QVERIFY(!QFile::exists(path(QStringLiteral("out.bin"))));
    }

    void copyKeepsDate()
    {
        const QString source = path(QStringLiteral("orig.mht"));
        const QString destination = path(QStringLiteral("copy.mht"));
        write(source, "archive");
        write(destination, "longer old content");
        const QDateTime when(QDate(2019, 7, 1), QTime(8, 30, 15));
        setTime(source, when);
        QVERIFY(CopyFileKeepDate(source, destination, m_dialogs, m_beep));
        QCOMPARE(read(destination), QByteArray("archive"));
        QCOMPARE(QFileInfo(destination).lastModified(), when);
        // Onto itself: nothing to do, and the file survives.
        QVERIFY(CopyFileKeepDate(source, source, m_dialogs, m_beep));
        QCOMPARE(read(source), QByteArray("archive"));
        QVERIFY(m_dialogs.shown.isEmpty());
    }

    void copyFailuresAreReportedNotFatal()
    {
        const QString missing = path(QStringLiteral("gone.mht"));
        QVERIFY(!CopyFileKeepDate(missing, path(QStringLiteral("c1.mht")), m_dialogs, m_beep));
        QCOMPARE(m_dialogs.lastText(), QStringLiteral("Error: file does not exist: ") + missing);

        // A non-empty folder where the copy should go cannot be removed.
        const QString source = path(QStringLiteral("s.mht"));
        write(source, "x");
        const QString blocked = path(QStringLiteral("blockeddir"));
        QVERIFY(QDir().mkpath(blocked + QStringLiteral("/inner")));
        QVERIFY(!CopyFileKeepDate(source, blocked, m_dialogs, m_beep));
        QCOMPARE(m_beeps, 5);
        QCOMPARE(m_dialogs.lastText(), QStringLiteral("Could not replace file: ") + blocked);
    }
};

QTEST_GUILESS_MAIN(TestFileUtils)
#include "tst_fileutils.moc"
