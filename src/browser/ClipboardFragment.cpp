#include "ClipboardFragment.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

QString ClipboardFragment::fromMimeData(const QMimeData *data)
{
    if (!data)
        return {};
    if (data->hasHtml() && !data->html().isEmpty())
        return data->html();
    if (!data->hasText())
        return {};
    QString text = data->text().toHtmlEscaped();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return text;
}

QString ClipboardFragment::current()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard ? fromMimeData(clipboard->mimeData()) : QString();
}
