#include "MainWindowFixture.h"
#include "app/ModeController.h"
#include "marking/MarkingController.h"
#include "marking/TColorGrid.h"
#include "marking/TMyStatusBar.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QToolBar>
#include <QtTest>

class TestMarking : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void commandSendsAndEnablesSave_data();
    void commandSendsAndEnablesSave();
    void failingCommandLeavesSaveAlone_data();
    void failingCommandLeavesSaveAlone();
    void shortcutsOnlyInEditMode_data();
    void shortcutsOnlyInEditMode();
    void gridPick_data();
    void gridPick();
    void failingGridPickStillRestores();
    void chooseColor_data();
    void chooseColor();
    void swatchAtStartUp_data();
    void swatchAtStartUp();
    void font_data();
    void font();
};

// Save and its button go together; enabling them disables Rename As.
#define CHECK_SAVE(w, on)                                                                                              \
    do {                                                                                                               \
        QCOMPARE((w).ui().SaveMI->isEnabled(), bool(on));                                                              \
        QCOMPARE((w).ui().SaveB->isEnabled(), bool(on));                                                               \
        if (on)                                                                                                        \
            QVERIFY(!(w).ui().RenAsMI->isEnabled());                                                                   \
    } while (false)

namespace {
using Commands = QList<QPair<QString, QVariant>>;

void writeIni(MainWindowFixture &f, const QByteArray &bytes)
{
    QFile file(f.path(QStringLiteral("quillet.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A window over an open archive, switched to edit mode (or left surfing).
TMainF &openWindow(MainWindowFixture &f, bool edit = true, const QByteArray &ini = {})
{
    writeIni(f, ini);
    TMainF &w = f.create();
    f.browser.hasDocument = true;
    w.ui().URLs->setText(QStringLiteral("/notes/page.mht"));
    w.modes().seteditmode(true);
    if (edit)
        w.modes().editmodetoggle();
    // Entering edit mode sends commands of its own.
    f.browser.commands.clear();
    return w;
}

Commands sent(const FakeBrowser &browser)
{
    Commands list;
    for (const FakeBrowser::Command &c : browser.commands)
        list.append({c.name, c.value});
    return list;
}

QColor iconPixel(TMainF &w, QIcon::Mode mode)
{
    return w.ui().markB->icon().pixmap(QSize(32, 32), mode).toImage().pixelColor(10, 10);
}

QColor colorOf(std::uint32_t value)
{
    return QColor(RedOf(value), GreenOf(value), BlueOf(value));
}

const QColor Silver(192, 192, 192);
} // namespace

void TestMarking::commandSendsAndEnablesSave_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("value");

    // With default settings MarkColor is pure red, the value 255.
    const QVariant red = QVariant::fromValue(std::uint32_t(255));
    QTest::newRow("Mark!") << "MarkMI"
                           << "BackColor" << red;
    QTest::newRow("Mark button") << "markB"
                                 << "BackColor" << red;
    QTest::newRow("Bold") << "boldMI"
                          << "Bold" << QVariant(0);
    QTest::newRow("Bold button") << "BoldB"
                                 << "Bold" << QVariant(0);
    QTest::newRow("Italic") << "ItalicMI"
                            << "Italic" << QVariant(0);
    QTest::newRow("Italic button") << "italicB"
                                   << "Italic" << QVariant(0);
    QTest::newRow("Underline") << "UndMI"
                               << "Underline" << QVariant(0);
    QTest::newRow("Underline button") << "undB"
                                      << "Underline" << QVariant(0);
    QTest::newRow("Remove formatting") << "FormatRemMI"
                                       << "Removeformat" << QVariant();
    QTest::newRow("Remove formatting button") << "formatremB"
                                              << "Removeformat" << QVariant();
}

void TestMarking::commandSendsAndEnablesSave()
{
    QFETCH(QString, action);
    QFETCH(QString, name);
    QFETCH(QVariant, value);

    MainWindowFixture f;
    TMainF &w = openWindow(f);
    // No selection: the command still goes out and the page still counts as changed.
    f.browser.selection.clear();
    CHECK_SAVE(w, false);
    w.findChild<QAction *>(action)->trigger();

    QCOMPARE(sent(f.browser), (Commands{{name, value}}));
    CHECK_SAVE(w, true);
    QVERIFY(f.dialogs.shown.isEmpty());
}

void TestMarking::failingCommandLeavesSaveAlone_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("Mark!") << "MarkMI";
    QTest::newRow("Bold button") << "BoldB";
    QTest::newRow("Remove formatting") << "FormatRemMI";
}

void TestMarking::failingCommandLeavesSaveAlone()
{
    QFETCH(QString, action);

    MainWindowFixture f;
    TMainF &w = openWindow(f);
    f.browser.failNext = QStringLiteral("the document refused");
    w.findChild<QAction *>(action)->trigger();

    CHECK_SAVE(w, false);
    QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("the document refused")});
    QCOMPARE(f.dialogs.shown.last().kind, Dialogs::Kind::Error);
}

