#include "support/AtomicFile.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QFile>

qint64 AtomicFile::Device::writeData(const char *data, qint64 size)
{
    const qint64 written = QSaveFile::writeData(data, size);
    if (!startsWriting)
        return written;
#ifdef Q_OS_LINUX
    // The descriptor's own offset: it also covers what writers copied into
    // it themselves.
    constexpr qint64 Step = 8 * 1024 * 1024;
    const qint64 end = ::lseek(handle(), 0, SEEK_CUR);
    if (end - m_started >= Step) {
        ::sync_file_range(handle(), m_started, end - m_started, SYNC_FILE_RANGE_WRITE);
        m_started = end;
    }
#endif
    return written;
}

bool AtomicFile::fail(const QString &reason)
{
    if (!m_failed) {
        m_failed = true;
        m_error = reason.isEmpty() ? QStringLiteral("Unknown error") : reason;
    }
    if (m_file.isOpen())
        m_file.cancelWriting();
    return false;
}

bool AtomicFile::nameTaken() const
{
#ifdef Q_OS_UNIX
    struct stat status;
    return ::lstat(QFile::encodeName(m_file.fileName()).constData(), &status) == 0 || errno != ENOENT;
#else
    return true;
#endif
}

bool AtomicFile::open()
{
    m_failed = false;
    m_error.clear();
    m_file.startsWriting = m_durability == Durability::Always || nameTaken();
    if (!m_file.open(QIODevice::WriteOnly))
        return fail(m_file.errorString());
    return true;
}

bool AtomicFile::write(const char *data, qsizetype size)
{
    if (m_failed)
        return false;
    if (m_file.write(data, size) != size)
        return fail(m_file.errorString());
    return true;
}

bool AtomicFile::commit()
{
    if (m_failed)
        return false;
    if (!m_file.isOpen())
        return fail(QStringLiteral("The file was not opened for writing"));
    // A streaming writer may have ignored a failed write; QSaveFile remembers it.
    if (m_file.error() != QFileDevice::NoError)
        return fail(m_file.errorString());
    // The bytes still in Qt's buffer: the write that fails on a full disk.
    if (!m_file.flush())
        return fail(m_file.errorString());
#ifdef Q_OS_LINUX
    // QSaveFile's commit() syncs what it renames. A new name takes the
    // temporary file by a link instead, which fails when anything stands
    // there by then, so nothing is ever replaced unsynced.
    if (m_durability == Durability::WhenReplacing) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_file.handle());
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, QFile::encodeName(m_file.fileName()).constData(),
                     AT_SYMLINK_FOLLOW) == 0) {
            // Only the temporary name, if it has one, goes with m_file.
            m_file.cancelWriting();
            return true;
        }
    }
#endif
#ifdef Q_OS_UNIX
    // Some file systems (network, quota) report a lost write only when the
    // data is synced; commit() would ignore that.
    if (::fsync(m_file.handle()) != 0 && errno != EINVAL && errno != EROFS)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
#endif
    if (!m_file.commit()) {
        m_failed = true;
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

FileWriteResult WriteFileAtomically(const QString &path, const QByteArray &bytes, AtomicFile::Durability durability)
{
    AtomicFile file(path, durability);
    if (file.open() && file.write(bytes) && file.commit())
        return {};
    return {file.errorString()};
}

FileWriteResult WriteFileAtomically(const QString &path, const std::function<QString(QIODevice &)> &write,
                                    AtomicFile::Durability durability)
{
    AtomicFile file(path, durability);
    if (!file.open())
        return {file.errorString()};
    const QString error = write(file.device());
    // Never committed, the temporary file goes with file.
    if (!error.isEmpty())
        return {error};
    return {file.commit() ? QString() : file.errorString()};
}
