#include "support/FileUtils.h"

#include "support/AtomicFile.h"
#include "support/Dialogs.h"
#include "support/PathUtils.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace {

constexpr QDir::Filters AllEntries = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

// An I/O error past the documented messages: shown, and the piece not appended.
bool ioError(Dialogs &dialogs, const QString &what, const QFile &file)
{
    dialogs.ShowErrorMsg(what + file.fileName() + QStringLiteral(": ") + file.errorString());
    return false;
}

const QString ReadFailure = QStringLiteral(". Please close the program causing this or check network settings with "
                                           "your system administrator!");

} // namespace

char PathKind(const QString &path)
{
    if (path.isEmpty())
        return 'n';
    const QFileInfo info(path);
    if (!info.exists())
        return 'n';
    return info.isDir() ? 'd' : 'f';
}

bool IsDirectory(const QString &path)
{
    return PathKind(path) == 'd';
}

std::uint32_t FileSizeOf(const QString &file)
{
    if (PathKind(file) != 'f')
        return 0;
    return std::uint32_t(QFileInfo(file).size() & 0xFFFFFFFF);
}

std::uint32_t DirSize(const QString &folder)
{
    QString root = folder;
    StripBackslash(root);
    std::uint32_t total = 0;
    QDirIterator it(root, AllEntries, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!info.isDir())
            total += std::uint32_t(info.size() & 0xFFFFFFFF);
    }
    return total;
}

std::uint32_t PathSize(const QString &path)
{
    switch (PathKind(path)) {
    case 'd':
        return DirSize(path);
    case 'f':
        return FileSizeOf(path);
    default:
        return 0;
    }
}

std::int32_t DosDateTime(const QDateTime &local)
{
    const QDate d = local.date();
    const QTime t = local.time();
    if (!local.isValid() || d.year() < 1980 || d.year() > 2107)
        return 0;
    const std::uint32_t stamp = std::uint32_t(d.year() - 1980) << 25 | std::uint32_t(d.month()) << 21 |
                                std::uint32_t(d.day()) << 16 | std::uint32_t(t.hour()) << 11 |
                                std::uint32_t(t.minute()) << 5 | std::uint32_t(t.second() / 2);
    return std::int32_t(stamp);
}

QString NewestFile(const QString &folder)
{
    QString root = folder;
    StripBackslash(root);
    const QFileInfoList entries = QDir(root).entryInfoList(AllEntries, QDir::Unsorted);
    QString newest;
    std::int32_t newestStamp = 0;
    for (const QFileInfo &entry : entries) {
        if (entry.isDir())
            continue;
        const std::int32_t stamp = DosDateTime(entry.lastModified());
        if (newest.isEmpty() || stamp >= newestStamp) {
            newest = entry.fileName();
            newestStamp = stamp;
        }
    }
    if (newest.isEmpty())
        return QString();
    return root.endsWith(QLatin1Char('/')) ? root + newest : root + QLatin1Char('/') + newest;
}

std::int32_t FileDateOf(const QString &file)
{
    QFile f(file);
    if (PathKind(file) != 'f' || !f.open(QIODevice::ReadOnly))
        return -1;
    return DosDateTime(f.fileTime(QFileDevice::FileModificationTime).toLocalTime());
}

QString PathDateStr(const QString &path)
{
    const char kind = PathKind(path);
    if (kind == 'n')
        return QString();
    const QFileInfo info(path);
    QDateTime when = kind == 'd' ? info.birthTime() : info.lastModified();
    // Not every file system records when a folder was made.
    if (!when.isValid())
        when = info.lastModified();
    const QLocale locale = QLocale::system();
    // Qt's long time format names the zone; the classic one stops at seconds.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    return locale.toString(when.toLocalTime(),
                           locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + timeFormat.trimmed());
}

bool CreateEmptyFile(const QString &file)
{
    if (PathKind(file) != 'n')
        return false;
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    f.close();
    return f.error() == QFileDevice::NoError;
}

bool ForceDir(const QString &folder)
{
    QString path = folder;
    StripBackslash(path);
    if (IsDirectory(path))
        return true;
    if (!path.startsWith(QLatin1Char('/')))
        return false;
    const QString parent = ExtractDir(path);
    if (parent.isEmpty() || parent == path)
        return false;
    if (!IsDirectory(parent) && !ForceDir(parent))
        return false;
    return QDir().mkdir(path);
}

