#include "marking/TBitBtnWithColor.h"

#include <QDialog>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

// The main window's mode button.
static QRgb rgbAt(const QImage &image, int x, int y)
{
    return image.pixel(x, y);
}

static QRgb rgbAt(const QImage &image, const QPoint &p)
{
    return image.pixel(p);
}

static void setUpAsModeButton(TBitBtnWithColor &button)
{
    button.setText(QStringLiteral("&Edit mode"));
    button.setColor(QColor(255, 0, 0));
    button.resize(65, 25);
}

static QImage render(TBitBtnWithColor &button)
{
    return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Bounding box of the pixels inside r that are neither the face colour nor
// part of the edge: the caption.
static QRect inkBox(const QImage &image, const QRect &r, const QColor &face)
{
    QRect box;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            if (image.pixel(x, y) != face.rgb()) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

// An 16 by 16 black square on an olive ground, one slice per count.
static QPixmap squareGlyph(int slices, int width = -1)
{
    QImage image(width < 0 ? 16 * slices : width, 16, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 0));
    QPainter p(&image);
    for (int i = 0; i < slices; ++i) {
        p.fillRect(16 * i + 4, 4, 8, 8, Qt::black);
    }
    p.end();
    return QPixmap::fromImage(image);
}

class TstTBitBtnWithColor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void faceFilledWithColor_data();
    void faceFilledWithColor();
    void pressedFaceSinksOnePixel();
    void activeButtonFrame_data();
    void activeButtonFrame();
    void disabledCaptionIsEtched();
    void sameColorKeepsCachedImages();
    void glyphImages();
    void glyphSlices_data();
    void glyphSlices();
    void propertyLimits();
    void kinds_data();
    void kinds();
    void kindReadsCustomOnceChanged();
    void placement_data();
    void placement();
    void doubleClickCountsTwice();
    void cancelButtonAnswersEscape();
};

void TstTBitBtnWithColor::faceFilledWithColor_data()
{
    QTest::addColumn<QColor>("color");
    QTest::newRow("surf mode red") << QColor(255, 0, 0);
    QTest::newRow("edit mode green") << QColor(0, 255, 0);
}

void TstTBitBtnWithColor::faceFilledWithColor()
{
    QFETCH(QColor, color);
    TBitBtnWithColor button;
    setUpAsModeButton(button);
    button.setColor(color);
    const QImage image = render(button);
    const QPalette pal = button.palette();

    QCOMPARE(image.size(), QSize(65, 25));
    // Raised edge: light outside, highlight inside on top and left; dark
    // shadow outside, shadow inside on the bottom and right.
    QCOMPARE(rgbAt(image, 0, 10), QColor(pal.color(QPalette::Midlight)).rgb());
    QCOMPARE(rgbAt(image, 1, 10), QColor(pal.color(QPalette::Light)).rgb());
    QCOMPARE(rgbAt(image, 64, 10), QColor(pal.color(QPalette::Shadow)).rgb());
    QCOMPARE(rgbAt(image, 63, 10), QColor(pal.color(QPalette::Dark)).rgb());
    QCOMPARE(rgbAt(image, 2, 2), QColor(color).rgb());
    QCOMPARE(rgbAt(image, 62, 22), QColor(color).rgb());

    // The caption sits in the middle, in the text colour.
    const QRect ink = inkBox(image, QRect(2, 2, 61, 21), color);
    QVERIFY(ink.isValid());
    QVERIFY(qAbs((ink.left() - 2) - (62 - ink.right())) <= 2);
    QVERIFY(qAbs((ink.top() - 2) - (22 - ink.bottom())) <= 3);
}

void TstTBitBtnWithColor::pressedFaceSinksOnePixel()
{
    TBitBtnWithColor button;
    setUpAsModeButton(button);
    const QImage up = render(button);
    button.setDown(true);
    const QImage down = render(button);
    const QPalette pal = button.palette();
    const QColor red(255, 0, 0);

    // A shadow outline around a red face, no raised edge.
    QCOMPARE(rgbAt(down, 0, 0), QColor(pal.color(QPalette::Dark)).rgb());
    QCOMPARE(rgbAt(down, 64, 24), QColor(pal.color(QPalette::Dark)).rgb());
    QCOMPARE(rgbAt(down, 1, 1), QColor(red).rgb());
    QCOMPARE(rgbAt(down, 63, 23), QColor(red).rgb());

    // Everything inside the edge moves one pixel right and down.
    const QRect upInside(2, 2, 60, 20);
    QVERIFY(inkBox(up, upInside, red).isValid());
    QCOMPARE(down.copy(upInside.translated(1, 1)), up.copy(upInside));
}

