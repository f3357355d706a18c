#include "DocumentEventBridge.h"

void DocumentEventBridge::click(const QString &tagName, const QString &href)
{
    Q_EMIT clicked(tagName.toUpper(), href);
}

void DocumentEventBridge::mouseOver(const QString &tagName, const QString &href)
{
    Q_EMIT mousedOver(tagName.toUpper(), href);
}

void DocumentEventBridge::changed()
{
    Q_EMIT documentChanged();
}
