#pragma once

#include <QStatusBar>

// The main window's one-panel status bar: progress and confirmation texts.
class TMyStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit TMyStatusBar(QWidget *parent = nullptr);

    // Shows text as the bar's simple text; an empty text clears the bar.
    void ShowStatusText(const QString &text);
    // The last text given to ShowStatusText, before any shortening.
    QString statusText() const { return m_statusText; }

private:
    // Old Windows status bars hold only 127 characters; no other system's do.
    static bool shortensLongTexts();

    QString m_statusText;
};
