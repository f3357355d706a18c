#include "dialogs/TAboutF.h"
#include "support/FileUtils.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

class TestAbout : public QObject
{
    Q_OBJECT

    // Shows the box modally, runs action on it once it is up, and gives the
    // result it ended with.
    static int showAnd(TAboutF &box, const std::function<void(TAboutF &)> &action)
    {
        QTimer::singleShot(0, &box, [&box, action] {
            QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() == &box, 5000);
            action(box);
        });
        return box.exec();
    }

    static QString version(const TAboutF &box) { return box.findChild<QLabel *>(QStringLiteral("VersionL"))->text(); }

private Q_SLOTS:
    void contentCloseAndShowbuild()
    {
        QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("quillet"));
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        TAboutF box({QStringLiteral("./quillet"), program, folder.path(),
                     folder.filePath(QStringLiteral("quillet.ini")), QStringLiteral("https://quillet.example/"),
                     QStringLiteral("Engine 9.1")});

        QCOMPARE(box.windowTitle(), QStringLiteral("About..."));
        QCOMPARE(box.findChild<QLabel *>(QStringLiteral("ProgramL"))->text(), QStringLiteral("Quillet"));
        QCOMPARE(version(box), QStringLiteral("Version 5.0"));
        auto *memo = box.findChild<QPlainTextEdit *>(QStringLiteral("aboutM"));
        QVERIFY(memo->isReadOnly());
        for (const QString &fact :
             {QStringLiteral("https://quillet.example/"), QStringLiteral("MIT"), QString::fromLatin1(qVersion()),
              QStringLiteral("Engine 9.1"), folder.path(), folder.filePath(QStringLiteral("quillet.ini"))})
            QVERIFY2(memo->toPlainText().contains(fact), qPrintable(fact));

        // Escape and Close end the box alike; Showbuild's line stays for the run.
        QCOMPARE(showAnd(box, [](TAboutF &b) { QTest::keyClick(&b, Qt::Key_Escape); }), int(QDialog::Accepted));
        QCOMPARE(showAnd(box,
                         [](TAboutF &b) {
                             QTest::keyClick(&b, Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
                             b.findChild<QPushButton *>(QStringLiteral("CloseB"))->click();
                         }),
                 int(QDialog::Accepted));
        const QString longer = QStringLiteral("Version 5.0 (./quillet ") + PathDateStr(program) + QLatin1Char(')');
        QCOMPARE(version(box), longer);
        QCOMPARE(showAnd(box, [](TAboutF &b) { QTest::keyClick(&b, Qt::Key_Escape); }), int(QDialog::Accepted));
        QCOMPARE(version(box), longer);

        // A build without a web site names none.
        TAboutF none({QStringLiteral("./quillet"), program, folder.path(),
                      folder.filePath(QStringLiteral("quillet.ini")), QString(), QStringLiteral("Engine 9.1")});
        const QString lines = none.findChild<QPlainTextEdit *>(QStringLiteral("aboutM"))->toPlainText();
        QVERIFY2(!lines.contains(QStringLiteral("Web site")), qPrintable(lines));
        QVERIFY(lines.contains(QStringLiteral("Licence:         MIT")));
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
