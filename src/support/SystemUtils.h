#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// Sounds one system beep. The widget layer supplies the real one
// (SystemBeeper); tests count calls.
using Beeper = std::function<void()>;

// n beeps, one after the other.
void BeepTimes(int n, const Beeper &beep);

// The running Windows version as a small code (1 = 95 ... 7 = XP, 8 = Vista
// or later with major version 6); 0 for "none of the above", which is what
// every other system reports.
std::uint8_t WindowsVersion();

// The code for a version record: platform id, major, minor and the
// service-pack text. Kept apart so the table holds on any system.
std::uint8_t WindowsVersionCode(unsigned platformId, unsigned major, unsigned minor, const QString &servicePack);
