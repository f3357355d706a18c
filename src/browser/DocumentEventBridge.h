#pragma once

#include <QObject>
#include <QString>

// The object page scripts of ours reach through the web channel: it turns the
// document's click and mouse-over into Qt signals.
class DocumentEventBridge : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    Q_INVOKABLE void click(const QString &tagName, const QString &href);
    Q_INVOKABLE void mouseOver(const QString &tagName, const QString &href);

Q_SIGNALS:
    void clicked(const QString &tagName, const QString &href);
    void mousedOver(const QString &tagName, const QString &href);
};
