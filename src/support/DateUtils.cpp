#include "support/DateUtils.h"

#include <thread>

QString DatePrefix(const QDate &date)
{
    return date.toString(QStringLiteral("yyMMdd"));
}

double SecondsOfDay(const QTime &time)
{
    return time.hour() * 3600.0 + time.minute() * 60.0 + time.second() + time.msec() * 0.001;
}

void Delay(quint16 ms, const std::function<double()> &clock)
{
    const auto now = [&clock] { return clock ? clock() : SecondsOfDay(); };
    const double start = now();
    for (;;) {
        const double current = now();
        const double elapsed = current < start ? current + 86400.0 - start : current - start;
        if (elapsed * 1000.0 >= ms)
            return;
        std::this_thread::yield();
    }
}

double MSecsBetween(const QDateTime &from, const QDateTime &to)
{
    return double(to.toMSecsSinceEpoch() - from.toMSecsSinceEpoch());
}
