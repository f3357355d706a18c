#include "app/ShutdownSignals.h"

#include <QApplication>
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

ShutdownSignals::ShutdownSignals(QWidget &window, QObject *parent) : QObject(parent), m_window(window)
{
    if (qApp)
        connect(qApp, &QGuiApplication::commitDataRequest, this, &ShutdownSignals::closeWindow, Qt::DirectConnection);
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
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < Signals.size(); ++i)
        ::sigaction(Signals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_sockets[0]);
    ::close(g_sockets[1]);
    g_sockets[0] = g_sockets[1] = -1;
}

void ShutdownSignals::readSignal()
{
    char bytes[16];
    while (::read(g_sockets[1], bytes, sizeof bytes) > 0) {
    }
    closeWindow();
}

void ShutdownSignals::closeWindow()
{
    // A close abandoned by the closing steps (the settings file could not be
    // written) leaves the program running, as any other close does.
    if (!m_window.close())
        return;
    // A modal box would keep the program alive with its window gone.
    if (QApplication::activeModalWidget())
        QCoreApplication::exit(0);
}