void TstTBitBtnWithColor::activeButtonFrame_data()
{
    QTest::addColumn<bool>("isDefault");
    QTest::addColumn<bool>("otherButtonFocused");
    QTest::addColumn<bool>("active");
    QTest::newRow("plain") << false << false << false;
    QTest::newRow("default") << true << false << true;
    QTest::newRow("default, other button focused") << true << true << false;
}

void TstTBitBtnWithColor::activeButtonFrame()
{
    QFETCH(bool, isDefault);
    QFETCH(bool, otherButtonFocused);
    QFETCH(bool, active);

    QWidget window;
    auto *button = new TBitBtnWithColor(&window);
    setUpAsModeButton(*button);
    auto *other = new QPushButton(QStringLiteral("Other"), &window);
    other->move(0, 40);
    button->setDefault(isDefault);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    if (otherButtonFocused) {
        other->setFocus();
    } else {
        window.setFocus();
    }
    QCOMPARE(button->isActiveButton(), active);

    const QImage image = render(*button);
    const QColor frame = button->palette().color(QPalette::WindowText);
    QCOMPARE(rgbAt(image, 0, 12) == frame.rgb(), active);
    QCOMPARE(rgbAt(image, 64, 0) == frame.rgb(), active);
    // The dotted focus rectangle inverts the face four pixels in.
    const QRect focusRect(4, 4, 57, 17);
    const int inverted =
        inkBox(image, QRect(focusRect.left(), focusRect.top(), focusRect.width(), 1), QColor(255, 0, 0)).width();
    QCOMPARE(inverted > 20, active);
}

void TstTBitBtnWithColor::disabledCaptionIsEtched()
{
    TBitBtnWithColor button;
    setUpAsModeButton(button);
    button.setEnabled(false);
    const QImage image = render(button);
    int grey = 0, white = 0;
    for (int y = 2; y < 23; ++y) {
        for (int x = 2; x < 63; ++x) {
            grey += image.pixel(x, y) == qRgb(128, 128, 128);
            white += image.pixel(x, y) == qRgb(255, 255, 255);
        }
    }
    QVERIFY(grey > 10);
    QVERIFY(white > 5);
}

void TstTBitBtnWithColor::sameColorKeepsCachedImages()
{
    TBitBtnWithColor button;
    setUpAsModeButton(button);
    button.resize(120, 30);
    button.setGlyph(squareGlyph(1));
    render(button);
    const TButtonGlyph &glyph = button.glyphHolder();
    QVERIFY(glyph.isCached(TButtonGlyph::Up));
    const int made = glyph.imagesMade();

    button.setColor(QColor(255, 0, 0));
    render(button);
    QCOMPARE(glyph.imagesMade(), made);

    button.setColor(QColor(0, 255, 0));
    QVERIFY(!glyph.isCached(TButtonGlyph::Up));
    const QImage image = render(button);
    QCOMPARE(glyph.imagesMade(), made + 1);
    // The glyph's transparent ground takes the new face colour.
    const QRect g = button.placeIn(QRect(3, 3, 114, 24)).glyph;
    QCOMPARE(rgbAt(image, g.topLeft()), QColor(QColor(0, 255, 0)).rgb());
    QCOMPARE(rgbAt(image, g.center()), QColor(QColor(Qt::black)).rgb());
}

void TstTBitBtnWithColor::glyphImages()
{
    TBitBtnWithColor button;
    const QColor face(255, 0, 0);
    button.setColor(face);
    button.setGlyph(squareGlyph(1));
    TButtonGlyph glyph;
    glyph.setGlyph(squareGlyph(1));
    const QPalette pal = button.palette();

    // One slice: the disabled image is embossed from the up slice.
    const QImage disabled = glyph.stateImage(TButtonGlyph::Disabled, face, pal).toImage();
    QCOMPARE(disabled.size(), QSize(16, 16));
    QCOMPARE(rgbAt(disabled, 0, 0), QColor(face).rgb());
    QCOMPARE(rgbAt(disabled, 4, 4), QColor(pal.color(QPalette::Dark)).rgb());
    QCOMPARE(rgbAt(disabled, 12, 12), QColor(pal.color(QPalette::Light)).rgb());
    // Fewer than three slices: down shows the up slice.
    QCOMPARE(glyph.stateImage(TButtonGlyph::Down, face, pal).toImage(),
             glyph.stateImage(TButtonGlyph::Up, face, pal).toImage());

    // Two slices: the disabled slice's white and grey become highlight and shadow.
    QImage twoSlices = squareGlyph(2).toImage();
    twoSlices.setPixelColor(20, 4, Qt::white);
    twoSlices.setPixelColor(21, 4, QColor(128, 128, 128));
    glyph.setGlyph(QPixmap::fromImage(twoSlices));
    QCOMPARE(glyph.numGlyphs(), 2);
    const QImage slice = glyph.stateImage(TButtonGlyph::Disabled, face, pal).toImage();
    QCOMPARE(rgbAt(slice, 4, 4), QColor(pal.color(QPalette::Light)).rgb());
    QCOMPARE(rgbAt(slice, 5, 4), QColor(pal.color(QPalette::Dark)).rgb());
    QCOMPARE(rgbAt(slice, 6, 6), QColor(QColor(Qt::black)).rgb());
    QCOMPARE(rgbAt(slice, 0, 0), QColor(face).rgb());
}

