#pragma once

#include <QString>

// Held while a Quillet changes a file that other running Quillets share
// (settings, histories, registry store): an exclusive flock on a hidden lock
// file beside it (".name.lock"), released when the object goes. Every writer
// of such a file re-reads it under this lock and writes only its own change,
// so no Quillet drops what another wrote. The wait is bounded: a lock that
// stays taken is reported rather than waited for forever.
class FileLock
{
public:
    static constexpr int DefaultWaitMs = 5000;

    explicit FileLock(const QString &filePath, int waitMs = DefaultWaitMs);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool locked() const { return m_error.isEmpty(); }
    // Why the lock could not be taken; empty when it is held.
    QString errorString() const { return m_error; }

    static QString lockPath(const QString &filePath);

private:
    int m_fd = -1;
    QString m_error;
};
