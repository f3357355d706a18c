#include "FileSizeLimit.h"
#include "LibraryFixture.h"
#include "library/LibraryFolders.h"
#include "library/LibraryIndex.h"
#include "library/LibraryIndexer.h"
#include "library/LibrarySearch.h"
#include "library/LibraryWorker.h"
#include "support/ProfileFile.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

// The indexer against the file system: incremental runs, archives it must
// refuse, index files it must rebuild, a full disk, several writers at once,
// absent mounts, and the worker thread the window drives it through.
class tst_LibraryIndexer : public QObject
{
    Q_OBJECT

private:
    static QStringList hitsFor(LibraryIndex &index, const QString &query)
    {
        QStringList paths;
        for (const LibraryHit &hit : LibrarySearch(index).find(query, {}).hits)
            paths << QFileInfo(hit.path).fileName() + (hit.available ? QString() : QStringLiteral(" (unavailable)"));
        paths.sort();
        return paths;
    }

    // Every file's bytes and time, to see that indexing wrote none.
    static QByteArray fingerprint(const QString &folder)
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        QStringList files;
        while (it.hasNext())
            files << it.next();
        files.sort();
        for (const QString &f : files) {
            QFile file(f);
            if (file.open(QIODevice::ReadOnly))
                hash.addData(file.readAll());
            hash.addData(QByteArray::number(QFileInfo(f).lastModified().toMSecsSinceEpoch()));
        }
        return hash.result();
    }

    static void writeArchives(const QString &folder, int count, const QString &word)
    {
        for (int i = 0; i < count; ++i)
            LibraryFixture::write(QDir(folder).filePath(QStringLiteral("a%1.mht").arg(i)),
                                  LibraryFixture::utf8Page(QStringLiteral("Page %1").arg(i),
                                                           QStringLiteral("<p>%1 number%2</p>").arg(word).arg(i)));
    }