void TestMarking::shortcutsOnlyInEditMode_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("edit");

    const std::pair<Qt::Key, const char *> keys[] = {
        {Qt::Key_Space, "BackColor"}, {Qt::Key_B, "Bold"}, {Qt::Key_I, "Italic"}, {Qt::Key_U, "Underline"}};
    for (const auto &[key, name] : keys) {
        QTest::addRow("%s in edit mode", name) << int(key) << QString::fromLatin1(name) << true;
        QTest::addRow("%s in surf mode", name) << int(key) << QString::fromLatin1(name) << false;
    }
}

void TestMarking::shortcutsOnlyInEditMode()
{
    QFETCH(int, key);
    QFETCH(QString, name);
    QFETCH(bool, edit);

    MainWindowFixture f;
    TMainF &w = openWindow(f, edit);
    const QString before = f.browser.html;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
    QTest::keyClick(target, Qt::Key(key), Qt::ControlModifier);

    if (edit) {
        // Exactly once, though both the shortcut and the Ctrl chord know Ctrl+Space.
        QCOMPARE(f.browser.commandNames(), QStringList{name});
        CHECK_SAVE(w, true);
    } else {
        QCOMPARE(f.browser.commandNames(), QStringList());
        QCOMPARE(f.browser.html, before);
        CHECK_SAVE(w, false);
    }
}

void TestMarking::gridPick_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<QString>("clicks"); // L or R and a cell, in order
    QTest::addColumn<QList<std::uint32_t>>("marks");

    const std::uint32_t navy = RGB(0, 0, 128);
    QTest::newRow("left on navy") << true << "L4" << QList<std::uint32_t>{navy};
    QTest::newRow("left on white") << true << "L15" << QList<std::uint32_t>{RGB(255, 255, 255)};
    QTest::newRow("right before any left is black") << true << "R9" << QList<std::uint32_t>{0};
    QTest::newRow("right keeps the last left colour") << true << "L4 R9" << QList<std::uint32_t>{navy, navy};
    QTest::newRow("same cell twice marks twice") << true << "L4 L4" << QList<std::uint32_t>{navy, navy};
    QTest::newRow("surf mode does nothing") << false << "L4" << QList<std::uint32_t>{};
}

