#include "marking/TColorGrid.h"

#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

// The grid the main window uses: two rows of eight cells 22 by 20, picking
// with a click, no labels until the first pick.
static QRgb rgbAt(const QImage &image, const QPoint &p)
{
    return image.pixel(p);
}

static void setUpAsMainWindowGrid(TColorGrid &grid)
{
    grid.setGridOrdering(TColorGrid::go8x2);
    grid.setClickEnablesColor(true);
    grid.setForegroundEnabled(false);
    grid.setBackgroundEnabled(false);
    grid.setTabStop(false);
    grid.resize(176, 40);
}

static QImage render(TColorGrid &grid)
{
    return grid.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The inside of a cell, within its frame.
static QRect innerRect(const TColorGrid &grid, int index)
{
    return grid.cellRect(index).adjusted(3, 3, -3, -3);
}

// Positions inside the cell that differ from the cell's own colour.
static QList<QPoint> markedPixels(const QImage &image, const QRect &r, const QColor &ground)
{
    QList<QPoint> marked;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            if (image.pixel(x, y) != ground.rgb()) {
                marked << QPoint(x, y) - r.topLeft();
            }
        }
    }
    return marked;
}

static int countColor(const QImage &image, const QRect &r, const QColor &color)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += image.pixel(x, y) == color.rgb();
        }
    }
    return n;
}

// Label pixels come out in exactly the text colour only without antialiasing.
static QFont crispFont()
{
    QFont font;
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

class TstTColorGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shrinksToWholeCells_data();
    void shrinksToWholeCells();
    void cellColors_data();
    void cellColors();
    void cellFrames_data();
    void cellFrames();
    void labelTextColor_data();
    void labelTextColor();
    void labels_data();
    void labels();
    void selectorFollowsFocus();
    void cellFromPointClamps_data();
    void cellFromPointClamps();
    void leftClickOnSwitchedOffForegroundCounts();
    void leftReleaseOutsideCompletesNothing();
    void rightClickPicksBackground();
    void draggingFollowsPointer();
    void doubleClickPicksOnce();
    void indexSetters();
    void keysMoveSelection_data();
    void keysMoveSelection();
    void letterKeysPick();
};

void TstTColorGrid::shrinksToWholeCells_data()
{
    QTest::addColumn<TColorGrid::TGridOrdering>("ordering");
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<QSize>("fitted");
    QTest::addColumn<QSize>("cell");
    QTest::newRow("8x2 100x100") << TColorGrid::go8x2 << QSize(100, 100) << QSize(96, 100) << QSize(12, 50);
    QTest::newRow("main window grid") << TColorGrid::go8x2 << QSize(176, 40) << QSize(176, 40) << QSize(22, 20);
    QTest::newRow("4x4 default") << TColorGrid::go4x4 << QSize(100, 100) << QSize(100, 100) << QSize(25, 25);
    QTest::newRow("16x1") << TColorGrid::go16x1 << QSize(100, 10) << QSize(96, 10) << QSize(6, 10);
    QTest::newRow("2x8") << TColorGrid::go2x8 << QSize(33, 33) << QSize(32, 32) << QSize(16, 4);
    QTest::newRow("1x16") << TColorGrid::go1x16 << QSize(10, 100) << QSize(10, 96) << QSize(10, 6);
}

void TstTColorGrid::shrinksToWholeCells()
{
    QFETCH(TColorGrid::TGridOrdering, ordering);
    QFETCH(QSize, requested);
    QFETCH(QSize, fitted);
    QFETCH(QSize, cell);

    // Hidden: the fit happens when the widget is first rendered.
    TColorGrid hidden;
    hidden.move(7, 9);
    hidden.setGridOrdering(ordering);
    hidden.resize(requested);
    const QImage image = render(hidden);
    QCOMPARE(image.size(), fitted);
    QCOMPARE(hidden.size(), fitted);
    QCOMPARE(hidden.pos(), QPoint(7, 9));
    QCOMPARE(QSize(hidden.cellWidth(), hidden.cellHeight()), cell);

    // Shown: the fit is immediate, and changing the ordering fits again.
    TColorGrid shown;
    shown.show();
    shown.setGridOrdering(ordering);
    shown.resize(requested);
    QCOMPARE(shown.size(), fitted);
    QCOMPARE(QSize(shown.cellWidth(), shown.cellHeight()), cell);
}

