#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <functional>

// The one way a user's file is written: into a temporary file beside it that
// replaces the old file only once every byte has reached the disk. QSaveFile
// alone is not enough: on Qt 6.4 commit() reports success when buffered bytes
// fail only at the final flush (a full disk), and the empty temporary file
// then replaces the original.
class AtomicFile
{
public:
    enum class Durability {
        // Every file is on the disk before it takes its name.
        Always,
        // Only a file that takes the name of one that exists: a new name,
        // as cp and GLib's G_FILE_SET_CONTENTS_ONLY_EXISTING write it, gets
        // its file at once and it reaches the disk in the system's own
        // time. Nothing that was there can be lost by a crash; the new file
        // can (then it is missing, empty or cut short, and the reader
        // refuses it).
        WhenReplacing,
    };

    explicit AtomicFile(const QString &path, Durability durability = Durability::Always)
        : m_file(path), m_durability(durability)
    {
    }

    bool open();
    // All or nothing: false (and the file will not be committed) when fewer
    // bytes were taken than given.
    bool write(const char *data, qsizetype size);
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }
    // For writers that stream into a device. Whatever they write is checked
    // at commit(), so a failed write there is never missed.
    QIODevice &device() { return m_file; }

    // Flushes and syncs, then renames into place (a new name under
    // WhenReplacing: links it there unsynced). On any failure so far the
    // old file stays as it was and errorString() says why. A file never
    // committed is dropped when the object goes. Once only.
    bool commit();
    QString errorString() const { return m_error; }

private:
    // Starts the disk writing each few megabytes, so commit() waits for
    // the last of them only, not for the whole file.
    class Device : public QSaveFile
    {
    public:
        using QSaveFile::QSaveFile;

        // Off for a file that need not reach the disk before its rename.
        bool startsWriting = true;

    protected:
        qint64 writeData(const char *data, qint64 size) override;

    private:
        qint64 m_started = 0;
    };

    bool fail(const QString &reason);
    // Whether anything, even a dangling link, stands at the file's name
    // (for an early start of the disk writing only: the link decides).
    bool nameTaken() const;

    Device m_file;
    Durability m_durability = Durability::Always;
    QString m_error;
    bool m_failed = false;
};

// The outcome of writing a file: why it failed, empty when it was written.
struct FileWriteResult
{
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// Writes bytes to path through AtomicFile. On failure the old file is as it was.
FileWriteResult WriteFileAtomically(const QString &path, const QByteArray &bytes,
                                    AtomicFile::Durability durability = AtomicFile::Durability::Always);

// Writes path through AtomicFile with write, which streams into the device
// and returns its own error (empty when it wrote everything). On failure the
// old file is as it was.
FileWriteResult WriteFileAtomically(const QString &path, const std::function<QString(QIODevice &)> &write,
                                    AtomicFile::Durability durability = AtomicFile::Durability::Always);
