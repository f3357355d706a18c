#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <poll.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>

// Start-up to a visible window, as a user sees it: the seconds from starting
// a program until the X server maps its first window of a real size. The
// programs run on an X server of their own (Xvfb) with no window manager, so
// a map request is carried out at once.
class VirtualDisplay
{
public:
    // Starts Xvfb on a free display; isValid() is false when it cannot.
    VirtualDisplay()
    {
        for (int number = 91; number < 140 && !m_connection; ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
                continue;
            m_name = QStringLiteral(":%1").arg(number);
            m_server.start(QStringLiteral("Xvfb"),
                           {m_name, QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                            QStringLiteral("0"), QStringLiteral("1280x1024x24")});
            if (!m_server.waitForStarted(5000))
                return;
            QElapsedTimer waited;
            waited.start();
            while (!m_connection && waited.elapsed() < 10000 && m_server.state() == QProcess::Running) {
                xcb_connection_t *connection = xcb_connect(m_name.toLatin1().constData(), nullptr);
                if (xcb_connection_has_error(connection)) {
                    xcb_disconnect(connection);
                    QThread::msleep(50);
                    continue;
                }
                m_connection = connection;
            }
            if (!m_connection) {
                m_server.kill();
                m_server.waitForFinished(5000);
            }
        }
        if (!m_connection)
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
    }
    ~VirtualDisplay()
    {
        if (m_connection)
            xcb_disconnect(m_connection);
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
        m_server.waitForFinished(5000);
    }
    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;

    bool isValid() const { return m_connection != nullptr; }

    // Runs program with arguments in environment until its first window of
    // at least 300 by 200 pixels is mapped, then ends it. The seconds from
    // the start to that map; nullopt when none came within timeoutMs.
    std::optional<double> secondsToWindow(const QString &program, const QStringList &arguments,
                                          QProcessEnvironment environment, int timeoutMs = 60000)
    {
        drain();
        environment.insert(QStringLiteral("DISPLAY"), m_name);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer clock;
        clock.start();
        process.start(program, arguments);
        std::optional<double> mapped;
        while (!mapped && clock.elapsed() < timeoutMs && process.state() != QProcess::NotRunning) {
            pollfd watch{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            ::poll(&watch, 1, 50);
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && !mapped) {
                    const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                    const double at = clock.nsecsElapsed() / 1e9;
                    if (isSized(map->window))
                        mapped = at;
                }
                std::free(event);
            }
            process.waitForFinished(0);
        }
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(10000);
        }
        return mapped;
    }

private:
    bool isSized(xcb_window_t window)
    {
        std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
            xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr), &std::free);
        return geometry && geometry->width >= 300 && geometry->height >= 200;
    }
    void drain()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    QProcess m_server;
    QString m_name;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
};
