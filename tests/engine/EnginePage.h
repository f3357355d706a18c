#pragma once

#include "browser/WebEngineBrowser.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QWidget>

// Helpers the engine tests share to look into and act on a real page.
namespace EnginePage {

// Runs script in the application world, where the program's own scripts run,
// and waits up to five seconds for its value.
inline QVariant runScript(WebEngineBrowser &browser, const QString &script)
{
    auto *view = qobject_cast<QWebEngineView *>(browser.widget());
    QVariant result;
    QEventLoop loop;
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant &value) {
        result = value;
        loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

// Loads path and waits for its top-level document; false when it did not
// complete in time.
inline bool load(WebEngineBrowser &browser, const QString &path)
{
    QSignalSpy complete(&browser, &Browser::DocumentComplete);
    browser.Navigate(path);
    while (complete.wait(15000)) {
        if (complete.last().at(1).toBool())
            return browser.ReadyState() == 4;
    }
    return false;
}

// The centre, in view pixels, of the box that rectScript (a script
// expression giving a DOMRect) describes; a null point when there is none.
inline QPoint centreOf(WebEngineBrowser &browser, const QString &rectScript)
{
    const QVariantList centre =
        runScript(browser, QStringLiteral("(function () { var b = (%1); return b ? [b.left + b.width / 2,"
                                          " b.top + b.height / 2] : null; })()")
                               .arg(rectScript))
            .toList();
    return centre.size() == 2 ? QPoint(qRound(centre.at(0).toDouble()), qRound(centre.at(1).toDouble())) : QPoint();
}

// A double-click as a user makes it. The engine counts clicks from the
// presses' timestamps, which QTest spaces a double-click interval apart, and a
// lone double-click event selects nothing.
inline void doubleClick(QWidget *input, QPoint at)
{
    static ulong timestamp = 1000000;
    timestamp += 10000;
    for (QEvent::Type type :
         {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, input->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        event.setTimestamp(timestamp += 30);
        QCoreApplication::sendEvent(input, &event);
    }
}

} // namespace EnginePage
