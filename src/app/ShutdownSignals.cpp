#include "app/ShutdownSignals.h"

#include <QApplication>
#include <QDialog>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QWidget>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> Signals{SIGTERM, SIGHUP, SIGINT};

// A signal handler can reach nothing but process-wide state: the socket the
// running watcher reads, and the handlers it replaced.
int g_sockets[2] = {-1, -1};
struct sigaction g_previous[Signals.size()];

void onSignal(int number)
{
    const int saved = errno;
    const char byte = char(number);
    // A full socket already holds a pending close; losing this byte is fine.
    [[maybe_unused]] const ssize_t written = ::write(g_sockets[0], &byte, 1);
    errno = saved;
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject *parent) : QObject(parent)
{
    if (qApp)
        connect(qApp, &QGuiApplication::commitDataRequest, this, &ShutdownSignals::requestShutdown,
                Qt::DirectConnection);
    if (g_sockets[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_sockets) != 0)
        return;
    for (const int socket : g_sockets)
        ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::readSignal);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < Signals.size(); ++i)
        ::sigaction(Signals[i], &action, &g_previous[i]);
}

ShutdownSignals::~ShutdownSignals()
{
    if (qApp)
        qApp->removeEventFilter(this);
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < Signals.size(); ++i)
        ::sigaction(Signals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_sockets[0]);
    ::close(g_sockets[1]);
    g_sockets[0] = g_sockets[1] = -1;
}

void ShutdownSignals::attach(QWidget &window)
{
    m_window = &window;
    if (m_requested)
        closeWindow();
}

int ShutdownSignals::exec()
{
    // Quitting before the loop runs does not stop a loop started later.
    return m_requested ? 0 : QApplication::exec();
}

void ShutdownSignals::readSignal()
{
    char bytes[16];
    while (::read(g_sockets[1], bytes, sizeof bytes) > 0) {
    }
    requestShutdown();
}

void ShutdownSignals::requestShutdown()
{
    if (!m_requested && qApp)
        qApp->installEventFilter(this);
    m_requested = true;
    // A modal box holds up the code that opened it, start-up included;
    // cancelled, each gives its flow the answer of Escape.
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(widget);
        if (dialog && dialog->isVisible() && dialog->isModal())
            dialog->reject();
    }
    closeWindow();
}

void ShutdownSignals::closeWindow()
{
    // Its closing steps run once, whatever else arrives meanwhile.
    if (!m_window || m_closed)
        return;
    m_closed = true;
    m_window->close();
    // Also ends a loop that a hidden window's close would leave running.
    QCoreApplication::exit(0);
}

bool ShutdownSignals::eventFilter(QObject *watched, QEvent *event)
{
    // What the interrupted flows still ask is cancelled too, once its own
    // loop runs: rejected before that, the box would wait forever.
    if (event->type() == QEvent::Show) {
        auto *dialog = qobject_cast<QDialog *>(watched);
        if (dialog && dialog->isModal())
            QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
