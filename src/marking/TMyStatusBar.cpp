#include "marking/TMyStatusBar.h"

#include "support/SystemUtils.h"

namespace {
constexpr int MaxSimpleText = 127;
} // namespace

TMyStatusBar::TMyStatusBar(QWidget *parent) : QStatusBar(parent)
{
}

bool TMyStatusBar::shortensLongTexts()
{
    // Codes 1..7 are Windows XP and older. Code 0 means "not identified",
    // which counts as old only where the program really runs on Windows.
    const int version = WindowsVersion();
#ifdef Q_OS_WIN
    return version <= 7;
#else
    return version >= 1 && version <= 7;
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
