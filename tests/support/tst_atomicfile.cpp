#include "FileSizeLimit.h"
#include "support/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif

class TestAtomicFile : public QObject
{
    Q_OBJECT

private:
    static QByteArray bytesOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    static void put(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    // Nothing but the original may be left: no temporary file either.
    static void verifyUntouched(const QTemporaryDir &dir, const QString &path, const QByteArray &original)
    {
        QCOMPARE(bytesOf(path), original);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(path).fileName()});
    }

private Q_SLOTS:
    void writesEveryByte()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ini"));
        QVERIFY(WriteFileAtomically(path, "first").ok());
        QCOMPARE(bytesOf(path), QByteArray("first"));
        const QByteArray big(300 * 1024, 'b');
        QVERIFY(WriteFileAtomically(path, big).ok());
        verifyUntouched(dir, path, big);
    }

    // A short write anywhere, however the bytes were handed over, keeps the
    // old file and says why.
    void shortWriteKeepsOldFile_data()
    {
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<int>("pieceSize");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<bool>("streamed");
        // Fails only when Qt flushes its buffer at the end.
        QTest::newRow("small buffered write") << qint64(8) << 100 << 1 << false;
        QTest::newRow("write beyond the buffer") << qint64(64 * 1024) << 200 * 1024 << 1 << false;
        QTest::newRow("streamed pieces, errors unchecked") << qint64(4096) << 1000 << 40 << true;
    }
    void shortWriteKeepsOldFile()
    {
        QFETCH(qint64, limit);
        QFETCH(int, pieceSize);
        QFETCH(int, pieces);
        QFETCH(bool, streamed);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.mht"));
        const QByteArray original("the archive as it was");
        put(path, original);

        AtomicFile file(path);
        bool committed = true;
        {
            FileSizeLimit full(limit);
            if (!full.active())
                QSKIP("no file size limit on this system");
            QVERIFY(file.open());
            const QByteArray piece(pieceSize, 'n');
            for (int i = 0; i < pieces; ++i) {
                if (streamed)
                    file.device().write(piece);
                else
                    file.write(piece);
            }
            committed = file.commit();
        }
        QVERIFY(!committed);
        QVERIFY(!file.errorString().isEmpty());
        QVERIFY(!file.write("more"));
        verifyUntouched(dir, path, original);
    }

    void unwritableTargetsKeepOldFile()
    {
        QTemporaryDir dir;
        // A folder in the file's place, and a folder that is not there.
        const QString blocked = dir.filePath(QStringLiteral("blocked"));
        QVERIFY(QDir().mkdir(blocked));
        QVERIFY(!WriteFileAtomically(blocked, "x").ok());
        QVERIFY(QFileInfo(blocked).isDir());
        QVERIFY(!WriteFileAtomically(dir.filePath(QStringLiteral("none/a.ini")), "x").ok());
    }

    // The real thing: a file system with no room left.
    void fullFileSystem()
    {
#ifdef Q_OS_LINUX
        QTemporaryDir dir;
        const QByteArray mountPoint = QFile::encodeName(dir.path());
        if (geteuid() != 0 || ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("cannot mount a small file system here (needs root)");
        const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
        const QString path = dir.filePath(QStringLiteral("quillet.ini"));
        const QByteArray original("[Edit]\nRed=255\n");
        put(path, original);
        QFile fill(dir.filePath(QStringLiteral("fill")));
        QVERIFY(fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (fill.write(QByteArray(4096, 'f')) == 4096) {
        }
        fill.close();

        const QString error = WriteFileAtomically(path, "[Edit]\nRed=0\n").error;
        QVERIFY2(error.contains(QStringLiteral("No space left")), qPrintable(error));
        QCOMPARE(bytesOf(path), original);
#else
        QSKIP("mounting a small file system is tried on Linux only");
#endif
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
