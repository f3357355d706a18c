#include "window/KeyUtils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {

// The text a real keystroke would carry, so text-reading widgets react too.
QString keyText(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("\r");
    case Qt::Key_Escape:
        return QString(QChar(u'\x1b'));
    case Qt::Key_Tab:
        return QStringLiteral("\t");
    case Qt::Key_Space:
        return QStringLiteral(" ");
    default:
        break;
    }
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier))
        return QString();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        const QChar c(char16_t(u'a' + (key - Qt::Key_A)));
        return modifiers & Qt::ShiftModifier ? QString(c.toUpper()) : QString(c);
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QString(QChar(char16_t(u'0' + (key - Qt::Key_0))));
    return QString();
}

} // namespace

void SendKey(Qt::Key key, Qt::KeyboardModifiers modifiers, bool extended)
{
    Q_UNUSED(extended)
    QWidget *target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    if (!target)
        return;
    const QString text = keyText(key, modifiers);
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, modifiers, text));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, modifiers, text));
}

void CloseOnEscape(QWidget *form, QChar &key)
{
    if (key != QChar(u'\x1b'))
        return;
    key = QChar(u'\0');
    if (form)
        form->close();
}

Beeper SystemBeeper()
{
    return [] { QApplication::beep(); };
}
