#include "FakeBrowser.h"
#include "FakeDesktop.h"
#include "FakeDesktopAssociation.h"
#include "app/ModeController.h"
#include "app/ShutdownSignals.h"
#include "app/TMainF.h"
#include "app/TerminalOptions.h"
#include "dialogs/QtDialogs.h"
#include "support/RegistryStore.h"
#include "window/MainUi.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>

// What makes the program behave like any Linux desktop program: closing on
// a signal through the ordinary closing steps, and the terminal options.
class TestDesktopProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Wherever the program is when the signal comes (a box open during the
    // window's creation or the start-up, the running loop, a question while
    // it runs), it ends through the closing steps, its loop ends or is never
    // entered, and no box is left open.
    void signalEndsTheProgramAtEveryMoment_data()
    {
        QTest::addColumn<QString>("moment");
        QTest::addColumn<int>("number");
        QTest::newRow("first-run box, SIGTERM") << "creation" << SIGTERM;
        QTest::newRow("start-up error box, SIGTERM") << "start-up" << SIGTERM;
        QTest::newRow("running, SIGTERM") << "running" << SIGTERM;
        QTest::newRow("running, SIGHUP") << "running" << SIGHUP;
        QTest::newRow("running, SIGINT") << "running" << SIGINT;
        QTest::newRow("exit question while running, SIGTERM") << "question" << SIGTERM;
    }
    void signalEndsTheProgramAtEveryMoment()
    {
        QFETCH(QString, moment);
        QFETCH(int, number);
        QTemporaryDir folder;
        const QString ini = folder.filePath(QStringLiteral("quillet.ini"));
        if (moment != QStringLiteral("creation"))
            QVERIFY(QFile(ini).open(QIODevice::WriteOnly));
        const QString archive = folder.filePath(QStringLiteral("broken.mht"));
        QVERIFY(QFile(archive).open(QIODevice::WriteOnly));

        // Raises the signal once the box of this moment is open.
        const QString boxText = moment == QStringLiteral("creation")   ? QStringLiteral("New configuration file")
                                : moment == QStringLiteral("start-up") ? QStringLiteral("Malformed archive")
                                : moment == QStringLiteral("question") ? QStringLiteral("Save your work before exit?")
                                                                       : QString();
        bool raised = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!raised && (boxText.isEmpty() || (box && box->text().contains(boxText)))) {
                raised = true;
                std::raise(number);
            }
        });
        // Ends a loop the signal failed to end, so that the test fails instead of hanging.
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, this, [] { QCoreApplication::exit(1); });

        ShutdownSignals signals;
        QVERIFY(signals.isActive());
        QtDialogs dialogs(nullptr);
        FakeDesktop desktop;
        FakeBrowser browser;
        RegistryStore registry(folder.filePath(QStringLiteral("registry.ini")));
        FakeDesktopAssociation association;
        if (moment == QStringLiteral("start-up"))
            browser.failures.insert(QStringLiteral("Navigate"), QStringLiteral("Malformed archive"));
        if (moment != QStringLiteral("running"))
            watch.start(5);
        TMainF window({dialogs, desktop, browser, folder.path(), folder.filePath(QStringLiteral("quillet")), registry,
                       association});
        dialogs.setParentWidget(&window);
        signals.attach(window);
        if (!signals.requested()) {
            window.show();
            window.FormActivate({QStringLiteral("quillet"), archive});
        }
        if (moment == QStringLiteral("running")) {
            watch.start(5);
        } else if (moment == QStringLiteral("question")) {
            window.modes().SetSaveEnabled(true);
            QTimer::singleShot(0, window.ui().ExitMI, &QAction::trigger);
        }
        limit.start(10000);

        QCOMPARE(signals.exec(), 0);
        QVERIFY(raised);
        QVERIFY(!window.isVisible());
        QVERIFY(!QApplication::activeModalWidget());
        QFile written(ini);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().contains("Prepend filename=0"));
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