void TestMarking::gridPick()
{
    QFETCH(bool, edit);
    QFETCH(QString, clicks);
    QFETCH(QList<std::uint32_t>, marks);

    MainWindowFixture f;
    TMainF &w = openWindow(f, edit, "[Edit]\r\nRed=10\r\nGreen=20\r\nBlue=30\r\n");
    const std::uint32_t markColor = RGB(10, 20, 30);
    QCOMPARE(w.state().MarkColor, markColor);
    TColorGrid *grid = w.ui().cg1;
    for (const QString &click : clicks.split(QLatin1Char(' '))) {
        const Qt::MouseButton button = click.startsWith(QLatin1Char('L')) ? Qt::LeftButton : Qt::RightButton;
        QTest::mouseClick(grid, button, {}, grid->cellRect(click.mid(1).toInt()).center());
        QCOMPARE(w.state().MarkColor, markColor);
        QVERIFY(!grid->ForegroundEnabled());
        QVERIFY(!grid->BackgroundEnabled());
    }

    Commands expected;
    for (std::uint32_t mark : marks)
        expected.append({QStringLiteral("BackColor"), QVariant::fromValue(mark)});
    QCOMPARE(sent(f.browser), expected);
    CHECK_SAVE(w, !marks.isEmpty());

    // The next Mark! is in the default colour again, and the swatch never changed.
    if (edit) {
        w.ui().MarkMI->trigger();
        QCOMPARE(f.browser.commands.last().value, QVariant::fromValue(markColor));
        QCOMPARE(iconPixel(w, QIcon::Normal), colorOf(markColor));
    }
}

void TestMarking::failingGridPickStillRestores()
{
    MainWindowFixture f;
    TMainF &w = openWindow(f);
    TColorGrid *grid = w.ui().cg1;
    f.browser.failNext = QStringLiteral("the document refused");
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(4).center());

    QCOMPARE(w.state().MarkColor, std::uint32_t(255));
    QVERIFY(!grid->ForegroundEnabled());
    CHECK_SAVE(w, false);
    QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("the document refused")});
}

void TestMarking::chooseColor_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<QString>("action");
    QTest::addColumn<std::optional<std::uint32_t>>("answer");

    const std::optional<std::uint32_t> green = RGB(0, 128, 0);
    QTest::newRow("menu while surfing") << false << "markcolorMI" << green;
    QTest::newRow("button in edit mode") << true << "setcolB" << green;
    QTest::newRow("cancelled") << true << "markcolorMI" << std::optional<std::uint32_t>();
    QTest::newRow("button while surfing is off") << false << "setcolB" << green;
}

void TestMarking::chooseColor()
{
    QFETCH(bool, edit);
    QFETCH(QString, action);
    QFETCH(std::optional<std::uint32_t>, answer);

    MainWindowFixture f;
    TMainF &w = openWindow(f, edit);
    w.ui().StB1->ShowStatusText(QStringLiteral("before"));
    f.dialogs.colors.enqueue(answer);
    w.findChild<QAction *>(action)->trigger();

    const bool runs = w.findChild<QAction *>(action)->isEnabled();
    const bool chosen = runs && answer.has_value();
    const std::uint32_t expected = chosen ? *answer : 255;
    QCOMPARE(f.dialogs.colors.isEmpty(), runs);
    QCOMPARE(w.state().MarkColor, expected);
    QCOMPARE(w.ui().StB1->statusText(), chosen ? QStringLiteral("New color set") : QStringLiteral("before"));
    QCOMPARE(iconPixel(w, QIcon::Normal), colorOf(expected));
    QCOMPARE(w.marking().glyph(MarkingController::HotGlyph).toImage().pixelColor(10, 10), colorOf(expected));
    QCOMPARE(iconPixel(w, QIcon::Disabled), Silver);
    // Choosing a colour is not a change of the page.
    QVERIFY(f.browser.commands.isEmpty());
    CHECK_SAVE(w, false);

    if (edit) {
        w.ui().MarkMI->trigger();
        QCOMPARE(f.browser.commands.last().value, QVariant::fromValue(expected));
    }
}

void TestMarking::swatchAtStartUp_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QColor>("color");
    QTest::newRow("default red") << QByteArray() << QColor(255, 0, 0);
    QTest::newRow("silver itself") << QByteArray("[Edit]\r\nRed=192\r\nGreen=192\r\nBlue=192\r\n")
                                   << QColor(192, 192, 192);
    QTest::newRow("navy") << QByteArray("[Edit]\r\nRed=0\r\nGreen=0\r\nBlue=128\r\n") << QColor(0, 0, 128);
}

