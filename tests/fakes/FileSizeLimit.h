#pragma once

#include <QtGlobal>

// Makes every write of this process beyond the first maxBytes of a file fail,
// the way a full disk does, until the object goes: the portable way to
// provoke a short write without a device that is really full. Where the
// system has no such limit, active() is false and the test should skip.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 maxBytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool active() const { return m_active; }

private:
    bool m_active = false;
    quint64 m_previous = 0;
};
