#include "FileSizeLimit.h"
#include "support/AtomicFile.h"
#include "support/FileLock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {
int syncs = 0;
}

#ifdef Q_OS_LINUX
// These take the place of the C library's for the writer and for Qt, so
// the test can tell whether a file was synced: on ext4 a rename over a
// file starts its writing at once, so its pages alone cannot tell.
extern "C" int fsync(int fd)
{
    ++syncs;
    return int(::syscall(SYS_fsync, fd));
}

// QSaveFile's own sync.
extern "C" int fdatasync(int fd)
{
    ++syncs;
    return int(::syscall(SYS_fdatasync, fd));
}
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
    void lockIsExclusiveAndItsWaitBounded()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shared.his"));
        std::optional<FileLock> held(std::in_place, path);
        QVERIFY(held->locked());
        QCOMPARE(FileLock::lockPath(path), dir.filePath(QStringLiteral(".shared.his.lock")));
        const FileLock waiting(path, 50);
        QVERIFY(!waiting.locked());
        QCOMPARE(waiting.errorString(), path + QStringLiteral(" stays locked by another program"));
        held.reset();
        QVERIFY(FileLock(path, 50).locked());
        const FileLock missingFolder(dir.filePath(QStringLiteral("gone/shared.his")), 50);
        QVERIFY(!missingFolder.locked());
    }

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

    // A file that takes the place of another is synced before its rename,
    // whether one stood there when writing began or appeared meanwhile; a
    // new name may be left to the system to write.
    void durableWhenReplacing_data()
    {
        QTest::addColumn<bool>("always");
        QTest::addColumn<bool>("existed");
        QTest::addColumn<bool>("appears");
        QTest::addColumn<bool>("synced");
        QTest::newRow("always, new name") << true << false << false << true;
        QTest::newRow("always, replacing") << true << true << false << true;
        QTest::newRow("when replacing, replacing") << false << true << false << true;
        QTest::newRow("when replacing, a file appears meanwhile") << false << false << true << true;
        QTest::newRow("when replacing, new name") << false << false << false << false;
    }
    void durableWhenReplacing()
    {
        QFETCH(bool, always);
        QFETCH(bool, existed);
        QFETCH(bool, appears);
        QFETCH(bool, synced);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.mht"));
        if (existed)
            put(path, "the old archive");
        AtomicFile file(path, always ? AtomicFile::Durability::Always : AtomicFile::Durability::WhenReplacing);
        QVERIFY(file.open());
        const QByteArray bytes(300 * 1024, 'q');
        QVERIFY(file.write(bytes));
        if (appears)
            put(path, "written by someone else meanwhile");
        syncs = 0;
        QVERIFY2(file.commit(), qPrintable(file.errorString()));
        QCOMPARE(syncs > 0, synced);
        verifyUntouched(dir, path, bytes);
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
