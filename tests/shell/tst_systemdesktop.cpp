#include "shell/SystemDesktop.h"
#include "support/RecentlyUsedList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSystemDesktop : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void folders_data()
    {
        QTest::addColumn<QString>("dataVar");
        QTest::addColumn<QString>("configVar");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("config");
        QTest::newRow("from HOME") << QString() << QString() << QStringLiteral("/h/.local/share")
                                   << QStringLiteral("/h/.config");
        QTest::newRow("XDG variables") << QStringLiteral("/x/data/") << QStringLiteral("/x/conf")
                                       << QStringLiteral("/x/data") << QStringLiteral("/x/conf");
        QTest::newRow("relative XDG ignored") << QStringLiteral("rel") << QStringLiteral("rel")
                                              << QStringLiteral("/h/.local/share") << QStringLiteral("/h/.config");
    }
    void folders()
    {
        QFETCH(QString, dataVar);
        QFETCH(QString, configVar);
        QFETCH(QString, data);
        QFETCH(QString, config);
        QProcessEnvironment env;
        env.insert(QStringLiteral("HOME"), QStringLiteral("/h"));
        if (!dataVar.isEmpty())
            env.insert(QStringLiteral("XDG_DATA_HOME"), dataVar);
        if (!configVar.isEmpty())
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), configVar);
        SystemDesktop desktop(env, QStringLiteral("/opt/quillet/quillet"));
        QCOMPARE(desktop.dataHome(), data);
        QCOMPARE(desktop.configHome(), config);
        QCOMPARE(desktop.homeFolder(), QStringLiteral("/h"));
        QCOMPARE(desktop.recentFolder(), data);
        QCOMPARE(desktop.recentListPath(), data + QStringLiteral("/recently-used.xbel"));
    }

    void recentListKeepsOthersAndFindsNewest()
    {
        const QString dataHome = m_dir.filePath(QStringLiteral("share"));
        QProcessEnvironment env;
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        SystemDesktop desktop(env, QStringLiteral("/opt/quillet/quillet"));
        QCOMPARE(desktop.newestRecentEntry(), QString());

        // Another program's entry, newer than anything we add, stays in place.
        QVERIFY(QDir().mkpath(dataHome));
        QFile file(desktop.recentListPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<xbel version=\"1.0\" xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\">\n"
                   "  <bookmark href=\"file:///other/doc.txt\" added=\"2030-01-01T00:00:00Z\" "
                   "modified=\"2030-01-01T00:00:00Z\" visited=\"2030-01-01T00:00:00Z\">\n"
                   "    <info><metadata owner=\"http://freedesktop.org\"><bookmark:applications>"
                   "<bookmark:application name=\"Editor\" exec=\"editor %u\" count=\"3\"/>"
                   "</bookmark:applications></metadata></info>\n"
                   "  </bookmark>\n</xbel>\n");
        file.close();
        QCOMPARE(desktop.newestRecentEntry(), QStringLiteral("/other/doc.txt"));

        RecentlyUsedList list(desktop.recentListPath());
        const QDateTime later(QDate(2031, 1, 1), QTime(0, 0), Qt::UTC);
        QVERIFY(list.add(QStringLiteral("/home/u/a b.mht"), QStringLiteral("application/x-mimearchive"),
                         QStringLiteral("Quillet"), QStringLiteral("quillet %u"), later));
        QCOMPARE(desktop.newestRecentEntry(), QStringLiteral("/home/u/a b.mht"));
        QVERIFY(desktop.addRecentFile(QStringLiteral("/home/u/b.mht")));
        QCOMPARE(desktop.newestRecentEntry(), QStringLiteral("/home/u/a b.mht"));
        // Adding a file again moves its single entry to the new time.
        QVERIFY(list.add(QStringLiteral("/home/u/b.mht"), QStringLiteral("application/x-mimearchive"),
                         QStringLiteral("Quillet"), QStringLiteral("quillet %u"), later.addDays(1)));
        QCOMPARE(desktop.newestRecentEntry(), QStringLiteral("/home/u/b.mht"));

        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray xml = file.readAll();
        QCOMPARE(xml.count("file:///home/u/b.mht"), 1);
        QVERIFY(xml.contains("file:///other/doc.txt"));
        QVERIFY(xml.contains("name=\"Editor\""));
        QVERIFY(xml.contains("application/x-mimearchive"));
    }

    void brokenListIsLeftAlone()
    {
        const QString path = m_dir.filePath(QStringLiteral("broken.xbel"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<xbel><bookmark href=\"file:///a\">");
        file.close();
        RecentlyUsedList list(path);
        QVERIFY(!list.add(QStringLiteral("/b.mht"), QStringLiteral("application/x-mimearchive"),
                          QStringLiteral("Quillet"), QStringLiteral("quillet %u")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("<xbel><bookmark href=\"file:///a\">"));
    }
};

QTEST_GUILESS_MAIN(TestSystemDesktop)
#include "tst_systemdesktop.moc"
