#include "marking/TMyStatusBar.h"

#include <QTest>

class TstTMyStatusBar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsText_data();
    void showsText();
    void emptyTextClears();
};

void TstTMyStatusBar::showsText_data()
{
    QTest::addColumn<int>("windowsVersion");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("shownLength");
    QTest::addColumn<bool>("cut");
    QTest::newRow("XP, 128") << 7 << 128 << 127 << true;
    QTest::newRow("XP, 127") << 7 << 127 << 127 << false;
    QTest::newRow("Windows 95, 300") << 1 << 300 << 127 << true;
    QTest::newRow("Vista, 128") << 8 << 128 << 128 << false;
    QTest::newRow("not Windows, 500") << 0 << 500 << 500 << false;
    QTest::newRow("XP, short") << 7 << 12 << 12 << false;
}

void TstTMyStatusBar::showsText()
{
    QFETCH(int, windowsVersion);
    QFETCH(int, length);
    QFETCH(int, shownLength);
    QFETCH(bool, cut);

    QString text;
    for (int i = 0; i < length; ++i) {
        text += QChar(u'a' + i % 26);
    }
    TMyStatusBar bar(nullptr, windowsVersion);
    bar.ShowStatusText(text);
    QCOMPARE(bar.statusText(), text);
    QCOMPARE(bar.currentMessage().size(), shownLength);
    if (cut) {
        QCOMPARE(bar.currentMessage(), text.left(124) + QStringLiteral("..."));
    } else {
        QCOMPARE(bar.currentMessage(), text);
    }
}

void TstTMyStatusBar::emptyTextClears()
{
    TMyStatusBar bar;
    bar.resize(300, 19);
    const QImage blank = bar.grab().toImage();
    bar.ShowStatusText(QStringLiteral("File saved: 1234 bytes"));
    QCOMPARE(bar.currentMessage(), QStringLiteral("File saved: 1234 bytes"));
    QVERIFY(bar.grab().toImage() != blank);

    bar.ShowStatusText(QString());
    QVERIFY(bar.currentMessage().isEmpty());
    QVERIFY(bar.statusText().isEmpty());
    QCOMPARE(bar.grab().toImage(), blank);
}

QTEST_MAIN(TstTMyStatusBar)
#include "tst_TMyStatusBar.moc"
