#include "support/RegistryRoutines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestRegistry : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    // A fresh hive per test.
    QString hivePath() { return m_dir.filePath(QStringLiteral("registry%1.ini").arg(++m_count)); }

private Q_SLOTS:
    void writeAndRead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("named") << QStringLiteral("Content Type") << QStringLiteral("message/rfc822");
        QTest::newRow("default value") << QString() << QStringLiteral("Quillet.file");
        QTest::newRow("quotes and backslashes") << QStringLiteral("a\"b\\c") << QStringLiteral("\"C:\\x\" \"%1\"");
        QTest::newRow("line breaks") << QStringLiteral("n") << QStringLiteral("one\r\ntwo\\n");
        QTest::newRow("empty value") << QStringLiteral("e") << QString();
        QTest::newRow("non-ascii") << QStringLiteral("\u00e9") << QStringLiteral("caf\u00e9 \u4e2d");
    }
    void writeAndRead()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        const QString path = hivePath();
        RegistryStore store(path);
        QCOMPARE(RegWriteStr(store, RegRoot::HKEY_CLASSES_ROOT, QStringLiteral(".mht"), name, value, true),
                 QStringLiteral("keyOk"));
        // A second store reads what the first wrote, keys and names ignoring case.
        RegistryStore reopened(path);
        QString read = QStringLiteral("junk");
        QCOMPARE(RegReadStr(reopened, RegRoot::HKEY_CLASSES_ROOT, QStringLiteral(".MHT"), name.toUpper(), read),
                 QString());
        QCOMPARE(read, value);
        QCOMPARE(RegReadStr(reopened, RegRoot::HKEY_CURRENT_USER, QStringLiteral(".mht"), name, read),
                 QStringLiteral("keyNotExist"));
        QCOMPARE(read, QString());
    }

    void overwriteRules()
    {
        RegistryStore store(hivePath());
        const auto root = RegRoot::HKEY_CLASSES_ROOT;
        const QString key = QStringLiteral("Quillet.file\\shell\\open\\command");
        QCOMPARE(RegWriteStr(store, root, key, QString(), QStringLiteral("old"), false), QStringLiteral("keyOk"));
        QCOMPARE(RegWriteStr(store, root, key, QString(), QStringLiteral("new"), false), QStringLiteral("keyExists"));
        // Even a value that did not exist yet is not written.
        QCOMPARE(RegWriteStr(store, root, key, QStringLiteral("other"), QStringLiteral("x"), false),
                 QStringLiteral("keyExists"));
        QCOMPARE(store.valueNames(root, key), QStringList{QString()});
        QString value;
        QCOMPARE(RegReadStr(store, root, key, QString(), value), QString());
        QCOMPARE(value, QStringLiteral("old"));
        QCOMPARE(RegWriteStr(store, root, key, QString(), QStringLiteral("new"), true), QStringLiteral("keyOk"));
        QCOMPARE(RegReadStr(store, root, key, QString(), value), QString());
        QCOMPARE(value, QStringLiteral("new"));
        // Parents were created along the way.
        QVERIFY(store.keyExists(root, QStringLiteral("quillet.file\\SHELL")));
        QCOMPARE(store.subKeys(root, QStringLiteral("Quillet.file")), QStringList{QStringLiteral("shell")});
    }

    void readMissingValueAndNumber()
    {
        RegistryStore store(hivePath());
        const auto root = RegRoot::HKEY_CURRENT_USER;
        const QString key = QStringLiteral("Software\\Quillet");
        QCOMPARE(RegWriteNum(store, root, key, QStringLiteral("Count"), 7, true), QStringLiteral("keyOk"));
        QString value = QStringLiteral("junk");
        QCOMPARE(RegReadStr(store, root, key, QStringLiteral("absent"), value), QString());
        QCOMPARE(value, QString());
        value = QStringLiteral("junk");
        QCOMPARE(RegReadStr(store, root, key, QStringLiteral("Count"), value),
                 QStringLiteral("ERegistryException error: Invalid data type for 'Count'"));
        QCOMPARE(value, QString());
        QCOMPARE(store.value(root, key, QStringLiteral("count"))->number, 7u);
    }

    void deleteBranch()
    {
        RegistryStore store(hivePath());
        const auto root = RegRoot::HKEY_CURRENT_USER;
        const QString base = QStringLiteral("Software\\Microsoft\\Internet Explorer\\MenuExt");
        QCOMPARE(RegWriteStr(store, root, base + QStringLiteral("\\Copy to Quillet..."), QString(),
                             QStringLiteral("file:///x/script.html"), true),
                 QStringLiteral("keyOk"));
        QCOMPARE(RegWriteStr(store, root, base + QStringLiteral("\\Copy to Quillet...\\deep"), QStringLiteral("v"),
                             QStringLiteral("1"), true),
                 QStringLiteral("keyOk"));
        QCOMPARE(RegWriteStr(store, root, base + QStringLiteral("\\Keep"), QString(), QStringLiteral("k"), true),
                 QStringLiteral("keyOk"));
        QCOMPARE(RegKeyDelete(store, root, base + QStringLiteral("\\COPY TO QUILLET...")),
                 QStringLiteral("keyDeleted"));
        QVERIFY(!store.keyExists(root, base + QStringLiteral("\\Copy to Quillet...\\deep")));
        QVERIFY(store.keyExists(root, base + QStringLiteral("\\Keep")));
        QCOMPARE(RegKeyDelete(store, root, base + QStringLiteral("\\Copy to Quillet...")),
                 QStringLiteral("keyNotExist"));
        // The root is not a key that can go.
        QCOMPARE(RegKeyDelete(store, root, QString()), QStringLiteral("keyError"));
        QVERIFY(store.keyExists(root, base + QStringLiteral("\\Keep")));
    }

    void failedWritesReportAndChangeNothing()
    {
        const QString path = hivePath();
        RegistryStore store(path);
        const auto root = RegRoot::HKEY_CLASSES_ROOT;
        QCOMPARE(RegWriteStr(store, root, QStringLiteral(".mht"), QStringLiteral("Content Type"),
                             QStringLiteral("message/rfc822"), true),
                 QStringLiteral("keyOk"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        // A store whose file lies in a folder that does not exist cannot write.
        RegistryStore broken(m_dir.filePath(QStringLiteral("missing/registry.ini")));
        QCOMPARE(RegWriteStr(broken, root, QStringLiteral(".mht"), QStringLiteral("Content Type"), QStringLiteral("x"),
                             true),
                 QStringLiteral("ERegistryException error: Failed to set data for 'Content Type'"));
        QVERIFY(!broken.keyExists(root, QStringLiteral(".mht")));

        // A hive that cannot be read is never replaced by an empty one.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path + QStringLiteral("/x")));
        RegistryStore blocked(path);
        QCOMPARE(RegWriteStr(blocked, root, QStringLiteral("a"), QString(), QStringLiteral("x"), true),
                 QStringLiteral("ERegistryException error: Failed to set data for ''"));
        QCOMPARE(RegKeyDelete(blocked, root, QStringLiteral("a")), QStringLiteral("keyNotExist"));
        QVERIFY(!before.isEmpty());
    }

    void toleratesHandEditedFile()
    {
        const QString path = hivePath();
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("garbage line\n[HKEY_CLASSES_ROOT\\a\\b]\n\"ok\"=\"yes\"\n\"bad\"=dword:zz\nnot a value\n"
                   "\"unterminated=\"x\n[HKEY_LOCAL_MACHINE\\x]\n\"skip\"=\"1\"\n");
        file.close();
        RegistryStore store(path);
        QString value;
        QCOMPARE(RegReadStr(store, RegRoot::HKEY_CLASSES_ROOT, QStringLiteral("a\\b"), QStringLiteral("ok"), value),
                 QString());
        QCOMPARE(value, QStringLiteral("yes"));
        QCOMPARE(store.valueNames(RegRoot::HKEY_CLASSES_ROOT, QStringLiteral("a\\b")),
                 QStringList{QStringLiteral("ok")});
        QVERIFY(store.keyExists(RegRoot::HKEY_CLASSES_ROOT, QStringLiteral("a")));
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
