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
                 RegResult::Ok);
        // A second store reads what the first wrote, keys and names ignoring case.
        RegistryStore reopened(path);
        QString read = QStringLiteral("junk");
        QCOMPARE(RegReadStr(reopened, RegRoot::HKEY_CLASSES_ROOT, QStringLiteral(".MHT"), name.toUpper(), read),
                 RegResult::Ok);
        QCOMPARE(read, value);
        QCOMPARE(RegReadStr(reopened, RegRoot::HKEY_CURRENT_USER, QStringLiteral(".mht"), name, read),
                 RegResult::KeyNotExist);
        QCOMPARE(read, QString());
    }

    void overwriteRules()
    {
        RegistryStore store(hivePath());
        const auto root = RegRoot::HKEY_CLASSES_ROOT;
        const QString key = QStringLiteral("Quillet.file\\shell\\open\\command");
        QCOMPARE(RegWriteStr(store, root, key, QString(), QStringLiteral("old"), false), RegResult::Ok);
        QCOMPARE(RegWriteStr(store, root, key, QString(), QStringLiteral("new"), false), RegResult::KeyExists);
        // Even a value that did not exist yet is not written.
        QCOMPARE(RegWriteStr(store, root, key, QStringLiteral("other"), QStringLiteral("x"), false),
                 RegResult::KeyExists);
        QVERIFY(!store.value(root, key, QStringLiteral("other")));
        QString value;
        QCOMPARE(RegReadStr(store, root, key, QString(), value), RegResult::Ok);
        QCOMPARE(value, QStringLiteral("old"));
        QCOMPARE(RegWriteStr(store, root, key, QString(), QStringLiteral("new"), true), RegResult::Ok);
        QCOMPARE(RegReadStr(store, root, key, QString(), value), RegResult::Ok);
        QCOMPARE(value, QStringLiteral("new"));
        // Parents were created along the way.
        QVERIFY(store.keyExists(root, QStringLiteral("quillet.file\\SHELL")));
    }

    void readMissingValueAndNumber()
    {
        RegistryStore store(hivePath());
        const auto root = RegRoot::HKEY_CURRENT_USER;
        const QString key = QStringLiteral("Software\\Quillet");
        QVERIFY(store.setValue(root, key, QStringLiteral("Count"),
                               RegistryStore::Value{RegistryStore::Value::Type::Number, QString(), 7}));
        QString value = QStringLiteral("junk");
        QCOMPARE(RegReadStr(store, root, key, QStringLiteral("absent"), value), RegResult::Ok);
        QCOMPARE(value, QString());
        value = QStringLiteral("junk");
        QCOMPARE(RegReadStr(store, root, key, QStringLiteral("Count"), value), RegResult::InvalidType);
        QCOMPARE(RegResultText(RegResult::InvalidType, QStringLiteral("Count")),
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
                 RegResult::Ok);
        QCOMPARE(RegWriteStr(store, root, base + QStringLiteral("\\Copy to Quillet...\\deep"), QStringLiteral("v"),
                             QStringLiteral("1"), true),
                 RegResult::Ok);
        QCOMPARE(RegWriteStr(store, root, base + QStringLiteral("\\Keep"), QString(), QStringLiteral("k"), true),
                 RegResult::Ok);
        QCOMPARE(RegKeyDelete(store, root, base + QStringLiteral("\\COPY TO QUILLET...")), RegResult::KeyDeleted);
        QVERIFY(!store.keyExists(root, base + QStringLiteral("\\Copy to Quillet...\\deep")));
        QVERIFY(store.keyExists(root, base + QStringLiteral("\\Keep")));
        QCOMPARE(RegKeyDelete(store, root, base + QStringLiteral("\\Copy to Quillet...")), RegResult::KeyNotExist);
        // The root is not a key that can go.
        QCOMPARE(RegKeyDelete(store, root, QString()), RegResult::KeyError);
        QVERIFY(store.keyExists(root, base + QStringLiteral("\\Keep")));
    }

    void failedWritesReportAndChangeNothing()
    {
        const QString path = hivePath();
        RegistryStore store(path);
        const auto root = RegRoot::HKEY_CLASSES_ROOT;
        QCOMPARE(RegWriteStr(store, root, QStringLiteral(".mht"), QStringLiteral("Content Type"),
                             QStringLiteral("message/rfc822"), true),
                 RegResult::Ok);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        // A store whose file lies in a folder that does not exist cannot write.
        RegistryStore broken(m_dir.filePath(QStringLiteral("missing/registry.ini")));
        QCOMPARE(RegWriteStr(broken, root, QStringLiteral(".mht"), QStringLiteral("Content Type"), QStringLiteral("x"),
                             true),
                 RegResult::SetFailed);
        QCOMPARE(RegResultText(RegResult::SetFailed, QStringLiteral("Content Type")),
                 QStringLiteral("ERegistryException error: Failed to set data for 'Content Type'"));
        QVERIFY(!broken.keyExists(root, QStringLiteral(".mht")));

        // A hive that cannot be read is never replaced by an empty one.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path + QStringLiteral("/x")));
        RegistryStore blocked(path);
        QCOMPARE(RegWriteStr(blocked, root, QStringLiteral("a"), QString(), QStringLiteral("x"), true),
                 RegResult::SetFailed);
        QCOMPARE(RegKeyDelete(blocked, root, QStringLiteral("a")), RegResult::KeyNotExist);
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
                 RegResult::Ok);
        QCOMPARE(value, QStringLiteral("yes"));
        QVERIFY(!store.value(RegRoot::HKEY_CLASSES_ROOT, QStringLiteral("a\\b"), QStringLiteral("bad")));
        QVERIFY(!store.value(RegRoot::HKEY_CLASSES_ROOT, QStringLiteral("a\\b"), QStringLiteral("unterminated")));
        QVERIFY(store.keyExists(RegRoot::HKEY_CLASSES_ROOT, QStringLiteral("a")));
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
