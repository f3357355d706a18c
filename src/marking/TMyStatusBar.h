#pragma once

#include <QStatusBar>

// The main window's one-panel status bar: progress and confirmation texts.
class TMyStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    // windowsVersion is the platform's version code (0 when the system is not
    // Windows or not identified); old Windows status bars hold only 127 characters.
    explicit TMyStatusBar(QWidget *parent = nullptr, int windowsVersion = 0);

    // Shows text as the bar's simple text; an empty text clears the bar.
    void ShowStatusText(const QString &text);
    // The last text given to ShowStatusText, before any shortening.
    QString statusText() const { return m_statusText; }
    bool shortensLongTexts() const;

private:
    int m_windowsVersion = 0;
    QString m_statusText;
};
