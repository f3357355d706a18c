#include "app/KeyChordFilter.h"

#include "app/AppState.h"

#include <QKeyEvent>

KeyChordFilter::KeyChordFilter(AppState &state, Commands commands, QObject *parent)
    : QObject(parent), m_state(state), m_commands(std::move(commands))
{
}

const std::function<void()> *KeyChordFilter::commandFor(int key) const
{
    switch (key) {
    case Qt::Key_Space:
        return &m_commands.mark;
    case Qt::Key_F:
        return &m_commands.find;
    case Qt::Key_S:
        return &m_commands.save;
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

    const std::function<void()> *command = m_state.CtrlArmed ? commandFor(key->key()) : nullptr;
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
        if (*command)
            (*command)();
        return true;
    }
    return false;
}
