#include "marking/TMyStatusBar.h"

namespace {
constexpr int MaxSimpleText = 127;
} // namespace

TMyStatusBar::TMyStatusBar(QWidget *parent, int windowsVersion) : QStatusBar(parent), m_windowsVersion(windowsVersion)
{
}

bool TMyStatusBar::shortensLongTexts() const
{
    // Codes 1..7 are Windows XP and older. Code 0 means "not identified",
    // which counts as old only where the program really runs on Windows.
#ifdef Q_OS_WIN
    return m_windowsVersion <= 7;
#else
    return m_windowsVersion >= 1 && m_windowsVersion <= 7;
#endif
}

void TMyStatusBar::ShowStatusText(const QString &text)
{
    m_statusText = text;
    QString shown = text;
    if (shown.size() > MaxSimpleText && shortensLongTexts()) {
        shown = shown.left(MaxSimpleText - 3) + QStringLiteral("...");
    }
    if (shown.isEmpty()) {
        clearMessage();
    } else {
        showMessage(shown);
    }
}