private Q_SLOTS:
    void incremental()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("lib"));
        QVERIFY(LibraryFixture::writeLibrary(folder));
        const QByteArray before = fingerprint(folder);
        LibraryIndex index(dir.filePath(QStringLiteral("i.sqlite")));
        QVERIFY(index.open().ok());
        LibraryIndexer indexer(index);
        LibraryReport r = indexer.run({{folder}, {}});
        QCOMPARE(r.seen, 10);
        QCOMPARE(r.read, 10);
        r = indexer.run({{folder}, {}});
        QCOMPARE(r.read, 0);
        QCOMPARE(r.unchanged, 10);
        QCOMPARE(fingerprint(folder), before);

        // One changed archive is the one read; a deleted one goes.
        const QString changed = QDir(folder).filePath(QStringLiteral("qp.mht"));
        QVERIFY(
            LibraryFixture::write(changed, LibraryFixture::utf8Page(QStringLiteral("New"), QStringLiteral("zebra"))));
        QFile(changed).setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime);
        QVERIFY(QFile::remove(QDir(folder).filePath(QStringLiteral("notes.mht"))));
        r = indexer.run({{folder}, {}});
        QCOMPARE(r.read, 1);
        QCOMPARE(r.removed, 1);
        QCOMPARE(hitsFor(index, QStringLiteral("zebra")), QStringList{QStringLiteral("qp.mht")});
        QCOMPARE(hitsFor(index, QStringLiteral("extraordinary")), QStringList());
        QCOMPARE(hitsFor(index, QStringLiteral("travel")), QStringList());

        // Files outside the folders, as the histories name them, are indexed too.
        const QString single = dir.filePath(QStringLiteral("single.mht"));
        QVERIFY(LibraryFixture::write(single, LibraryFixture::utf8Page(QStringLiteral("S"), QStringLiteral("yak"))));
        r = indexer.run({{}, {single, dir.filePath(QStringLiteral("missing.mht"))}});
        QCOMPARE(r.read, 1);
        QCOMPARE(hitsFor(index, QStringLiteral("yak")), QStringList{QStringLiteral("single.mht")});
    }

    void refusedArchives_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("sparseSize");
        QTest::addColumn<QString>("reason");
        QTest::newRow("truncated") << QStringLiteral("t.mht")
                                   << QByteArray("Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\n"
                                                 "Content-Type: text/html\r\n\r\n<p>x")
                                   << qint64(0) << QStringLiteral("truncated");
        QTest::newRow("empty") << QStringLiteral("e.mht") << QByteArray() << qint64(0) << QStringLiteral("empty");
        QTest::newRow("no page") << QStringLiteral("n.mht") << QByteArray("Content-Type: application/zip\r\n\r\nPK")
                                 << qint64(0) << QStringLiteral("of a type a browser shows as a document");
        QTest::newRow("larger than the library reads")
            << QStringLiteral("huge.mht") << QByteArray() << qint64(2) * 1024 * 1024 * 1024
            << QStringLiteral("larger than 64 MB (2,048 MB), the most the library reads");
        QByteArray parts = "Content-Type: multipart/related; boundary=b\r\n\r\n";
        for (int i = 0; i < 100000; ++i)
            parts += "--b\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n";
        parts += "--b--\r\n";
        QTest::newRow("100,000 parts") << QStringLiteral("p.mht") << parts << qint64(0)
                                       << QStringLiteral("more than 20,000 parts");
    }

    void refusedArchives()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, sparseSize);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString bad = dir.filePath(name);
        QVERIFY(LibraryFixture::write(bad, bytes));
        if (sparseSize > 0)
            QVERIFY(QFile(bad).resize(sparseSize));
        QVERIFY(LibraryFixture::write(dir.filePath(QStringLiteral("good.mht")),
                                      LibraryFixture::utf8Page(QStringLiteral("G"), QStringLiteral("okapi"))));
        LibraryIndex index(dir.filePath(QStringLiteral("i.sqlite")));
        QVERIFY(index.open().ok());
        LibraryIndexer indexer(index);
        LibraryReport r = indexer.run({{dir.path()}, {}});
        QVERIFY2(r.result.ok(), qPrintable(r.result.message));
        QCOMPARE(r.refused.size(), 1);
        QCOMPARE(r.refused[0].first, bad);
        QVERIFY2(r.refused[0].second.contains(reason), qPrintable(r.refused[0].second));
        // Indexing went on, and the refused file is not read again while unchanged.
        QCOMPARE(hitsFor(index, QStringLiteral("okapi")), QStringList{QStringLiteral("good.mht")});
        r = indexer.run({{dir.path()}, {}});
        QCOMPARE(r.read, 0);
        QVERIFY(index.known().contains(bad));
    }

    void damagedIndex_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("kept");
        QTest::newRow("not a database") << QStringLiteral("garbage") << QStringLiteral("i.sqlite.damaged");
        QTest::newRow("cut short") << QStringLiteral("truncate") << QStringLiteral("i.sqlite.damaged");
        QTest::newRow("older layout") << QStringLiteral("old") << QStringLiteral("i.sqlite.old");
    }

    void damagedIndex()
    {
        QFETCH(QString, damage);
        QFETCH(QString, kept);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("lib"));
        QVERIFY(LibraryFixture::writeLibrary(folder));
        const QString path = dir.filePath(QStringLiteral("i.sqlite"));
        {
            LibraryIndex index(path);
            QVERIFY(index.open().ok());
            QVERIFY(LibraryIndexer(index).run({{folder}, {}}).result.ok());
            if (damage == QLatin1String("old")) {
                QSqlQuery q(index.database());
                QVERIFY(q.exec(QStringLiteral("PRAGMA user_version = 0")));
            }
            QSqlQuery q(index.database());
            QVERIFY(q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
        }
        QFile file(path);
        if (damage == QLatin1String("garbage"))
            QVERIFY(LibraryFixture::write(path, QByteArray(8192, 'z')));
        else if (damage == QLatin1String("truncate"))
            QVERIFY(file.resize(3 * 4096)); // the schema and the first pages only
        LibraryIndex index(path);
        QVERIFY(index.open().ok());
        const LibraryReport r = LibraryIndexer(index).run({{folder}, {}});
        QVERIFY2(r.result.ok(), qPrintable(r.result.message));
        QVERIFY2(r.notice.contains(QLatin1String("rebuilt from the archives")), qPrintable(r.notice));
        QVERIFY(QFileInfo::exists(dir.filePath(kept)));
        QCOMPARE(r.read, 10);
        QCOMPARE(hitsFor(index, QStringLiteral("中文")), QStringList{QStringLiteral("gb2312.mht")});
    }

    void newerLayoutIsLeftAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("i.sqlite"));
        {
            LibraryIndex index(path);
            QVERIFY(index.open().ok());
            QSqlQuery q(index.database());
            QVERIFY(q.exec(QStringLiteral("PRAGMA user_version = %1").arg(LibraryIndex::Layout + 1)));
        }
        LibraryIndex index(path);
        const LibraryResult opened = index.open();
        QVERIFY(!opened.ok());
        QVERIFY2(opened.message.contains(QLatin1String("newer Quillet")), qPrintable(opened.message));
        QVERIFY(!QFileInfo::exists(path + QStringLiteral(".old")));
    }

    void fullDisk()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("lib"));
        QVERIFY(LibraryFixture::writeLibrary(folder));
        const QString path = dir.filePath(QStringLiteral("i.sqlite"));
        LibraryIndex index(path);
        QVERIFY(index.open().ok());
        LibraryIndexer indexer(index);
        QVERIFY(indexer.run({{folder}, {}}).result.ok());
        const QHash<QString, LibraryIndex::Known> before = index.known();
        QString words;
        for (int i = 0; i < 100000; ++i)
            words += QStringLiteral("w%1 ").arg(i);
        QVERIFY(LibraryFixture::write(QDir(folder).filePath(QStringLiteral("big.mht")),
                                      LibraryFixture::utf8Page(QStringLiteral("Big"), words)));
        const QString changed = QDir(folder).filePath(QStringLiteral("title.mht"));
        QVERIFY(LibraryFixture::write(changed, LibraryFixture::utf8Page(QStringLiteral("T"), QStringLiteral("gnu"))));
        QFile(changed).setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime);
        LibraryReport r;
        {
            const qint64 largest = qMax(QFileInfo(path).size(), QFileInfo(path + QStringLiteral("-wal")).size());
            FileSizeLimit full(largest + 64 * 1024);
            if (!full.active())
                QSKIP("no file size limit on this system");
            r = indexer.run({{folder}, {}});
        }
        QVERIFY(!r.result.ok());
        QVERIFY2(r.result.message.startsWith(QLatin1String("Cannot write the library index:")),
                 qPrintable(r.result.message));
        // All of the failed change went; what was there stays, usable.
        QCOMPARE(index.known(), before);
        QCOMPARE(hitsFor(index, QStringLiteral("notes")).size(), 3);
        QCOMPARE(hitsFor(index, QStringLiteral("gnu")), QStringList());
        r = indexer.run({{folder}, {}});
        QVERIFY(r.result.ok());
        QCOMPARE(hitsFor(index, QStringLiteral("w99999")), QStringList{QStringLiteral("big.mht")});
        QCOMPARE(hitsFor(index, QStringLiteral("gnu")), QStringList{QStringLiteral("title.mht")});
    }

    // Two indexers in threads of this program and the command-line tool, all
    // writing one index at once: none fails, no entry is lost.
    void concurrentWriters()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("i.sqlite"));
        for (const char *f : {"x", "y", "z"})
            writeArchives(dir.filePath(QString::fromLatin1(f)), 60, QString::fromLatin1(f) + QStringLiteral("word"));
        QProcess cli;
        cli.start(QStringLiteral(QUILLET_ARCHIVE_EXE),
                  {QStringLiteral("index"), QStringLiteral("--db"), path, dir.filePath(QStringLiteral("z"))});
        QList<LibraryReport> reports(2);
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 2; ++t) {
            threads.emplace_back(QThread::create([&, t] {
                LibraryIndex index(path);
                reports[t].result = index.open();
                if (reports[t].result.ok())
                    reports[t] = LibraryIndexer(index).run(
                        {{dir.filePath(t == 0 ? QStringLiteral("x") : QStringLiteral("y"))}, {}});
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(120000));
        QVERIFY(cli.waitForFinished(120000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(cli.readAllStandardError()), QString());
        for (const LibraryReport &r : reports)
            QVERIFY2(r.result.ok(), qPrintable(r.result.message));
        LibraryIndex index(path);
        QVERIFY(index.open().ok());
        QCOMPARE(index.known().size(), 180);
        for (const char *w : {"xword", "yword", "zword"})
            QCOMPARE(hitsFor(index, QString::fromLatin1(w)).size(), 60);
    }

    void absentMount()
    {
        QTemporaryDir dir;
        const QString usb = dir.filePath(QStringLiteral("usb"));
        writeArchives(usb, 3, QStringLiteral("walrus"));
        bool mounted = true;
        // The drive's folder lies on a mount of its own while the drive is in.
        const auto volumeOf = [&](const QString &p) {
            return mounted && p.startsWith(usb) ? QStringLiteral("/media/usb") : QStringLiteral("/");
        };
        LibraryIndex index(dir.filePath(QStringLiteral("i.sqlite")));
        QVERIFY(index.open().ok());
        LibraryIndexer indexer(index, volumeOf);
        QVERIFY(indexer.run({{usb}, {}}).result.ok());
        // A file deleted while the drive is in is gone.
        QVERIFY(QFile::remove(QDir(usb).filePath(QStringLiteral("a2.mht"))));
        LibraryReport r = indexer.run({{usb}, {}});
        QCOMPARE(r.removed, 1);

        // The drive out: its folder is missing, its entries stay.
        QVERIFY(QDir(usb).removeRecursively());
        mounted = false;
        r = indexer.run({{usb}, {}});
        QCOMPARE(r.removed, 0);
        QCOMPARE(r.unavailable, 2);
        QCOMPARE(hitsFor(index, QStringLiteral("walrus")),
                 (QStringList{QStringLiteral("a0.mht (unavailable)"), QStringLiteral("a1.mht (unavailable)")}));

        // The drive back.
        writeArchives(usb, 2, QStringLiteral("walrus"));
        mounted = true;
        r = indexer.run({{usb}, {}});
        QCOMPARE(r.unavailable, 0);
        QCOMPARE(hitsFor(index, QStringLiteral("walrus")),
                 (QStringList{QStringLiteral("a0.mht"), QStringLiteral("a1.mht")}));
    }

    void workerThread()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("lib"));
        writeArchives(folder, 40, QStringLiteral("heron"));
        const QString path = dir.filePath(QStringLiteral("i.sqlite"));
        QThread thread;
        // Its connection to the index belongs to its thread: it goes with it.
        auto *worker = new LibraryWorker(path);
        worker->moveToThread(&thread);
        connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        thread.start();
        const auto stop = qScopeGuard([&] {
            thread.quit();
            thread.wait();
        });
        QSignalSpy progress(worker, &LibraryWorker::progress);
        QSignalSpy finished(worker, &LibraryWorker::finished);

        // Cancelled at its first progress report, from the worker's own thread.
        QMetaObject::Connection cancelling = connect(
            worker, &LibraryWorker::progress, worker, [&] { worker->cancel(); }, Qt::DirectConnection);
        QMetaObject::invokeMethod(
            worker,
            [&] {
                worker->index({{folder}, {}});
            },
            Qt::QueuedConnection);
        // The worker may be done before a wait would start.
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 60000);
        LibraryReport report = finished.takeFirst().at(0).value<LibraryReport>();
        QVERIFY(report.cancelled);
        QCOMPARE(report.read, 0);
        disconnect(cancelling);

        progress.clear();
        QMetaObject::invokeMethod(
            worker,
            [&] {
                worker->index({{folder}, {}});
            },
            Qt::QueuedConnection);
        // The worker may be done before a wait would start.
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 60000);
        report = finished.takeFirst().at(0).value<LibraryReport>();
        QVERIFY(!report.cancelled);
        QCOMPARE(report.read, 40);
        QVERIFY(progress.size() >= 2);
        QCOMPARE(progress.first().at(2).toString(), QStringLiteral("Indexing 0 of 40 archives..."));
        QCOMPARE(progress.last().at(2).toString(), QStringLiteral("Indexing 40 of 40 archives..."));

        // After the program renamed one archive and deleted another.
        const QString old = QDir(folder).filePath(QStringLiteral("a1.mht"));
        const QString renamed = QDir(folder).filePath(QStringLiteral("renamed.mht"));
        QVERIFY(QFile::rename(old, renamed));
        QVERIFY(QFile::remove(QDir(folder).filePath(QStringLiteral("a2.mht"))));
        QMetaObject::invokeMethod(
            worker,
            [&] {
                worker->update({old, renamed, QDir(folder).filePath(QStringLiteral("a2.mht"))});
            },
            Qt::QueuedConnection);
        // The worker may be done before a wait would start.
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 60000);
        report = finished.takeFirst().at(0).value<LibraryReport>();
        QCOMPARE(report.read, 1);
        QCOMPARE(report.removed, 2);
        LibraryIndex index(path);
        QVERIFY(index.open().ok());
        QCOMPARE(hitsFor(index, QStringLiteral("number1")), QStringList{QStringLiteral("renamed.mht")});
        QCOMPARE(hitsFor(index, QStringLiteral("number2")), QStringList());
    }

    void scope_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("folders");
        QTest::newRow("the Save-to folder by default")
            << QStringLiteral("[Location]\nSave=/k/saved\n") << QStringList{QStringLiteral("/k/saved")};
        QTest::newRow("the listed folders") << QStringLiteral("[Location]\nSave=/k/saved\n[Library]\nCount=2\n"
                                                              "Folder1=/a\nFolder2=/b c\nFolder3=/stale\n")
                                            << QStringList{QStringLiteral("/a"), QStringLiteral("/b c")};
        QTest::newRow("none listed") << QStringLiteral("[Location]\nSave=/k\n[Library]\nCount=0\n") << QStringList();
    }

    void scope()
    {
        QFETCH(QString, settings);
        QFETCH(QStringList, folders);
        QTemporaryDir dir;
        QVERIFY(LibraryFixture::write(dir.filePath(QStringLiteral("quillet.ini")), settings.toUtf8()));
        QVERIFY(LibraryFixture::write(dir.filePath(QStringLiteral("webfiles.his")),
                                      "/k/a.mht\r\nhttps://example.org/x.mht\r\nfile:///k/b.MHTML\r\n/k/c.htm\r\n"));
        QVERIFY(LibraryFixture::write(dir.filePath(QStringLiteral("delfiles.his")), "/k/a.mht\r\n/k/d.mht\r\n"));
        const ProfileFile ini(dir.filePath(QStringLiteral("quillet.ini")));
        const LibraryScope scope = LibraryFolders::scope(dir.path(), ini);
        QCOMPARE(scope.folders, folders);
        QCOMPARE(scope.files,
                 (QStringList{QStringLiteral("/k/a.mht"), QStringLiteral("/k/b.MHTML"), QStringLiteral("/k/d.mht")}));
        // What is written reads back.
        ProfileFile edited(dir.filePath(QStringLiteral("quillet.ini")));
        LibraryFolders::write(edited, {QStringLiteral("/x")});
        QVERIFY(edited.save());
        QCOMPARE(LibraryFolders::read(ProfileFile(dir.filePath(QStringLiteral("quillet.ini")))),
                 QStringList{QStringLiteral("/x")});
    }
};

QTEST_GUILESS_MAIN(tst_LibraryIndexer)
#include "tst_LibraryIndexer.moc"
