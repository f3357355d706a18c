#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <signal.h>

// The engine's processes end with the program when it is killed, and live
// on when it ends as it should (a restart, a viewer it started).
class TestChildProcessReaper : public QObject
{
    Q_OBJECT

    // Gone, or dead and waiting to be reaped.
    static bool ended(qint64 pid)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray text = stat.readAll();
        return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
    }
    static QByteArray nameOf(qint64 pid)
    {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        return comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
    }

private Q_SLOTS:
    void childrenEndWithTheProgram_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("killed");
        QTest::newRow("child, program killed") << "child" << 1 << true;
        QTest::newRow("grandchild, program killed") << "grandchild" << 2 << true;
        QTest::newRow("child, program ended as it should") << "child" << 1 << false;
    }
    void childrenEndWithTheProgram()
    {
        QFETCH(QString, what);
        QFETCH(int, count);
        QFETCH(bool, killed);
#ifndef Q_OS_LINUX
        QSKIP("the reaper watches the Linux process table");
#endif
        QProcess probe;
        probe.start(QStringLiteral(REAPER_PROBE), {what});
        QVERIFY(probe.waitForStarted());
        qint64 watcher = 0;
        QList<qint64> pids;
        while (pids.size() < count) {
            QVERIFY(probe.canReadLine() || probe.waitForReadyRead(10000));
            const QList<QByteArray> words = probe.readLine().trimmed().split(' ');
            if (words.value(0) == "watcher")
                watcher = words.value(1).toLongLong();
            else if (words.value(0) == "pid")
                pids << words.value(1).toLongLong();
        }
        QVERIFY(watcher > 0);
        const auto cleanUp = qScopeGuard([&] {
            for (const qint64 pid : std::as_const(pids))
                ::kill(pid_t(pid), SIGKILL);
        });
        // The watcher has noted them all.
        QTRY_COMPARE_WITH_TIMEOUT(nameOf(watcher), QByteArray("quillet-reap:") + QByteArray::number(count), 10000);

        if (killed) {
            probe.kill();
        } else {
            probe.closeWriteChannel();
        }
        QVERIFY(probe.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(ended(watcher), 10000);
        for (const qint64 pid : std::as_const(pids)) {
            if (killed)
                QTRY_VERIFY_WITH_TIMEOUT(ended(pid), 5000);
            else
                QVERIFY(!ended(pid));
        }
    }
};

QTEST_GUILESS_MAIN(TestChildProcessReaper)
#include "tst_childprocessreaper.moc"
