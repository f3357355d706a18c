#include "support/DateUtils.h"
#include "support/SystemUtils.h"

#include <QTest>

class TestDateUtils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void datePrefixAndSeconds()
    {
        QCOMPARE(DatePrefix(QDate(2009, 3, 7)), QStringLiteral("090307"));
        QCOMPARE(DatePrefix().size(), 6);
        QCOMPARE(SecondsOfDay(QTime(1, 2, 3, 450)), 3723.45);
        QCOMPARE(MSecsBetween(QDateTime(QDate(2020, 1, 1), QTime(23, 59, 59, 990)),
                              QDateTime(QDate(2020, 1, 2), QTime(0, 0, 0, 40))),
                 50.0);
    }

    void delay_data()
    {
        QTest::addColumn<double>("start");
        QTest::newRow("ordinary") << 43200.0;
        QTest::newRow("across midnight") << 86399.990;
    }
    void delay()
    {
        // A clock that moves 1 ms per reading, wrapping at midnight.
        QFETCH(double, start);
        double now = start;
        int readings = 0;
        Delay(50, [&] {
            const double value = now;
            now += 0.001;
            if (now >= 86400.0)
                now -= 86400.0;
            ++readings;
            return value;
        });
        QVERIFY2(readings >= 51 && readings <= 53, qPrintable(QString::number(readings)));
    }

    void windowsVersionTable_data()
    {
        QTest::addColumn<uint>("platform");
        QTest::addColumn<uint>("major");
        QTest::addColumn<uint>("minor");
        QTest::addColumn<QString>("servicePack");
        QTest::addColumn<int>("code");
        QTest::newRow("95") << 1u << 4u << 0u << QString() << 1;
        QTest::newRow("98") << 1u << 4u << 10u << QStringLiteral(" ") << 2;
        QTest::newRow("98 SE") << 1u << 4u << 10u << QStringLiteral(" A ") << 3;
        QTest::newRow("Me") << 1u << 4u << 90u << QString() << 5;
        QTest::newRow("NT4") << 2u << 4u << 0u << QString() << 4;
        QTest::newRow("2000") << 2u << 5u << 0u << QString() << 6;
        QTest::newRow("XP") << 2u << 5u << 1u << QString() << 7;
        QTest::newRow("7") << 2u << 6u << 1u << QString() << 8;
        QTest::newRow("10") << 2u << 10u << 0u << QString() << 0;
    }
    void windowsVersionTable()
    {
        QFETCH(uint, platform);
        QFETCH(uint, major);
        QFETCH(uint, minor);
        QFETCH(QString, servicePack);
        QFETCH(int, code);
        QCOMPARE(int(WindowsVersionCode(platform, major, minor, servicePack)), code);
        QCOMPARE(int(WindowsVersion()), 0);
    }
};

QTEST_GUILESS_MAIN(TestDateUtils)
#include "tst_dateutils.moc"
