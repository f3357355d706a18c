#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>

// The bytes an archive was read from, kept alive as long as parts point into
// them: a file mapped into memory, or a copy in memory.
class MhtmlSource
{
public:
    // Maps path, or reads it when it cannot be mapped; nullptr and a
    // message in *error when it cannot be opened or read.
    static std::shared_ptr<MhtmlSource> open(const QString &path, qint64 maxSize, QString *error);
    explicit MhtmlSource(QByteArray bytes);
    MhtmlSource(const MhtmlSource &) = delete;
    MhtmlSource &operator=(const MhtmlSource &) = delete;

    const char *data() const { return m_data; }
    qsizetype size() const { return m_size; }

    // The whole pages of [begin, end) leave the process's memory; reading
    // them again brings them back from the file cache. Readers and writers
    // sweep a mapped archive front to back and let go of what is behind
    // them, so memory stays far below the file's size. Nothing for a copy.
    void release(const char *begin, const char *end) const;
    // Maps the pages of [begin, end) in one call, ahead of a write from
    // them: the kernel copies from pages not mapped yet only after faulting
    // each in and starting over, which cost more than the copy. Nothing for
    // a copy, or on a kernel that does not know the advice.
    void populate(const char *begin, const char *end) const;
    // A mapped file's descriptor, so a writer can copy from it without
    // reading it into memory; -1 for a copy.
    int fileHandle() const;
    qint64 offsetOf(const char *p) const { return p - m_data; }

private:
    MhtmlSource() = default;

    QFile m_file;
    // The mapping as raw data, or the copy.
    QByteArray m_bytes;
    const char *m_data = nullptr;
    qsizetype m_size = 0;
    bool m_mapped = false;
};