void TestMarking::swatchAtStartUp()
{
    QFETCH(QByteArray, ini);
    QFETCH(QColor, color);

    MainWindowFixture f;
    TMainF &w = openWindow(f, false, ini);
    QCOMPARE(iconPixel(w, QIcon::Normal), color);
    QCOMPARE(iconPixel(w, QIcon::Active), color);
    QCOMPARE(iconPixel(w, QIcon::Disabled), Silver);
    // The disabled image is silver even when painted with another colour.
    w.marking().setmarkglyph(RGB(color.red(), color.green(), color.blue()), MarkingController::DisabledGlyph);
    QCOMPARE(iconPixel(w, QIcon::Disabled), Silver);
    QCOMPARE(iconPixel(w, QIcon::Normal), color);

    // Only the swatch rectangle takes the colour; the ground outside it is the button face.
    const QImage normal = w.marking().glyph(MarkingController::NormalGlyph).toImage();
    QCOMPARE(normal.size(), QSize(32, 32));
    QCOMPARE(normal.pixelColor(4, 1), color);
    QCOMPARE(normal.pixelColor(22, 25), color);
    const QColor face = w.ui().ToolBar1->palette().color(QPalette::Button);
    for (const QPoint &outside : {QPoint(0, 0), QPoint(3, 1), QPoint(23, 1), QPoint(4, 26)})
        QCOMPARE(normal.pixelColor(outside), face);
}

void TestMarking::font_data()
{
    QTest::addColumn<bool>("hasDocument");
    QTest::addColumn<std::optional<Dialogs::FontChoice>>("choice");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QStringList>("commands");

    const auto font = [](const char *family, int points, bool bold, bool italic, bool underline) {
        Dialogs::FontChoice choice;
        choice.family = QString::fromLatin1(family);
        choice.pointSize = points;
        choice.bold = bold;
        choice.italic = italic;
        choice.underline = underline;
        return std::optional<Dialogs::FontChoice>(choice);
    };
    const auto list = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
    QTest::newRow("cancelled") << true << std::optional<Dialogs::FontChoice>() << "" << QStringList();
    QTest::newRow("plain 12 pt") << true << font("Serif", 12, false, false, false) << ""
                                 << list("FontName=Serif FontSize=3");
    QTest::newRow("bold 8 pt") << true << font("Sans", 8, true, false, false) << ""
                               << list("FontName=Sans FontSize=1 Bold=0");
    QTest::newRow("italic underlined 20 pt")
        << true << font("Mono", 20, false, true, true) << "" << list("FontName=Mono FontSize=5 Italic=0 Underline=0");
    QTest::newRow("huge") << true << font("Mono", 72, false, false, false) << "" << list("FontName=Mono FontSize=7");
    QTest::newRow("pixel-sized font keeps its size")
        << true << font("Mono", -1, false, false, false) << "" << list("FontName=Mono");
    QTest::newRow("failure swallowed") << true << font("Sans", 12, true, false, false) << "no font for you"
                                       << QStringList();
    QTest::newRow("no document, no dialog") << false << font("Sans", 12, false, false, false) << "" << QStringList();
}

void TestMarking::font()
{
    QFETCH(bool, hasDocument);
    QFETCH(std::optional<Dialogs::FontChoice>, choice);
    QFETCH(QString, failure);
    QFETCH(QStringList, commands);

    MainWindowFixture f;
    TMainF &w = openWindow(f);
    f.browser.hasDocument = hasDocument;
    f.dialogs.fonts.enqueue(choice);
    if (!failure.isEmpty())
        f.browser.failures.insert(QStringLiteral("execCommand"), failure);
    w.ui().FontMI->trigger();

    QStringList got;
    for (const FakeBrowser::Command &c : f.browser.commands)
        got << c.name + QLatin1Char('=') + c.value.toString();
    QCOMPARE(got, commands);
    QCOMPARE(f.dialogs.fonts.isEmpty(), hasDocument);
    QVERIFY(f.dialogs.shown.isEmpty());
    CHECK_SAVE(w, true);
}

QTEST_MAIN(TestMarking)
#include "tst_marking.moc"
