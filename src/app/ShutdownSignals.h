#pragma once

#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QWidget;

// Turns SIGTERM, SIGHUP and SIGINT, and the end of the desktop session, into
// an ordinary close of the main window, so that its closing steps run and
// the settings file is written back. The signal handler only writes the
// signal's number into a socket; the rest happens in whatever event loop
// runs, a start-up dialog's included: open dialogs are cancelled (and any
// shown afterwards), the window is closed, and the program's event loop
// ends or is never entered.
class ShutdownSignals : public QObject
{
    Q_OBJECT
public:
    // Create it before the main window, whose creation may already ask.
    explicit ShutdownSignals(QObject *parent = nullptr);
    // Puts the previous handlers back.
    ~ShutdownSignals() override;

    // False when the handlers could not be installed (the signals then keep
    // their default action).
    bool isActive() const { return m_notifier != nullptr; }

    // The main window, once it exists. A signal that came while it was
    // being created closes it now.
    void attach(QWidget &window);
    // A signal (or the session's end) has asked the program to end.
    bool requested() const { return m_requested; }
    // The application's event loop, unless the program has already been
    // asked to end: then 0 at once.
    int exec();

    void requestShutdown();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void readSignal();
    void closeWindow();

    QPointer<QWidget> m_window;
    QSocketNotifier *m_notifier = nullptr;
    bool m_requested = false;
    bool m_closed = false;
};
