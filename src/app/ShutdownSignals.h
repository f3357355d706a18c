#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// Turns SIGTERM, SIGHUP and SIGINT, and the end of the desktop session, into
// an ordinary close of the main window, so that its closing steps run and
// the settings file is written back. The signal handler only writes the
// signal's number into a socket; the window is closed from the event loop.
class ShutdownSignals : public QObject
{
    Q_OBJECT
public:
    explicit ShutdownSignals(QWidget &window, QObject *parent = nullptr);
    // Puts the previous handlers back.
    ~ShutdownSignals() override;

    // False when the handlers could not be installed (the signals then keep
    // their default action).
    bool isActive() const { return m_notifier != nullptr; }

    void closeWindow();

private:
    void readSignal();

    QWidget &m_window;
    QSocketNotifier *m_notifier = nullptr;
};
