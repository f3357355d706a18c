#include "support/FileMoves.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

bool fail(QString *reason, const QString &why)
{
    if (reason)
        *reason = why;
    return false;
}

bool exists(const QFileInfo &info)
{
    // A dangling link is still a name that a move would replace.
    return info.exists() || info.isSymLink();
}

#ifdef Q_OS_UNIX
// Both names lead to the same directory entry's file.
bool sameFile(const QString &a, const QString &b)
{
    struct stat first
    {
    };
    struct stat second
    {
    };
    return ::lstat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::lstat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// 0 or the errno of a rename that cannot replace an existing target.
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
#ifdef Q_OS_LINUX
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    // A hard link cannot replace anything either.
    if (::link(from.constData(), to.constData()) == 0) {
        if (::unlink(from.constData()) == 0)
            return 0;
        const int error = errno;
        ::unlink(to.constData());
        return error;
    }
    if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // A file system without either: the target was found missing just before.
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}
#endif

// The copy half of a move to another file system. The target is created
// exclusively, so an existing file is never opened for writing.
bool copyThenRemove(const QString &file, const QString &target, QString *reason)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return fail(reason, in.errorString());
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(reason, out.errorString());

    auto abandon = [&](const QString &why) {
        out.close();
        out.remove();
        return fail(reason, why);
    };
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 read = in.read(block.data(), block.size());
        if (read < 0)
            return abandon(in.errorString());
        if (read == 0)
            break;
        if (out.write(block.constData(), read) != read)
            return abandon(out.errorString());
    }
    if (!out.flush())
        return abandon(out.errorString());
#ifdef Q_OS_UNIX
    if (::fsync(out.handle()) != 0)
        return abandon(qt_error_string(errno));
#endif
    out.setPermissions(in.permissions());
    out.setFileTime(in.fileTime(QFileDevice::FileModificationTime), QFileDevice::FileModificationTime);
    out.close();
    if (out.error() != QFileDevice::NoError)
        return abandon(out.errorString());
    if (QFileInfo(target).size() != in.size())
        return abandon(QStringLiteral("The copy is incomplete."));
    in.close();

    QFile original(file);
    if (!original.remove()) {
        const QString why = original.errorString();
        QFile::remove(target);
        return fail(reason, QStringLiteral("The original could not be removed: ") + why);
    }
    return true;
}

} // namespace

bool MoveFileNoReplace(const QString &file, const QString &target, QString *reason)
{
    const QFileInfo source(file);
    if (!exists(source))
        return fail(reason, QStringLiteral("The file does not exist."));
    if (source.isDir())
        return fail(reason, QStringLiteral("It is a folder, not a file."));
    const QFileInfo destination(target);
    if (!destination.dir().exists())
        return fail(reason, QStringLiteral("The target folder does not exist."));

#ifdef Q_OS_UNIX
    const QByteArray from = QFile::encodeName(file);
    const QByteArray to = QFile::encodeName(target);
    int error = 0;
    if (exists(destination)) {
        if (!sameFile(file, target))
            return fail(reason, QStringLiteral("A file of that name exists already."));
        // Only the letter case changes, on a file system that ignores it.
        error = ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
    } else {
        error = renameNoReplace(from, to);
    }
    if (error == 0)
        return true;
    if (error == EEXIST || error == ENOTEMPTY)
        return fail(reason, QStringLiteral("A file of that name exists already."));
    if (error != EXDEV)
        return fail(reason, qt_error_string(error));
    return copyThenRemove(file, target, reason);
#else
    if (exists(destination) && source.canonicalFilePath() != destination.canonicalFilePath())
        return fail(reason, QStringLiteral("A file of that name exists already."));
    // The platform's own move refuses an existing target and crosses volumes.
    QFile moving(file);
    return moving.rename(target) || fail(reason, moving.errorString());
#endif
}

namespace {

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
// The freedesktop trash keeps, beside files/NAME, the record info/NAME.trashinfo
// that says where the file came from.
QString trashRecordOf(const QString &trashedFile)
{
    const QFileInfo trashed(trashedFile);
    return trashed.dir().filePath(QStringLiteral("../info/") + trashed.fileName() + QStringLiteral(".trashinfo"));
}

// A trash is $XDG_DATA_HOME/Trash, or TOP/.Trash-UID or TOP/.Trash/UID on
// another file system. Qt falls back to files/ and info/ of the working
// folder when it cannot make one: no trash tool finds the file there.
bool isTrashFolder(const QDir &trash)
{
    const QString name = trash.dirName();
    const QString uid = QString::number(::getuid());
    if (name == QLatin1String("Trash") || name == QStringLiteral(".Trash-") + uid)
        return true;
    QDir parent = trash;
    return name == uid && parent.cdUp() && parent.dirName() == QLatin1String(".Trash");
}

// Qt writes the record without checking the write.
bool isCompleteRecord(const QString &record)
{
    QFile file(record);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll();
    return text.startsWith("[Trash Info]\n") && text.contains("\nPath=") && text.contains("\nDeletionDate=") &&
           text.endsWith('\n');
}
#endif

} // namespace

TrashOutcome MoveToTrash(const QString &file)
{
    if (!exists(QFileInfo(file)))
        return TrashOutcome::NotMoved;
    QString trashed;
    if (!QFile::moveToTrash(file, &trashed))
        return QFileInfo::exists(file) ? TrashOutcome::Refused : TrashOutcome::NotMoved;
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    const QString record = trashRecordOf(trashed);
    QDir trash = QFileInfo(trashed).dir();
    trash.cdUp();
    const bool inTrash = isTrashFolder(trash);
    if ((!inTrash || !isCompleteRecord(record)) && MoveFileNoReplace(trashed, file)) {
        QFile::remove(record);
        if (!inTrash) {
            trash.rmdir(QStringLiteral("files"));
            trash.rmdir(QStringLiteral("info"));
        }
        return TrashOutcome::Refused;
    }
#endif
    return TrashOutcome::Trashed;
}
