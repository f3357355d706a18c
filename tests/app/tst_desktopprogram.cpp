#include "MainWindowFixture.h"
#include "app/ShutdownSignals.h"
#include "app/TerminalOptions.h"
#include "window/AppState.h"

#include <QFile>
#include <QTest>
#include <csignal>

// What makes the program behave like any Linux desktop program: closing on
// a signal through the ordinary closing steps, and the terminal options.
class TestDesktopProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void signalClosesThroughTheClosingSteps_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void signalClosesThroughTheClosingSteps()
    {
        QFETCH(int, number);
        MainWindowFixture f;
        TMainF &window = f.create();
        window.show();
        ShutdownSignals signals(window);
        QVERIFY(signals.isActive());
        // A change of this run, which only the closing steps write.
        window.state().AutoEditMode = true;

        QCOMPARE(std::raise(number), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
        QFile ini(f.path(QStringLiteral("quillet.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray written = ini.readAll();
        QVERIFY(written.contains("Auto mode=1"));
        QVERIFY(written.contains("Prepend filename=0"));
    }

    void terminalAnswers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("startsWith");
        QTest::newRow("version") << QStringList{QStringLiteral("quillet"), QStringLiteral("--version")}
                                 << QStringLiteral("Quillet 0.");
        QTest::newRow("help") << QStringList{QStringLiteral("quillet"), QStringLiteral("--help")}
                              << QStringLiteral("Usage: quillet [FILE]");
        QTest::newRow("short help") << QStringList{QStringLiteral("quillet"), QStringLiteral("-h")}
                                    << QStringLiteral("Usage: quillet [FILE]");
        QTest::newRow("a file") << QStringList{QStringLiteral("quillet"), QStringLiteral("/tmp/--version")}
                                << QString();
        QTest::newRow("launcher") << QStringList{QStringLiteral("quillet"), QStringLiteral("HEADER_IE2Quillet Title"),
                                                 QStringLiteral("--help")}
                                  << QString();
        QTest::newRow("nothing") << QStringList{QStringLiteral("quillet")} << QString();
    }
    void terminalAnswers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, startsWith);
        const std::optional<QString> answer = terminalAnswer(arguments);
        QCOMPARE(answer.has_value(), !startsWith.isEmpty());
        if (answer)
            QVERIFY2(answer->startsWith(startsWith), qPrintable(*answer));
    }
};

QTEST_MAIN(TestDesktopProgram)
#include "tst_desktopprogram.moc"
