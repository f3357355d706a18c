#include "app/KeyChordFilter.h"
#include "window/AppState.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

// Each step is a key event: "+Key" a press, "-Key" a release.
class TestKeyChords : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void chords_data();
    void chords();
};

namespace {
Qt::Key keyOf(const QString &name)
{
    if (name == QStringLiteral("Ctrl"))
        return Qt::Key_Control;
    if (name == QStringLiteral("Shift"))
        return Qt::Key_Shift;
    if (name == QStringLiteral("Space"))
        return Qt::Key_Space;
    return Qt::Key(name.at(0).unicode());
}
} // namespace

void TestKeyChords::chords_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("ran");
    QTest::addColumn<QString>("typed");

    auto steps = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
    QTest::newRow("ctrl held, space marks") << steps("+Ctrl +Space -Space -Ctrl") << "mark" << "";
    QTest::newRow("ctrl held, f finds") << steps("+Ctrl +F -F -Ctrl") << "find" << "";
    QTest::newRow("ctrl held, s saves") << steps("+Ctrl +S -S -Ctrl") << "save" << "";
    QTest::newRow("ctrl released, then f") << steps("+Ctrl -Ctrl +F -F") << "find" << "";
    QTest::newRow("another key between disarms") << steps("+Ctrl -Ctrl +A -A +S -S") << "" << "as";
    QTest::newRow("plain s types") << steps("+S -S") << "" << "s";
    QTest::newRow("chord runs once per ctrl") << steps("+Ctrl -Ctrl +S -S +S -S") << "save" << "s";
    QTest::newRow("shift down first, then ctrl and f: not the chord")
        << steps("+Shift +Ctrl +F -F -Ctrl -Shift") << "" << "";
    QTest::newRow("other letters pass") << steps("+Ctrl +X -X -Ctrl") << "" << "";
}

void TestKeyChords::chords()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, ran);
    QFETCH(QString, typed);

    AppState state;
    QStringList log;
    QAction mark, find, save;
    connect(&mark, &QAction::triggered, this, [&] { log << QStringLiteral("mark"); });
    connect(&find, &QAction::triggered, this, [&] { log << QStringLiteral("find"); });
    connect(&save, &QAction::triggered, this, [&] { log << QStringLiteral("save"); });
    KeyChordFilter filter(state, mark, find, save);
    qApp->installEventFilter(&filter);

    QLineEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    bool ctrlDown = false;
    bool shiftDown = false;
    for (const QString &step : steps) {
        const Qt::Key key = keyOf(step.mid(1));
        const bool press = step.startsWith(QLatin1Char('+'));
        if (key == Qt::Key_Control)
            ctrlDown = press;
        if (key == Qt::Key_Shift)
            shiftDown = press;
        // Letters typed with Ctrl held do not insert text; plain ones do.
        Qt::KeyboardModifiers modifiers;
        if (ctrlDown && key != Qt::Key_Control)
            modifiers |= Qt::ControlModifier;
        if (shiftDown && key != Qt::Key_Shift)
            modifiers |= Qt::ShiftModifier;
        if (press)
            QTest::keyPress(&edit, key, modifiers);
        else
            QTest::keyRelease(&edit, key, modifiers);
    }
    qApp->removeEventFilter(&filter);

    QCOMPARE(log.join(QLatin1Char(',')), ran);
    QCOMPARE(edit.text().toLower(), typed);
}

QTEST_MAIN(TestKeyChords)
#include "tst_keychords.moc"
