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
// part. A part still kept encoded is copied as it is when its encoding is
// clean. The archive's own top-level headers are written again as they
// stand, except those the writer owns (the Content-* and MIME-Version
// headers, and Date, Subject and Snapshot-Content-Location when they
// changed).
class MhtmlWriter
{
public:
    // The Date header, for a page that changed. When not set the archive's
    // own Date stays, or the current time goes in when it has none.
    void setDate(const QDateTime &date) { m_date = date; }

    // Streams the archive in pieces, so a large archive is never held twice.
    // Callers writing a user's file give it the atomic writer's device.
    MhtmlWriteResult write(const MhtmlArchive &archive, QIODevice &device) const;
    QByteArray toBytes(const MhtmlArchive &archive) const;

private:
    QDateTime m_date;
};
