#include "app/KeyChordFilter.h"

#include "window/AppState.h"

#include <QAction>
#include <QKeyEvent>

KeyChordFilter::KeyChordFilter(AppState &state, QAction &mark, QAction &find, QAction &save, QObject *parent)
    : QObject(parent), m_state(state), m_mark(mark), m_find(find), m_save(save)
{
}

QAction *KeyChordFilter::commandFor(int key) const
{
    switch (key) {
    case Qt::Key_Space:
        return &m_mark;
    case Qt::Key_F:
        return &m_find;
    case Qt::Key_S:
        return &m_save;
    default:
        return nullptr;
    }
}

bool KeyChordFilter::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);

    // An unhandled key event travels up the parent chain and passes here again;
    // seeing it twice is harmless because arming and disarming are idempotent
    // and a swallowed chord is accepted, which ends the propagation.
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Control) {
        if (type != QEvent::ShortcutOverride)
            m_state.CtrlArmed = true;
        return false;
    }

    // With Shift held the letter belongs to another shortcut (Ctrl+Shift+F is
    // Find in library), whatever order the modifiers went down in.
    QAction *command = m_state.CtrlArmed && !(key->modifiers() & Qt::ShiftModifier) ? commandFor(key->key()) : nullptr;
    if (type == QEvent::ShortcutOverride) {
        // Claim the key so no menu shortcut fires; the press that follows runs the chord.
        if (command) {
            key->accept();
            return true;
        }
        return false;
    }

    m_state.CtrlArmed = false;
    if (type == QEvent::KeyPress && command) {
        key->accept();
        command->trigger();
        return true;
    }
    return false;
}
