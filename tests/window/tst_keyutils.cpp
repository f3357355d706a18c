#include "window/KeyUtils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

// Remembers the key events a widget receives.
class KeyRecorder : public QObject
{
public:
    QStringList events;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const auto *key = static_cast<QKeyEvent *>(event);
            events << QStringLiteral("%1 %2 %3")
                          .arg(event->type() == QEvent::KeyPress ? QStringLiteral("press") : QStringLiteral("release"))
                          .arg(key->key(), 0, 16)
                          .arg(int(key->modifiers()), 0, 16);
        }
        return QObject::eventFilter(watched, event);
    }
};

class TestKeyUtils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sendKeyReachesFocusWidget_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("enter") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("ctrl+shift+s") << int(Qt::Key_S) << int(Qt::ControlModifier | Qt::ShiftModifier);
    }
    void sendKeyReachesFocusWidget()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QWidget window;
        auto *edit = new QLineEdit(&window);
        window.show();
        QApplication::setActiveWindow(&window);
        edit->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), edit);
        KeyRecorder recorder;
        edit->installEventFilter(&recorder);
        SendKey(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCoreApplication::sendPostedEvents();
        const QString tail = QStringLiteral(" %1 %2").arg(key, 0, 16).arg(modifiers, 0, 16);
        QCOMPARE(recorder.events, (QStringList{QStringLiteral("press") + tail, QStringLiteral("release") + tail}));
    }

    void enterPressesDefaultButton()
    {
        QLineEdit edit;
        edit.show();
        QApplication::setActiveWindow(&edit);
        edit.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&edit));
        QSignalSpy returnPressed(&edit, &QLineEdit::returnPressed);
        SendKey(Qt::Key_Return);
        QVERIFY(returnPressed.wait());
    }

    void closeOnEscape_data()
    {
        QTest::addColumn<QChar>("key");
        QTest::addColumn<QChar>("after");
        QTest::addColumn<bool>("closed");
        QTest::newRow("escape") << QChar(u'\x1b') << QChar(u'\0') << true;
        QTest::newRow("other") << QChar(u'a') << QChar(u'a') << false;
    }
    void closeOnEscape()
    {
        QFETCH(QChar, key);
        QFETCH(QChar, after);
        QFETCH(bool, closed);
        QWidget form;
        form.show();
        CloseOnEscape(&form, key);
        QCOMPARE(key, after);
        QCOMPARE(form.isVisible(), !closed);
    }
};

QTEST_MAIN(TestKeyUtils)
#include "tst_keyutils.moc"
