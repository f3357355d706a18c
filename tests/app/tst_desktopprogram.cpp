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
#include <QDir>
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
        QTest::addColumn<QString>("startsWith"); // empty: the window starts
        QTest::addColumn<int>("exitCode");
        const QString usage = QStringLiteral("Usage: quillet [FILE]");
        auto line = [](std::initializer_list<const char *> words) {
            QStringList list{QStringLiteral("quillet")};
            for (const char *word : words)
                list << QString::fromUtf8(word);
            return list;
        };
        QTest::newRow("version") << line({"--version"}) << QStringLiteral("Quillet 5.0.0\n") << 0;
        QTest::newRow("help") << line({"--help"}) << usage << 0;
        QTest::newRow("short help") << line({"-h"}) << usage << 0;
        QTest::newRow("help after a file") << line({"/tmp/a.mht", "--help"}) << usage << 0;
        QTest::newRow("unknown option") << line({"--bogus"})
                                        << QStringLiteral("quillet: unknown option --bogus\n") + usage << 2;
        QTest::newRow("unknown option after a file")
            << line({"/tmp/a.mht", "--bogus=1"}) << QStringLiteral("quillet: unknown option --bogus=1\n") << 2;
        QTest::newRow("a file") << line({"/tmp/--version"}) << QString() << 0;
        QTest::newRow("a file named like an option") << line({"--notes.mht"}) << QString() << 0;
        QTest::newRow("launcher") << line({"HEADER_IE2Quillet Title", "--help"}) << QString() << 0;
        QTest::newRow("launcher, an address like an option") << line({"HEADER_IE2Quillet_T", "--x"}) << QString() << 0;
        QTest::newRow("nothing") << line({}) << QString() << 0;
    }
    void terminalAnswers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, startsWith);
        QFETCH(int, exitCode);
        // "--notes.mht" is a file of the working folder.
        QTemporaryDir folder;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        QVERIFY(QFile(QStringLiteral("--notes.mht")).open(QIODevice::WriteOnly));
        const std::optional<TerminalAnswer> answer = terminalAnswer(arguments);
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(answer.has_value(), !startsWith.isEmpty());
        if (!answer)
            return;
        QVERIFY2(answer->text.startsWith(startsWith), qPrintable(answer->text));
        QCOMPARE(answer->exitCode, exitCode);
    }
};

QTEST_MAIN(TestDesktopProgram)
#include "tst_desktopprogram.moc"
