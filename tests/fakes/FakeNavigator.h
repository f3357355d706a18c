#pragma once

#include "window/Navigator.h"

#include <QStringList>

#include <functional>

class EditModes;
class FakeBrowser;
class QLineEdit;

// Opens files the way the navigation controller does, over a FakeBrowser:
// the address box, the navigation, the wait for the page, surf mode (the
// histories are left alone). Records what it was asked.
class FakeNavigator : public Navigator
{
public:
    FakeNavigator(FakeBrowser &browser, QLineEdit &addressBox, EditModes &modes)
        : m_browser(browser), m_addressBox(addressBox), m_modes(modes)
    {
    }

    QStringList opened;
    int waits = 0;
    int homes = 0;
    // Runs at the end of each wait_till_complete, as timer ticks would.
    std::function<void()> duringWait;

    void startHitemclicked(const QString &file) override;
    void wait_till_complete() override;
    void homeBClick() override { ++homes; }

private:
    void waitForPage();

    FakeBrowser &m_browser;
    QLineEdit &m_addressBox;
    EditModes &m_modes;
};
