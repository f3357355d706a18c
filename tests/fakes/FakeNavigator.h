#pragma once

#include "FakeBrowser.h"
#include "window/EditModes.h"
#include "window/Navigator.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <functional>

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
    // Runs at the end of each wait for a page, as timer ticks would.
    std::function<void()> duringWait;

    void startHitemclicked(const QString &file) override
    {
        opened << file;
        m_addressBox.setText(file);
        m_browser.Navigate(file);
        wait_till_complete();
        m_modes.seteditmode(true);
    }
    void wait_till_complete() override
    {
        while (m_browser.ReadyState() != 4)
            QVERIFY(QSignalSpy(&m_browser, &Browser::DocumentComplete).wait(1000));
        if (duringWait)
            duringWait();
    }
    void homeBClick() override { m_browser.GoHome(); }

private:
    FakeBrowser &m_browser;
    QLineEdit &m_addressBox;
    EditModes &m_modes;
};
