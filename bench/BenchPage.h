#pragma once

#include "browser/WebEngineBrowser.h"

#include <QEventLoop>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <optional>

// The page's own answer to a script run in the application world, with none
// of the program's code in between: how the benchmark times the engine itself.
inline QVariant pageAnswer(WebEngineBrowser &browser, const QString &script)
{
    std::optional<QVariant> answer;
    QEventLoop wait;
    QTimer::singleShot(60000, &wait, &QEventLoop::quit);
    qobject_cast<QWebEngineView *>(browser.widget())
        ->page()
        ->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant &value) {
            answer = value;
            wait.quit();
        });
    if (!answer)
        wait.exec();
    return answer.value_or(QVariant());
}
