#include "FakeNavigator.h"

#include "FakeBrowser.h"
#include "window/EditModes.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

void FakeNavigator::startHitemclicked(const QString &file)
{
    opened << file;
    m_addressBox.setText(file);
    m_browser.Navigate(file);
    waitForPage();
    m_modes.seteditmode(true);
}

void FakeNavigator::wait_till_complete()
{
    ++waits;
    waitForPage();
    if (duringWait)
        duringWait();
}

void FakeNavigator::waitForPage()
{
    while (m_browser.ReadyState() != 4)
        QVERIFY(QSignalSpy(&m_browser, &Browser::DocumentComplete).wait(1000));
}