void TstTBitBtnWithColor::glyphSlices_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("slices");
    QTest::newRow("one") << 16 << 1;
    QTest::newRow("four") << 64 << 4;
    QTest::newRow("five squares count as one") << 80 << 1;
    QTest::newRow("not a multiple keeps the count") << 40 << 3;
}

void TstTBitBtnWithColor::glyphSlices()
{
    QFETCH(int, width);
    QFETCH(int, slices);
    TBitBtnWithColor button;
    button.setNumGlyphs(3);
    button.setGlyph(squareGlyph(1, width));
    QCOMPARE(button.NumGlyphs(), slices);
    QCOMPARE(button.glyphHolder().transparentColor(), QColor(128, 128, 0));
    QCOMPARE(button.glyphHolder().glyphSize(), QSize(width / slices, 16));
}

void TstTBitBtnWithColor::propertyLimits()
{
    TBitBtnWithColor button;
    QCOMPARE(button.Margin(), -1);
    QCOMPARE(button.Spacing(), 4);
    QCOMPARE(button.Layout(), TBitBtnWithColor::blGlyphLeft);
    QCOMPARE(button.Color(), button.palette().color(QPalette::Button));
    button.setMargin(-2);
    QCOMPARE(button.Margin(), -1);
    button.setMargin(3);
    QCOMPARE(button.Margin(), 3);
    button.setNumGlyphs(5);
    QCOMPARE(button.NumGlyphs(), 4);
    button.setNumGlyphs(0);
    QCOMPARE(button.NumGlyphs(), 1);
}

void TstTBitBtnWithColor::kinds_data()
{
    QTest::addColumn<TBitBtnWithColor::TBitBtnWithColorKind>("kind");
    QTest::addColumn<bool>("isDefault");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<int>("modalResult");
    using B = TBitBtnWithColor;
    QTest::newRow("OK") << B::bkOK << true << false << 1;
    QTest::newRow("Cancel") << B::bkCancel << false << true << 2;
    QTest::newRow("Abort") << B::bkAbort << false << false << 3;
    QTest::newRow("Retry") << B::bkRetry << false << false << 4;
    QTest::newRow("Ignore") << B::bkIgnore << false << false << 5;
    QTest::newRow("Yes") << B::bkYes << true << false << 6;
    QTest::newRow("No") << B::bkNo << false << true << 7;
    QTest::newRow("All") << B::bkAll << false << false << 8;
    QTest::newRow("Help") << B::bkHelp << false << false << 0;
    QTest::newRow("Close") << B::bkClose << false << false << 0;
}

void TstTBitBtnWithColor::kinds()
{
    QFETCH(TBitBtnWithColor::TBitBtnWithColorKind, kind);
    QFETCH(bool, isDefault);
    QFETCH(bool, cancel);
    QFETCH(int, modalResult);

    TBitBtnWithColor button;
    button.setKind(kind);
    QCOMPARE(button.Kind(), kind);
    QCOMPARE(button.isDefault(), isDefault);
    QCOMPARE(button.Cancel(), cancel);
    QCOMPARE(button.ModalResult(), modalResult);
    QVERIFY(!button.text().isEmpty());
    QCOMPARE(button.NumGlyphs(), 2);
    QVERIFY(!button.Glyph().isNull());
    // A colour change keeps the kind: the glyph itself did not change.
    button.setColor(QColor(0, 0, 255));
    QCOMPARE(button.Kind(), kind);
}

void TstTBitBtnWithColor::kindReadsCustomOnceChanged()
{
    using B = TBitBtnWithColor;
    {
        B button;
        button.setKind(B::bkOK);
        button.setModalResult(0);
        QCOMPARE(button.Kind(), B::bkCustom);
        // It stays custom even when the result is restored.
        button.setModalResult(1);
        QCOMPARE(button.Kind(), B::bkCustom);
    }
    {
        B button;
        button.setKind(B::bkYes);
        button.setDefault(false);
        QCOMPARE(button.Kind(), B::bkCustom);
    }
    {
        B button;
        button.setKind(B::bkNo);
        button.setCancel(false);
        QCOMPARE(button.Kind(), B::bkCustom);
    }
    {
        B button;
        button.setKind(B::bkAll);
        button.setGlyph(squareGlyph(1));
        QCOMPARE(button.Kind(), B::bkCustom);
        button.setKind(B::bkAll);
        QCOMPARE(button.Kind(), B::bkAll);
    }
}

