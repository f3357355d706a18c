#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Whole-file reads and writes for tests that check the bytes a flow wrote.
namespace TestFiles {

// The file's bytes; empty when it cannot be read.
inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces the file's content; false when that failed.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace TestFiles