void TstTColorGrid::cellColors_data()
{
    QTest::addColumn<int>("cell");
    QTest::addColumn<QColor>("color");
    const QColor table[] = {{0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
                            {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
                            {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    for (int i = 0; i < 16; ++i) {
        QTest::addRow("cell %d", i) << i << table[i];
    }
}

void TstTColorGrid::cellColors()
{
    QFETCH(int, cell);
    QFETCH(QColor, color);

    TColorGrid grid;
    setUpAsMainWindowGrid(grid);
    const QImage image = render(grid);
    QCOMPARE(grid.cellColor(cell), color);
    const QRect inner = innerRect(grid, cell);
    QCOMPARE(countColor(image, inner, color), inner.width() * inner.height());

    // Red in the low byte, as the marking colour takes it.
    grid.setForegroundEnabled(true);
    grid.setForegroundIndex(cell);
    const std::uint32_t expected =
        std::uint32_t(color.red()) | std::uint32_t(color.green()) << 8 | std::uint32_t(color.blue()) << 16;
    QCOMPARE(grid.ForegroundCellColor(), expected);
}

void TstTColorGrid::cellFrames_data()
{
    QTest::addColumn<bool>("ctl3D");
    QTest::newRow("3-D") << true;
    QTest::newRow("flat") << false;
}

void TstTColorGrid::cellFrames()
{
    QFETCH(bool, ctl3D);

    TColorGrid grid;
    setUpAsMainWindowGrid(grid);
    grid.setCtl3D(ctl3D);
    const QImage image = render(grid);
    const QPalette pal = grid.palette();
    for (int cell : {0, 7, 12, 15}) {
        const QRect r = grid.cellRect(cell);
        const QColor fill = grid.cellColor(cell);
        if (ctl3D) {
            QCOMPARE(rgbAt(image, r.topLeft()), QColor(pal.color(QPalette::Button)).rgb());
            QCOMPARE(rgbAt(image, r.topLeft() + QPoint(1, 1)), QColor(pal.color(QPalette::Dark)).rgb());
            QCOMPARE(rgbAt(image, r.topLeft() + QPoint(2, 2)), QColor(pal.color(QPalette::Dark)).rgb());
            QCOMPARE(rgbAt(image, r.bottomRight() - QPoint(1, 1)), QColor(pal.color(QPalette::Light)).rgb());
            QCOMPARE(rgbAt(image, r.bottomRight() - QPoint(2, 2)), QColor(pal.color(QPalette::Light)).rgb());
            QCOMPARE(rgbAt(image, r.topLeft() + QPoint(3, 3)), QColor(fill).rgb());
            QCOMPARE(rgbAt(image, r.bottomRight() - QPoint(3, 3)), QColor(fill).rgb());
        } else {
            QCOMPARE(rgbAt(image, r.topLeft()), QColor(QColor(Qt::black)).rgb());
            QCOMPARE(rgbAt(image, r.bottomRight()), QColor(QColor(Qt::black)).rgb());
            QCOMPARE(rgbAt(image, r.topLeft() + QPoint(1, 1)), QColor(fill).rgb());
        }
    }
}

void TstTColorGrid::labelTextColor_data()
{
    QTest::addColumn<int>("cell");
    QTest::addColumn<QColor>("text");
    QTest::newRow("silver") << 7 << QColor(0, 0, 0);
    QTest::newRow("black") << 0 << QColor(255, 255, 255);
    QTest::newRow("navy") << 4 << QColor(255, 255, 0);
    QTest::newRow("olive") << 3 << QColor(0, 0, 255);
    QTest::newRow("grey") << 8 << QColor(0, 0, 0);
    QTest::newRow("blue") << 12 << QColor(255, 255, 0);
}

void TstTColorGrid::labelTextColor()
{
    QFETCH(int, cell);
    QFETCH(QColor, text);

    QCOMPARE(TColorGrid::labelTextColor(TColorGrid().cellColor(cell)), text);

    TColorGrid grid;
    grid.resize(100, 100);
    grid.setFont(crispFont());
    grid.setBackgroundEnabled(false);
    grid.setForegroundEnabled(false);
    const QImage before = render(grid);
    QVERIFY(countColor(before, innerRect(grid, cell), text) == 0);
    grid.setForegroundEnabled(true);
    grid.setForegroundIndex(cell);
    const QImage after = render(grid);
    QVERIFY2(countColor(after, innerRect(grid, cell), text) > 5, "label drawn in the computed text colour");
}

void TstTColorGrid::labels_data()
{
    QTest::addColumn<bool>("foregroundOn");
    QTest::addColumn<bool>("backgroundOn");
    QTest::addColumn<int>("foreground");
    QTest::addColumn<int>("background");
    QTest::addColumn<QString>("foregroundLabel");
    QTest::addColumn<QString>("backgroundLabel");
    QTest::newRow("shared cell") << true << true << 5 << 5 << QStringLiteral("FB") << QStringLiteral("FB");
    QTest::newRow("separate cells") << true << true << 2 << 9 << QStringLiteral("FG") << QStringLiteral("BG");
    QTest::newRow("shared, background off") << true << false << 5 << 5 << QStringLiteral("FG") << QStringLiteral("FG");
    QTest::newRow("shared, foreground off") << false << true << 5 << 5 << QStringLiteral("BG") << QStringLiteral("BG");
    QTest::newRow("both off") << false << false << 2 << 9 << QString() << QString();
}

void TstTColorGrid::labels()
{
    QFETCH(bool, foregroundOn);
    QFETCH(bool, backgroundOn);
    QFETCH(int, foreground);
    QFETCH(int, background);
    QFETCH(QString, foregroundLabel);
    QFETCH(QString, backgroundLabel);

    TColorGrid grid;
    grid.resize(100, 100);
    grid.setFont(crispFont());
    grid.setForegroundIndex(foreground);
    grid.setBackgroundIndex(background);
    grid.setForegroundEnabled(foregroundOn);
    grid.setBackgroundEnabled(backgroundOn);
    const QImage image = render(grid);

    // What the label text alone looks like on the cell's colour.
    auto expectedMarks = [&grid](int cell, const QString &text) {
        const QColor ground = grid.cellColor(cell);
        QImage reference(grid.size(), QImage::Format_RGB32);
        // The label's pixel size follows the resolution it is painted at:
        // paint the reference at the grid's own, not the image default.
        reference.setDotsPerMeterX(qRound(grid.logicalDpiX() / 0.0254));
        reference.setDotsPerMeterY(qRound(grid.logicalDpiY() / 0.0254));
        reference.fill(ground);
        if (!text.isEmpty()) {
            QPainter p(&reference);
            p.setFont(grid.font());
            p.setPen(TColorGrid::labelTextColor(ground));
            p.drawText(grid.cellRect(cell), Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
        }
        return markedPixels(reference, innerRect(grid, cell), ground);
    };
    QCOMPARE(markedPixels(image, innerRect(grid, foreground), grid.cellColor(foreground)),
             expectedMarks(foreground, foregroundLabel));
    QCOMPARE(markedPixels(image, innerRect(grid, background), grid.cellColor(background)),
             expectedMarks(background, backgroundLabel));
}

void TstTColorGrid::selectorFollowsFocus()
{
    QWidget window;
    auto *grid = new TColorGrid(&window);
    grid->setSelection(6);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    grid->setBackgroundEnabled(false);
    grid->setForegroundEnabled(false);
    grid->clearFocus();
    const QRect inner = innerRect(*grid, 6);
    QVERIFY(markedPixels(render(*grid), inner, grid->cellColor(6)).isEmpty());

    grid->setFocus();
    QVERIFY(grid->hasFocus());
    const QList<QPoint> dots = markedPixels(render(*grid), inner, grid->cellColor(6));
    QVERIFY(!dots.isEmpty());
    // The dotted rectangle runs one pixel inside the cell's fill.
    QVERIFY(dots.contains(QPoint(1, 1)) || dots.contains(QPoint(2, 1)));
    QVERIFY(!dots.contains(QPoint(0, 0)));
}

void TstTColorGrid::cellFromPointClamps_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("cell");
    QTest::newRow("inside") << QPoint(50, 10) << 2;
    QTest::newRow("second row") << QPoint(175, 39) << 15;
    QTest::newRow("above left") << QPoint(-5, -5) << 0;
    QTest::newRow("above right") << QPoint(1000, -5) << 7;
    QTest::newRow("below right") << QPoint(1000, 1000) << 15;
    QTest::newRow("below left") << QPoint(-5, 1000) << 8;
    QTest::newRow("left of row 1") << QPoint(-30, 25) << 8;
}

void TstTColorGrid::cellFromPointClamps()
{
    QFETCH(QPoint, point);
    QFETCH(int, cell);
    TColorGrid grid;
    setUpAsMainWindowGrid(grid);
    QCOMPARE(grid.cellAt(point), cell);
}

void TstTColorGrid::leftClickOnSwitchedOffForegroundCounts()
{
    TColorGrid grid;
    setUpAsMainWindowGrid(grid);
    QSignalSpy changes(&grid, &TColorGrid::OnChange);
    QSignalSpy clicks(&grid, &TColorGrid::OnClick);

    // Cell 0 is already the foreground index, but switched off.
    QTest::mouseClick(&grid, Qt::LeftButton, {}, grid.cellRect(0).center());
    QCOMPARE(grid.ForegroundIndex(), 0);
    QVERIFY(grid.ForegroundEnabled());
    QVERIFY(!grid.BackgroundEnabled());
    QCOMPARE(changes.count(), 1);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(grid.Selection(), 0);
    QVERIFY(!grid.hasFocus());

    QTest::mouseClick(&grid, Qt::LeftButton, {}, grid.cellRect(11).center());
    QCOMPARE(grid.ForegroundCellColor(), 0x00ffffu);
    QCOMPARE(changes.count(), 2);
    QCOMPARE(clicks.count(), 2);
}

void TstTColorGrid::leftReleaseOutsideCompletesNothing()
{
    TColorGrid grid;
    setUpAsMainWindowGrid(grid);
    QSignalSpy clicks(&grid, &TColorGrid::OnClick);
    QTest::mousePress(&grid, Qt::LeftButton, {}, grid.cellRect(3).center());
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, QPoint(300, 10));
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(grid.ForegroundIndex(), 3);
}

void TstTColorGrid::rightClickPicksBackground()
{
    TColorGrid grid;
    setUpAsMainWindowGrid(grid);
    QTest::mouseClick(&grid, Qt::LeftButton, {}, grid.cellRect(9).center());
    QSignalSpy clicks(&grid, &TColorGrid::OnClick);

    QTest::mousePress(&grid, Qt::RightButton, {}, grid.cellRect(4).center());
    QVERIFY(grid.BackgroundEnabled());
    QCOMPARE(grid.BackgroundIndex(), 4);
    QTest::mouseMove(&grid, QPoint(-40, 300));
    QCOMPARE(grid.BackgroundIndex(), 8);
    // A right release completes the pick even away from the grid.
    QTest::mouseRelease(&grid, Qt::RightButton, {}, QPoint(-40, 300));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(grid.ForegroundIndex(), 9);
    QCOMPARE(grid.ForegroundCellColor(), 0x0000ffu);
}

void TstTColorGrid::draggingFollowsPointer()
{
    TColorGrid grid;
    setUpAsMainWindowGrid(grid);
    QSignalSpy changes(&grid, &TColorGrid::OnChange);
    QTest::mousePress(&grid, Qt::LeftButton, {}, grid.cellRect(1).center());
    QTest::mouseMove(&grid, grid.cellRect(10).center());
    QCOMPARE(grid.ForegroundIndex(), 10);
    QCOMPARE(grid.Selection(), 10);
    QTest::mouseMove(&grid, QPoint(500, 500));
    QCOMPARE(grid.ForegroundIndex(), 15);
    QTest::mouseMove(&grid, QPoint(500, 501));
    QCOMPARE(changes.count(), 3);
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, QPoint(500, 501));
    // No button down: moving changes nothing.
    QTest::mouseMove(&grid, grid.cellRect(2).center());
    QCOMPARE(grid.ForegroundIndex(), 15);
}

void TstTColorGrid::doubleClickPicksOnce()
{
    TColorGrid grid;
    setUpAsMainWindowGrid(grid);
    // The main window marks on each completed pick, then clears both labels.
    int marks = 0;
    connect(&grid, &TColorGrid::OnClick, &grid, [&grid, &marks] {
        ++marks;
        grid.setForegroundEnabled(false);
        grid.setBackgroundEnabled(false);
    });
    const QPoint cell5 = grid.cellRect(5).center();
    QTest::mouseClick(&grid, Qt::LeftButton, {}, cell5);
    QTest::mouseDClick(&grid, Qt::LeftButton, {}, cell5);
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, cell5);
    QCOMPARE(marks, 1);
    // The second press leaves its "FG" label up.
    QVERIFY(grid.ForegroundEnabled());
    QCOMPARE(grid.ForegroundIndex(), 5);

    QTest::mouseClick(&grid, Qt::LeftButton, {}, cell5);
    QCOMPARE(marks, 2);
    QVERIFY(!grid.ForegroundEnabled());
}

void TstTColorGrid::indexSetters()
{
    TColorGrid grid;
    QSignalSpy changes(&grid, &TColorGrid::OnChange);
    grid.setForegroundIndex(0);
    grid.setForegroundIndex(16);
    grid.setForegroundIndex(-1);
    grid.setBackgroundIndex(99);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(grid.ForegroundIndex(), 0);
    QCOMPARE(grid.BackgroundIndex(), 0);

    grid.setBackgroundIndex(3);
    QCOMPARE(changes.count(), 1);
    grid.setForegroundEnabled(false);
    grid.setForegroundIndex(7);
    QCOMPARE(grid.ForegroundIndex(), 0);
    QCOMPARE(changes.count(), 1);

    grid.setSelection(20);
    QCOMPARE(grid.Selection(), 0);
}

void TstTColorGrid::keysMoveSelection_data()
{
    QTest::addColumn<TColorGrid::TGridOrdering>("ordering");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("selection");
    const auto g8 = TColorGrid::go8x2;
    const auto g4 = TColorGrid::go4x4;
    QTest::newRow("right") << g8 << 4 << int(Qt::Key_Right) << 5;
    QTest::newRow("right wraps") << g8 << 15 << int(Qt::Key_Right) << 0;
    QTest::newRow("space") << g8 << 7 << int(Qt::Key_Space) << 8;
    QTest::newRow("left wraps") << g8 << 0 << int(Qt::Key_Left) << 15;
    QTest::newRow("home") << g8 << 9 << int(Qt::Key_Home) << 0;
    QTest::newRow("end") << g8 << 9 << int(Qt::Key_End) << 15;
    QTest::newRow("up") << g8 << 9 << int(Qt::Key_Up) << 1;
    QTest::newRow("up from top row") << g8 << 3 << int(Qt::Key_Up) << 10;
    QTest::newRow("up from cell 0") << g8 << 0 << int(Qt::Key_Up) << 15;
    QTest::newRow("down") << g8 << 2 << int(Qt::Key_Down) << 10;
    QTest::newRow("down from bottom row") << g8 << 10 << int(Qt::Key_Down) << 3;
    QTest::newRow("down from last") << g8 << 15 << int(Qt::Key_Down) << 0;
    QTest::newRow("4x4 up from top") << g4 << 2 << int(Qt::Key_Up) << 13;
    QTest::newRow("4x4 down from bottom") << g4 << 13 << int(Qt::Key_Down) << 2;
    QTest::newRow("16x1 up") << TColorGrid::go16x1 << 5 << int(Qt::Key_Up) << 4;
    QTest::newRow("other key") << g8 << 6 << int(Qt::Key_X) << 6;
}

void TstTColorGrid::keysMoveSelection()
{
    QFETCH(TColorGrid::TGridOrdering, ordering);
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, selection);

    TColorGrid grid;
    grid.setGridOrdering(ordering);
    grid.setSelection(start);
    QSignalSpy changes(&grid, &TColorGrid::OnChange);
    QTest::keyClick(&grid, Qt::Key(key));
    QCOMPARE(grid.Selection(), selection);
    QCOMPARE(changes.count(), 0);
}

void TstTColorGrid::letterKeysPick()
{
    TColorGrid grid;
    setUpAsMainWindowGrid(grid);
    grid.setSelection(12);
    QSignalSpy clicks(&grid, &TColorGrid::OnClick);
    QTest::keyClick(&grid, Qt::Key_F);
    QVERIFY(grid.ForegroundEnabled());
    QCOMPARE(grid.ForegroundIndex(), 12);
    QCOMPARE(clicks.count(), 1);

    grid.setSelection(6);
    QTest::keyClick(&grid, 'b');
    QVERIFY(grid.BackgroundEnabled());
    QCOMPARE(grid.BackgroundIndex(), 6);
    QCOMPARE(grid.ForegroundIndex(), 12);
    QCOMPARE(clicks.count(), 2);
}

// The checks address single device pixels, so one logical pixel must be one
// device pixel whatever scale factor the environment asks for.
int main(int argc, char *argv[])
{
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    QApplication app(argc, argv);
    TstTColorGrid test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_TColorGrid.moc"