bool AppendFilePiece(const QString &source, qint64 first, qint64 last, const QString &destination, Dialogs &dialogs,
                     const Beeper &beep)
{
    if (PathKind(source) != 'f') {
        dialogs.ShowErrorMsg(QStringLiteral("Error: file does not exist: ") + source);
        return false;
    }
    // Byte 1 is the first there is; an earlier start would seek before it.
    first = std::max<qint64>(first, 1);
    const qint64 piece = last - first + 1;
    const qint64 bufferSize = piece > 100000 ? 524287 : (piece > 0 ? piece : 1);

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        dialogs.ShowErrorMsg(QStringLiteral("Fatal error! Could not open file for reading: ") + source + ReadFailure);
        return ioError(dialogs, QStringLiteral("Could not read "), in);
    }
    if (in.size() < last)
        BeepTimes(2, beep);

    // How many bytes of a block that brought the running total to total are
    // still part of the piece.
    auto bytesToWrite = [piece](qint64 done, qint64 got) {
        const qint64 total = done + got;
        return total > piece ? std::max<qint64>(piece - done, 0) : got;
    };

    if (source != destination) {
        if (!in.seek(first - 1))
            return ioError(dialogs, QStringLiteral("Could not seek in "), in);
        QFile out(destination);
        if (out.exists()) {
            if (!out.open(QIODevice::ReadWrite | QIODevice::Append))
                return ioError(dialogs, QStringLiteral("Could not open for appending "), out);
        } else if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            dialogs.ShowErrorMsg(QStringLiteral("Fatal error! Could not open file for writing: ") + destination +
                                 QStringLiteral(". Possibly bad section on destination. Try renaming, moving or "
                                                "removing the source or change destination media. Exiting "
                                                "procedure!"));
            return false;
        }
        // One buffer for the whole piece, and never a read past the piece's
        // end: a script stripper copies thousands of small pieces, and
        // reading a full half megabyte for each made it several times slower.
        qint64 done = 0;
        QByteArray block(std::min(bufferSize, std::max<qint64>(piece, 1)), Qt::Uninitialized);
        while (done < piece) {
            const qint64 want = std::min<qint64>(block.size(), piece - done);
            const qint64 got = in.read(block.data(), want);
            if (got < 0 || in.error() != QFileDevice::NoError) {
                dialogs.ShowErrorMsg(QStringLiteral("Fatal error! Could not perform blockread: ") + source +
                                     ReadFailure);
                return false;
            }
            if (got > 0 && out.write(block.constData(), got) != got)
                return ioError(dialogs, QStringLiteral("Could not write to "), out);
            done += got;
            if (got < want)
                break;
        }
        in.close();
        if (!out.flush()) {
            dialogs.ShowErrorMsg(QStringLiteral("Fatal error! Could not close file after writing: ") + destination +
                                 QStringLiteral("."));
            return false;
        }
        out.close();
        return true;
    }

    // Appending a piece of a file to itself: read from the piece, write at
    // the end, one block at a time.
    in.close();
    QFile file(source);
    if (!file.open(QIODevice::ReadWrite))
        return ioError(dialogs, QStringLiteral("Could not open "), file);
    qint64 pos = first - 1;
    qint64 done = 0;
    for (;;) {
        if (!file.seek(pos))
            return ioError(dialogs, QStringLiteral("Could not seek in "), file);
        const QByteArray block = file.read(bufferSize);
        if (file.error() != QFileDevice::NoError)
            return ioError(dialogs, QStringLiteral("Could not read "), file);
        const qint64 got = block.size();
        const qint64 count = bytesToWrite(done, got);
        pos = file.pos();
        if (!file.seek(file.size()))
            return ioError(dialogs, QStringLiteral("Could not seek in "), file);
        if (count > 0 && file.write(block.constData(), count) != count)
            return ioError(dialogs, QStringLiteral("Could not write to "), file);
        if (got < bufferSize || done + got > piece)
            break;
        done += got;
    }
    if (!file.flush()) {
        dialogs.ShowErrorMsg(QStringLiteral("Fatal error! Could not close file after writing in case 2: ") + source +
                             QStringLiteral(". Please contact program vendor."));
        return false;
    }
    return true;
}

bool AppendFile(const QString &source, const QString &destination, Dialogs &dialogs, const Beeper &beep)
{
    // The full size, not FileSizeOf's 32 bits: a large file must not be cut.
    const qint64 size = PathKind(source) == 'f' ? QFileInfo(source).size() : 0;
    return AppendFilePiece(source, 1, size, destination, dialogs, beep);
}

bool CopyFileKeepDate(const QString &source, const QString &destination, Dialogs &dialogs, const Beeper &beep)
{
    const QFileInfo sourceInfo(source);
    if (sourceInfo.exists() && !sourceInfo.lastModified().isValid())
        dialogs.ShowErrorMsg(QStringLiteral("Could not determine fileage from ") + source +
                             QStringLiteral(". Please contact program vendor!"));
    const QDateTime age = sourceInfo.lastModified();
    if (PathKind(source) != 'f') {
        dialogs.ShowErrorMsg(QStringLiteral("Error: file does not exist: ") + source);
        return false;
    }
    // Replacing the destination would replace the source itself.
    if (PathKind(destination) == 'f' && SameFile(source, destination))
        return true;

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        dialogs.ShowErrorMsg(QStringLiteral("Fatal error! Could not open file for reading: ") + source + ReadFailure);
        return false;
    }
    // Like every file written for the user, the copy takes the old file's
    // place only once it is complete.
    AtomicFile out(destination);
    bool written = out.open();
    QByteArray block(std::min<qint64>(in.size(), 524287) + 1, Qt::Uninitialized);
    while (written) {
        const qint64 got = in.read(block.data(), block.size());
        if (got < 0) {
            dialogs.ShowErrorMsg(QStringLiteral("Fatal error! Could not perform blockread: ") + source + ReadFailure);
            return false;
        }
        if (got == 0)
            break;
        written = out.write(block.constData(), got);
    }
    if (!written || !out.commit()) {
        BeepTimes(5, beep);
        dialogs.ShowErrorMsg(QStringLiteral("Could not replace file: ") + destination);
        return false;
    }

    QFile copy(destination);
    if (!copy.open(QIODevice::ReadWrite) || !copy.setFileTime(age, QFileDevice::FileModificationTime)) {
        BeepTimes(50, beep);
        dialogs.ShowErrorMsg(QStringLiteral("Could not set the date of file: ") + destination);
        return false;
    }
    return true;
}
