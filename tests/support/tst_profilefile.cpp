#include "support/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestProfileFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString write(const QByteArray &content)
    {
        const QString path = m_dir.filePath(QStringLiteral("settings.ini"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write the test file");
        file.write(content);
        return path;
    }

    QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void readInteger_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << QByteArray("300") << 300;
        QTest::newRow("negative") << QByteArray("-12") << -12;
        QTest::newRow("hex lower") << QByteArray("0x1F") << 31;
        QTest::newRow("hex upper prefix") << QByteArray("0XfF") << 255;
        QTest::newRow("hex all bits") << QByteArray("0xFFFFFFFF") << -1;
        QTest::newRow("spaces around") << QByteArray("  42  ") << 42;
        QTest::newRow("not a number") << QByteArray("abc") << 7;
        QTest::newRow("trailing junk") << QByteArray("12abc") << 7;
        QTest::newRow("empty") << QByteArray("") << 7;
        QTest::newRow("bare hex prefix") << QByteArray("0x") << 7;
        QTest::newRow("hex too long") << QByteArray("0x123456789") << 7;
        QTest::newRow("overflow") << QByteArray("99999999999") << 7;
    }
    void readInteger()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        ProfileFile ini(write("[Edit]\nRed=" + value + "\n"));
        QCOMPARE(ini.ReadInteger(QStringLiteral("Edit"), QStringLiteral("Red"), 7), expected);
    }

    void readBool_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("defaultValue");
        QTest::addColumn<bool>("expected");
        QTest::newRow("one") << QByteArray("1") << false << true;
        QTest::newRow("zero") << QByteArray("0") << true << false;
        QTest::newRow("any non-zero") << QByteArray("-5") << false << true;
        QTest::newRow("hex non-zero") << QByteArray("0x10") << false << true;
        QTest::newRow("word true is no number") << QByteArray("true") << false << false;
        QTest::newRow("non-numeric keeps default") << QByteArray("yes") << true << true;
    }
    void readBool()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, defaultValue);
        QFETCH(bool, expected);
        ProfileFile ini(write("[Shell]\nLaunch from IE=" + value + "\n"));
        QCOMPARE(ini.ReadBool(QStringLiteral("Shell"), QStringLiteral("Launch from IE"), defaultValue), expected);
    }

    void namesAreCaseInsensitive()
    {
        ProfileFile ini(write("\xEF\xBB\xBF[LOCATION]\n; comment\nsave = /home/a b \n[Edit]\nRed=1\n"));
        QCOMPARE(ini.ReadString(QStringLiteral("Location"), QStringLiteral("Save"), QString()),
                 QStringLiteral("/home/a b"));
        QCOMPARE(ini.ReadString(QStringLiteral("Edit"), QStringLiteral("Save"), QStringLiteral("none")),
                 QStringLiteral("none"));
    }

    void missingFileGivesDefaults()
    {
        ProfileFile ini(m_dir.filePath(QStringLiteral("absent.ini")));
        QVERIFY(ini.readOk());
        QCOMPARE(ini.ReadString(QStringLiteral("Location"), QStringLiteral("Save"), QStringLiteral("d")),
                 QStringLiteral("d"));
        QCOMPARE(ini.ReadInteger(QStringLiteral("Edit"), QStringLiteral("Red"), 255), 255);
        QCOMPARE(ini.ReadBool(QStringLiteral("Edit"), QStringLiteral("MHT only edit"), true), true);
        QVERIFY(!QFile::exists(ini.path()));
    }

    void longValuesAreCut()
    {
        const QByteArray longValue(5000, 'x');
        ProfileFile ini(write("[Location]\nSave=" + longValue + "\n"));
        QCOMPARE(ini.ReadString(QStringLiteral("Location"), QStringLiteral("Save"), QString()).size(),
                 ProfileFile::ValueBufferSize - 1);
    }

    void writesKeepOrderAndUnknownLines()
    {
        const QString path = write("# kept\n[General]\nSuppress scripts=1\n\n[Edit]\nRed=1\nOther = x\n");
        ProfileFile ini(path);
        ini.WriteBool(QStringLiteral("general"), QStringLiteral("SUPPRESS SCRIPTS"), false);
        ini.WriteInteger(QStringLiteral("General"), QStringLiteral("New"), 5);
        ini.WriteInteger(QStringLiteral("Edit"), QStringLiteral("Red"), 44);
        ini.WriteString(QStringLiteral("Save"), QStringLiteral("Prepend filename"), QStringLiteral("0"));
        ini.WriteString(QStringLiteral("Save"), QStringLiteral("Note"), QStringLiteral("two\nlines"));
        QVERIFY(ini.save());
        QCOMPARE(contents(path), QByteArray("# kept\n[General]\nSuppress scripts=0\nNew=5\n\n[Edit]\nRed=44\n"
                                            "Other = x\n[Save]\nPrepend filename=0\nNote=two lines\n"));
        ProfileFile again(path);
        QCOMPARE(again.ReadInteger(QStringLiteral("Edit"), QStringLiteral("Red"), 0), 44);
        QCOMPARE(again.ReadString(QStringLiteral("Save"), QStringLiteral("Note"), QString()),
                 QStringLiteral("two lines"));
    }

    void firstSaveCreatesFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("fresh.ini"));
        ProfileFile ini(path);
        ini.WriteString(QStringLiteral("Location"), QStringLiteral("Save"), QStringLiteral("/home/u/Documents"));
        ini.WriteBool(QStringLiteral("Edit"), QStringLiteral("Auto mode"), false);
        QVERIFY(ini.save());
        QCOMPARE(contents(path), QByteArray("[Location]\nSave=/home/u/Documents\n[Edit]\nAuto mode=0\n"));
    }

    void failedSaveIsReportedAndKeepsOldFile()
    {
        // A folder standing where the file should go cannot be replaced.
        const QString path = m_dir.filePath(QStringLiteral("blocked.ini"));
        QVERIFY(QDir().mkpath(path));
        ProfileFile ini(path);
        ini.WriteInteger(QStringLiteral("Edit"), QStringLiteral("Red"), 1);
        QVERIFY(!ini.save());
        QVERIFY(!ini.errorString().isEmpty());
        QVERIFY(QFileInfo(path).isDir());

        ProfileFile missingFolder(m_dir.filePath(QStringLiteral("no/such/folder/a.ini")));
        missingFolder.WriteInteger(QStringLiteral("Edit"), QStringLiteral("Red"), 1);
        QVERIFY(!missingFolder.save());
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
