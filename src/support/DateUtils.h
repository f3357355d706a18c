#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <functional>

// The date as "yymmdd", for file-name prefixes. Defaults to today.
QString DatePrefix(const QDate &date = QDate::currentDate());
// Seconds since local midnight, with milliseconds as the fraction.
double SecondsOfDay(const QTime &time = QTime::currentTime());
// Blocks for at least ms milliseconds without handling events. clock gives
// SecondsOfDay (the real one by default); a wait across midnight still ends.
void Delay(quint16 ms, const std::function<double()> &clock = {});
// to - from in whole milliseconds.
double MSecsBetween(const QDateTime &from, const QDateTime &to);
