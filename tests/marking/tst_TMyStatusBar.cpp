#include "marking/TMyStatusBar.h"

#include <QTest>

class TstTMyStatusBar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsText();
    void emptyTextClears();
};

// Only Windows XP and older cut long texts; here a text is shown whole.
void TstTMyStatusBar::showsText()
{
    QString text;
    for (int i = 0; i < 500; ++i)
        text += QChar(u'a' + i % 26);
    TMyStatusBar bar;
    bar.ShowStatusText(text);
    QCOMPARE(bar.statusText(), text);
    QCOMPARE(bar.currentMessage(), text);
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
