#include "CssColor.h"

QString CssColor::fromColorRef(quint32 color)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(color & 0xFF).arg((color >> 8) & 0xFF).arg((color >> 16) & 0xFF);
}

QString CssColor::fromValue(const QVariant &value)
{
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    if (ok)
        return fromColorRef(static_cast<quint32>(number));
    return value.toString().trimmed();
}
