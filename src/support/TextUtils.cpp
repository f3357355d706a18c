#include "support/TextUtils.h"

#include <algorithm>

QString ReverseStr(const QString &text)
{
    QString reversed = text;
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

int LastPos(const QString &sub, const QString &text)
{
    if (sub.isEmpty())
        return 0;
    const qsizetype pos = ReverseStr(text).indexOf(ReverseStr(sub));
    if (pos < 0)
        return 0;
    return int(text.size() - pos - sub.size() + 1);
}

QString MenuText(const QString &text)
{
    QString doubled = text;
    return doubled.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString ShortenLeft(const QString &text, quint16 maxLen)
{
    const auto length = quint16(text.size());
    if (length <= maxLen)
        return text;
    const int keep = int(maxLen) - 3;
    return QStringLiteral("...") + (keep > 0 ? text.right(keep) : QString());
}

bool HasControlCharacter(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}
