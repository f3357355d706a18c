#include "support/SystemUtils.h"

void BeepTimes(int n, const Beeper &beep)
{
    for (int i = 0; i < n; ++i) {
        if (beep)
            beep();
    }
}

std::uint8_t WindowsVersionCode(unsigned platformId, unsigned major, unsigned minor, const QString &servicePack)
{
    if (platformId == 1 && major == 4) {
        if (minor == 0)
            return 1;
        if (minor == 10)
            return servicePack.size() >= 2 && servicePack.at(1) == QLatin1Char('A') ? 3 : 2;
        if (minor == 90)
            return 5;
        return 0;
    }
    if (platformId == 2) {
        if (major <= 4)
            return 4;
        if (major == 5 && minor == 0)
            return 6;
        if (major == 5 && minor == 1)
            return 7;
        if (major == 6)
            return 8;
    }
    return 0;
}

std::uint8_t WindowsVersion()
{
    return 0;
}
