#pragma once

#include "MhtmlArchive.h"

#include <QByteArray>
#include <QString>

// The outcome of reading an archive: the archive, or an error for the user.
struct MhtmlReadResult
{
    MhtmlArchive archive;
    // Empty on success.
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// Reads MIME web archives (RFC 2557) as other programs write them: CRLF or
// LF line ends, quoted-printable or base64 or no transfer encoding, nested
// multipart/alternative. Damaged input gives an error, never a crash; the
// input size is capped so a huge file cannot exhaust memory.
class MhtmlReader
{
public:
    static constexpr qint64 DefaultMaxSize = qint64(512) * 1024 * 1024;

    explicit MhtmlReader(qint64 maxSize = DefaultMaxSize) : m_maxSize(maxSize) {}

    MhtmlReadResult readFile(const QString &path) const;
    MhtmlReadResult read(const QByteArray &bytes) const;

    // The quoted-printable and RFC 2047 decoders are shared with the tools.
    static QByteArray decodeQuotedPrintable(const QByteArray &encoded);
    // Decodes "=?charset?B|Q?...?=" words; other text is taken as UTF-8.
    static QString decodeHeaderWords(const QByteArray &value);

private:
    qint64 m_maxSize = DefaultMaxSize;
};
