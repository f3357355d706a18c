#include "support/FileLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

QString FileLock::lockPath(const QString &filePath)
{
    const QFileInfo file(filePath);
    return file.path() + QStringLiteral("/.") + file.fileName() + QStringLiteral(".lock");
}

FileLock::FileLock(const QString &filePath, int waitMs)
{
#ifdef Q_OS_UNIX
    const QString path = lockPath(filePath);
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        m_error =
            QStringLiteral("Cannot open the lock file %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    // Another Quillet holds it only while it reads and writes a small file;
    // polling keeps the wait bounded without a thread or a signal.
    const QDeadlineTimer deadline(waitMs);
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if ((error != EWOULDBLOCK && error != EINTR) || deadline.hasExpired()) {
            m_error =
                error == EWOULDBLOCK
                    ? QStringLiteral("%1 stays locked by another program").arg(filePath)
                    : QStringLiteral("Cannot lock %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        QThread::msleep(2);
    }
#else
    // Other systems have no flock; the file is still written atomically.
    Q_UNUSED(filePath)
    Q_UNUSED(waitMs)
#endif
}

FileLock::~FileLock()
{
#ifdef Q_OS_UNIX
    // Closing the descriptor releases the lock. The lock file stays: removing
    // it would let a waiter lock a file nobody else can see.
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}
