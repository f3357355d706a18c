#include "FileSizeLimit.h"
#include "support/FileMoves.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

class TestFileMoves : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dataHome;

    static bool write(const QString &file, const QByteArray &bytes)
    {
        QFile f(file);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }
    static QByteArray read(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The trash lives in the data folder; keep the user's own out of it.
        QVERIFY(m_dataHome.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
    }

    void move_data()
    {
        QTest::addColumn<QString>("target");   // relative to the test folder
        QTest::addColumn<QString>("existing"); // a file there beforehand, "" none, "@" a dangling link
        QTest::addColumn<bool>("sourceThere");
        QTest::addColumn<QString>("reason"); // "" for a move that works

        QTest::newRow("rename in its folder") << "b.mht"
                                              << "" << true << "";
        QTest::newRow("into another folder") << "sub/a.mht"
                                             << "" << true << "";
        QTest::newRow("only the letter case") << "A.mht"
                                              << "" << true << "";
        QTest::newRow("target exists") << "b.mht"
                                       << "b.mht" << true << "A file of that name exists already.";
        QTest::newRow("target is a dangling link") << "b.mht"
                                                   << "@" << true << "A file of that name exists already.";
        QTest::newRow("file vanished") << "b.mht"
                                       << "" << false << "The file does not exist.";
        QTest::newRow("target folder missing") << "none/a.mht"
                                               << "" << true << "The target folder does not exist.";
    }

    void move()
    {
        QFETCH(QString, target);
        QFETCH(QString, existing);
        QFETCH(bool, sourceThere);
        QFETCH(QString, reason);

        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        const QString source = dir.filePath(QStringLiteral("a.mht"));
        const QString to = dir.filePath(target);
        if (sourceThere)
            QVERIFY(write(source, "archive"));
        if (existing == QStringLiteral("@"))
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), to));
        else if (!existing.isEmpty())
            QVERIFY(write(dir.filePath(existing), "other"));

        QString why = QStringLiteral("untouched");
        const bool moved = MoveFileNoReplace(source, to, &why);

        QCOMPARE(moved, reason.isEmpty());
        if (moved) {
            QCOMPARE(read(to), QByteArray("archive"));
            QVERIFY(!QFileInfo::exists(source));
            QCOMPARE(why, QStringLiteral("untouched"));
            return;
        }
        QCOMPARE(why, reason);
        if (sourceThere)
            QCOMPARE(read(source), QByteArray("archive"));
        if (existing.size() > 1)
            QCOMPARE(read(to), QByteArray("other"));
    }

    void moveToAnotherFileSystem()
    {
        QTemporaryDir here;
        QTemporaryDir there(QStringLiteral("/dev/shm/quillet-XXXXXX"));
        if (!there.isValid() || QStorageInfo(here.path()).device() == QStorageInfo(there.path()).device())
            QSKIP("needs a second file system at /dev/shm");
        const QString source = here.filePath(QStringLiteral("a.mht"));
        QByteArray bytes(3 * 1024 * 1024 + 17, 'x');
        bytes[5] = '\0';
        QVERIFY(write(source, bytes));
        const QDateTime when = QDateTime::currentDateTime().addDays(-3).addMSecs(-123);
        {
            QFile f(source);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
        }
        const QString target = there.filePath(QStringLiteral("a.mht"));

        QString why;
        QVERIFY2(MoveFileNoReplace(source, target, &why), qPrintable(why));
        QCOMPARE(read(target), bytes);
        QVERIFY(!QFileInfo::exists(source));
        QCOMPARE(QFileInfo(target).lastModified().toSecsSinceEpoch(), when.toSecsSinceEpoch());

        // Back again, onto a file that has appeared meanwhile: refused.
        QVERIFY(write(source, "newer"));
        QVERIFY(!MoveFileNoReplace(target, source, &why));
        QCOMPARE(read(source), QByteArray("newer"));
        QCOMPARE(read(target), bytes);
    }

    void moveToTrash_data()
    {
        QTest::addColumn<QString>("obstacle"); // "", "missing", "no trash" or "full disk"
        QTest::addColumn<TrashOutcome>("outcome");
        QTest::newRow("trashed") << "" << TrashOutcome::Trashed;
        QTest::newRow("no such file") << "missing" << TrashOutcome::NotMoved;
        QTest::newRow("no trash can be made") << "no trash" << TrashOutcome::Refused;
        // The trash took the file but could not write where it came from.
        QTest::newRow("no room for the trash record") << "full disk" << TrashOutcome::Refused;
    }
    void moveToTrash()
    {
        QFETCH(QString, obstacle);
        QFETCH(TrashOutcome, outcome);
        QTemporaryDir dir;
        const QString name = QStringLiteral("gone %1.mht").arg(QString::fromLatin1(QTest::currentDataTag()));
        const QString file = dir.filePath(name);
        if (obstacle != QStringLiteral("missing"))
            QVERIFY(write(file, "archive"));
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", dataHome); });
        if (obstacle == QStringLiteral("no trash")) {
            // Where a plain file stands, no trash folder can be made.
            QVERIFY(write(dir.filePath(QStringLiteral("plain")), "x"));
            qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("plain/data"))));
        }
        TrashOutcome result;
        {
            std::optional<FileSizeLimit> limit;
            if (obstacle == QStringLiteral("full disk")) {
                limit.emplace(8);
                if (!limit->active())
                    QSKIP("no file size limit here");
            }
            result = MoveToTrash(file);
        }
        QCOMPARE(result, outcome);

        const QString trash = m_dataHome.filePath(QStringLiteral("Trash"));
        const bool trashed = outcome == TrashOutcome::Trashed;
        QCOMPARE(read(file),
                 trashed || obstacle == QStringLiteral("missing") ? QByteArray("<missing>") : QByteArray("archive"));
        QCOMPARE(QFileInfo::exists(trash + QStringLiteral("/files/") + name), trashed);
        QCOMPARE(QFileInfo::exists(trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo")), trashed);
    }
};

QTEST_GUILESS_MAIN(TestFileMoves)
#include "tst_filemoves.moc"
