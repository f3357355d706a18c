#pragma once

#include "support/SystemUtils.h"

#include <QChar>
#include <Qt>

class QWidget;

// Synthesises a keystroke: a key press and release, with the modifiers held,
// posted to the widget that has the keyboard focus. extended has no meaning
// on this platform and is accepted for callers that name it.
void SendKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool extended = false);

// For a window's key-press handler: Escape (27) is consumed (key becomes 0)
// and closes the window.
void CloseOnEscape(QWidget *form, QChar &key);

// A beeper that sounds the system beep.
Beeper SystemBeeper();