void TstTBitBtnWithColor::placement_data()
{
    QTest::addColumn<TBitBtnWithColor::TButtonLayout>("layout");
    QTest::addColumn<int>("margin");
    QTest::addColumn<int>("spacing");
    using B = TBitBtnWithColor;
    QTest::newRow("left, centred") << B::blGlyphLeft << -1 << 4;
    QTest::newRow("right, centred") << B::blGlyphRight << -1 << 4;
    QTest::newRow("top, centred") << B::blGlyphTop << -1 << 2;
    QTest::newRow("bottom, centred") << B::blGlyphBottom << -1 << 2;
    QTest::newRow("left, margin 5") << B::blGlyphLeft << 5 << 4;
    QTest::newRow("right, margin 5") << B::blGlyphRight << 5 << 4;
    QTest::newRow("top, margin 3") << B::blGlyphTop << 3 << 0;
    QTest::newRow("left, thirds") << B::blGlyphLeft << -1 << -1;
    QTest::newRow("left, margin 6, free spacing") << B::blGlyphLeft << 6 << -1;
}

void TstTBitBtnWithColor::placement()
{
    QFETCH(TBitBtnWithColor::TButtonLayout, layout);
    QFETCH(int, margin);
    QFETCH(int, spacing);

    TBitBtnWithColor button(QStringLiteral("Caption"));
    button.setGlyph(squareGlyph(1));
    button.setLayout(layout);
    button.setMargin(margin);
    button.setSpacing(spacing);
    const QRect r(10, 20, 150, 80);
    const auto [glyph, caption] = button.placeIn(r);
    QCOMPARE(glyph.size(), QSize(16, 16));

    const bool horizontal = layout == TBitBtnWithColor::blGlyphLeft || layout == TBitBtnWithColor::blGlyphRight;
    // Across the layout axis both are centred.
    auto centredAcross = [&](const QRect &part) {
        return horizontal ? qAbs((part.top() - r.top()) - (r.bottom() - part.bottom())) <= 1
                          : qAbs((part.left() - r.left()) - (r.right() - part.right())) <= 1;
    };
    QVERIFY(centredAcross(glyph));
    QVERIFY(centredAcross(caption));

    // Along the axis: first, gap, second.
    const bool glyphFirst = layout == TBitBtnWithColor::blGlyphLeft || layout == TBitBtnWithColor::blGlyphTop;
    const QRect first = glyphFirst ? glyph : caption;
    const QRect second = glyphFirst ? caption : glyph;
    auto lead = [&](const QRect &a) { return horizontal ? a.left() - r.left() : a.top() - r.top(); };
    auto trail = [&](const QRect &a) { return horizontal ? r.right() - a.right() : r.bottom() - a.bottom(); };
    const int gap = horizontal ? second.left() - first.right() - 1 : second.top() - first.bottom() - 1;

    if (margin == -1 && spacing == -1) {
        QVERIFY(qAbs(lead(first) - gap) <= 2);
        QVERIFY(qAbs(trail(second) - gap) <= 2);
    } else if (margin == -1) {
        QCOMPARE(gap, spacing);
        QVERIFY(qAbs(lead(first) - trail(second)) <= 1);
    } else if (spacing == -1) {
        QCOMPARE(lead(glyph), margin);
        QVERIFY(qAbs(gap - trail(second)) <= 1);
    } else {
        QCOMPARE(gap, spacing);
        QCOMPARE(glyphFirst ? lead(glyph) : trail(glyph), margin);
    }
}

void TstTBitBtnWithColor::doubleClickCountsTwice()
{
    TBitBtnWithColor button;
    setUpAsModeButton(button);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseDClick(&button, Qt::LeftButton);
    QTest::mouseRelease(&button, Qt::LeftButton);
    QCOMPARE(clicks.count(), 2);
}

void TstTBitBtnWithColor::cancelButtonAnswersEscape()
{
    QDialog dialog;
    auto *ok = new TBitBtnWithColor(&dialog);
    ok->setKind(TBitBtnWithColor::bkOK);
    auto *no = new TBitBtnWithColor(&dialog);
    no->setKind(TBitBtnWithColor::bkNo);
    no->move(0, 40);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), 7);

    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(finished.count(), 2);
    QCOMPARE(finished.at(1).at(0).toInt(), 1);
}

QTEST_MAIN(TstTBitBtnWithColor)
#include "tst_TBitBtnWithColor.moc"
