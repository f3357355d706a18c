#pragma once

#include <QObject>

struct AppState;
class QAction;

// Gives Ctrl then Space, F or S their meaning wherever the keyboard focus is,
// the web view included. Installed on the application, it sees every key
// event before the focused widget. Ctrl (pressed or released) arms the chord;
// the next key event disarms it, and a press of Space, F or S while armed
// triggers the command's action (mark, find, save) and is swallowed.
class KeyChordFilter : public QObject
{
    Q_OBJECT
public:
    KeyChordFilter(AppState &state, QAction &mark, QAction &find, QAction &save, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *commandFor(int key) const;

    AppState &m_state;
    QAction &m_mark;
    QAction &m_find;
    QAction &m_save;
};
