#include "dialogs/QtDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(Dialogs::Kind)
Q_DECLARE_METATYPE(Dialogs::Buttons)
Q_DECLARE_METATYPE(Dialogs::Answer)

class TestQtDialogs : public QObject
{
    Q_OBJECT

private:
    struct Seen
    {
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        QString defaultButton;
    };

    // Once the box is up, records what it shows and presses key on it.
    static void answerNextBox(QObject *context, Qt::Key key, Seen *seen)
    {
        QTimer::singleShot(0, context, [context, key, seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) {
                answerNextBox(context, key, seen);
                return;
            }
            seen->caption = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
            for (QAbstractButton *button : box->buttons())
                seen->buttons << button->text();
            seen->buttons.sort();
            if (box->defaultButton())
                seen->defaultButton = box->defaultButton()->text();
            QTest::keyClick(box, key);
        });
    }

private Q_SLOTS:
    void routines_data()
    {
        QTest::addColumn<int>("routine");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<bool>("result");
        const QStringList ok{QStringLiteral("OK")};
        const QStringList yesNo{QStringLiteral("&No"), QStringLiteral("&Yes")};
        QTest::newRow("plain") << 0 << int(Qt::Key_Escape) << QStringLiteral("Quillet") << int(QMessageBox::NoIcon)
                               << ok << true;
        QTest::newRow("error") << 1 << int(Qt::Key_Return) << QStringLiteral("Error") << int(QMessageBox::Critical)
                               << ok << true;
        QTest::newRow("warning") << 2 << int(Qt::Key_Escape) << QStringLiteral("Warning") << int(QMessageBox::Warning)
                                 << ok << true;
        QTest::newRow("information") << 3 << int(Qt::Key_Return) << QStringLiteral("Information")
                                     << int(QMessageBox::Information) << ok << true;
        QTest::newRow("ask, Enter is Yes")
            << 4 << int(Qt::Key_Return) << QStringLiteral("Warning") << int(QMessageBox::Warning) << yesNo << true;
        QTest::newRow("ask, Escape is No")
            << 4 << int(Qt::Key_Escape) << QStringLiteral("Warning") << int(QMessageBox::Warning) << yesNo << false;
    }
    void routines()
    {
        QFETCH(int, routine);
        QFETCH(int, key);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        QFETCH(QStringList, buttons);
        QFETCH(bool, result);
        QtDialogs dialogs(nullptr);
        Seen seen;
        answerNextBox(this, Qt::Key(key), &seen);
        const QString text = QStringLiteral("Some <b>text</b>");
        bool answer = true;
        switch (routine) {
        case 0:
            dialogs.ShowMsg(text);
            break;
        case 1:
            dialogs.ShowErrorMsg(text);
            break;
        case 2:
            dialogs.ShowWarningMsg(text);
            break;
        case 3:
            dialogs.ShowInfoMsg(text);
            break;
        default:
            answer = dialogs.AskYesNo(text);
        }
        QCOMPARE(seen.caption, caption);
        QCOMPARE(seen.text, text);
        QCOMPARE(int(seen.icon), icon);
        QCOMPARE(seen.buttons, buttons);
        QCOMPARE(answer, result);
    }

    void messageButtons_data()
    {
        QTest::addColumn<Dialogs::Kind>("kind");
        QTest::addColumn<Dialogs::Buttons>("buttons");
        QTest::addColumn<Dialogs::Answer>("defaultAnswer");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("defaultButton");
        QTest::addColumn<Dialogs::Answer>("expected");
        using D = Dialogs;
        QTest::newRow("yes/no/cancel escape") << D::Kind::Warning << D::Buttons::YesNoCancel << D::Answer::Yes
                                              << int(Qt::Key_Escape) << QStringLiteral("&Yes") << D::Answer::Cancel;
        QTest::newRow("yes/no/cancel enter") << D::Kind::Warning << D::Buttons::YesNoCancel << D::Answer::Yes
                                             << int(Qt::Key_Return) << QStringLiteral("&Yes") << D::Answer::Yes;
        QTest::newRow("ok/cancel escape") << D::Kind::Information << D::Buttons::OkCancel << D::Answer::Ok
                                          << int(Qt::Key_Escape) << QStringLiteral("OK") << D::Answer::Cancel;
        QTest::newRow("confirm defaults to no") << D::Kind::Confirm << D::Buttons::YesNo << D::Answer::Yes
                                                << int(Qt::Key_Return) << QStringLiteral("&No") << D::Answer::No;
    }
    void messageButtons()
    {
        QFETCH(Dialogs::Kind, kind);
        QFETCH(Dialogs::Buttons, buttons);
        QFETCH(Dialogs::Answer, defaultAnswer);
        QFETCH(int, key);
        QFETCH(QString, defaultButton);
        QFETCH(Dialogs::Answer, expected);
        QtDialogs dialogs(nullptr);
        Seen seen;
        answerNextBox(this, Qt::Key(key), &seen);
        QCOMPARE(dialogs.message(kind, QStringLiteral("Confirm"), QStringLiteral("Proceed?"), buttons, defaultAnswer),
                 expected);
        QCOMPARE(seen.defaultButton, defaultButton);
        if (kind == Dialogs::Kind::Confirm)
            QCOMPARE(int(seen.icon), int(QMessageBox::Warning));
    }
};

QTEST_MAIN(TestQtDialogs)
#include "tst_qtdialogs.moc"
