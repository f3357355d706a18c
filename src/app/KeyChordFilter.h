#pragma once

#include <QObject>
#include <functional>

struct AppState;

// Gives Ctrl then Space, F or S their meaning wherever the keyboard focus is,
// the web view included. Installed on the application, it sees every key
// event before the focused widget. Ctrl (pressed or released) arms the chord;
// the next key event disarms it, and a press of Space, F or S while armed runs
// the command and is swallowed.
class KeyChordFilter : public QObject
{
    Q_OBJECT
public:
    struct Commands
    {
        std::function<void()> mark;
        std::function<void()> find;
        std::function<void()> save;
    };

    KeyChordFilter(AppState &state, Commands commands, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const std::function<void()> *commandFor(int key) const;

    AppState &m_state;
    Commands m_commands;
};
