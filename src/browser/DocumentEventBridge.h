#pragma once

#include <QObject>
#include <QString>

// The object page scripts of ours reach through the web channel: it turns the
// document's click, mouse-over and changes into Qt signals.
class DocumentEventBridge : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    Q_INVOKABLE void click(const QString &tagName, const QString &href);
    Q_INVOKABLE void mouseOver(const QString &tagName, const QString &href);
    // The DOM changed; the page says so once until the program reads it again.
    Q_INVOKABLE void changed();

Q_SIGNALS:
    void clicked(const QString &tagName, const QString &href);
    void mousedOver(const QString &tagName, const QString &href);
    void documentChanged();
};
