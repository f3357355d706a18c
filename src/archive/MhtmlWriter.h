#pragma once

#include "MhtmlArchive.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

class QIODevice;

struct MhtmlWriteResult
{
    // Empty on success.
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// Writes a web archive as multipart/related (RFC 2557) with CRLF line ends:
// the root first, text/* parts quoted-printable, all others base64, every
// line of a body at most 76 characters, and a boundary that occurs in no
// part. A part still kept encoded is copied as it is when its encoding is clean.
class MhtmlWriter
{
public:
    // The Date header; the current time when not set.
    void setDate(const QDateTime &date) { m_date = date; }

    // Atomic: a failed write leaves an existing file as it was.
    MhtmlWriteResult writeFile(const MhtmlArchive &archive, const QString &path) const;
    // Streams the archive in pieces, so a large archive is never held twice.
    MhtmlWriteResult write(const MhtmlArchive &archive, QIODevice &device) const;
    QByteArray toBytes(const MhtmlArchive &archive) const;

    // Soft breaks keep lines within 76 columns; line breaks become CRLF.
    static QByteArray encodeQuotedPrintable(const QByteArray &data);
    // ASCII text as it is; anything else as RFC 2047 encoded words.
    static QByteArray encodeHeaderText(const QString &text);
    // A boundary that occurs in no part as written: text parts are scanned,
    // base64 cannot hold it.
    static QByteArray makeBoundary(const MhtmlArchive &archive);

private:
    QDateTime m_date;
};
