#pragma once

#include "MhtmlArchive.h"

#include <QByteArray>
#include <QString>

#include <memory>

// The outcome of reading an archive: the archive, or an error for the user.
struct MhtmlReadResult
{
    MhtmlArchive archive;
    // Empty on success.
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// What a check learns of an archive: the reader's verdict, and the number and
// decoded size of its parts.
struct MhtmlCheckResult
{
    // Empty on success.
    QString error;
    qsizetype parts = 0;
    qint64 size = 0;

    bool ok() const { return error.isEmpty(); }
};

// Reads MIME web archives (RFC 2557) as other programs write them: CRLF or
// LF line ends, quoted-printable or base64 or no transfer encoding, nested
// multipart/alternative. Damaged input gives an error, never a crash; the
// input size is capped so a huge file cannot exhaust memory. An archive is
// read only when a browser would show its root document: the part the
// start parameter names, or else the first part of a type Chromium shows
// as a page (a picture only when it is the only part).
class MhtmlReader
{
public:
    static constexpr qint64 DefaultMaxSize = qint64(512) * 1024 * 1024;

    explicit MhtmlReader(qint64 maxSize = DefaultMaxSize) : m_maxSize(maxSize) {}

    // Parts keep their bodies encoded as they stand in the source
    // (MhtmlPart::encoded) instead of being decoded: a resave then copies
    // them. A mapped file's pages are let go of behind the reader and the
    // writer, so memory stays far below the file's size.
    void setKeepEncoded(bool keep) { m_keepEncoded = keep; }
    // What parts keep of their headers besides type, charset, encoding and
    // id: every header as read (the default), only the Content-Location (all
    // a writer needs), or nothing more (all a check needs, which counts and
    // measures them). Copying what nobody asks for cost a third of reading
    // 100,000 parts. The verdict is the same.
    enum class PartHeaders { All, Location, None };
    void setPartHeaders(PartHeaders kept) { m_partHeaders = kept; }

    MhtmlReadResult readFile(const QString &path) const;
    MhtmlReadResult read(const QByteArray &bytes) const;
    // readFile()'s verdict without the archive: the parts are counted and
    // measured, and only those the root is chosen among are kept on the way.
    // Building a record of each of 100,000 parts cost a third of the check.
    MhtmlCheckResult checkFile(const QString &path) const;

private:
    // With tally, parts are counted and measured there, and only the first
    // and those that can be the root are kept.
    MhtmlReadResult readMapped(const QString &path, MhtmlCheckResult *tally) const;
    MhtmlReadResult parse(const char *data, qsizetype size, const std::shared_ptr<const MhtmlSource> &source,
                          MhtmlCheckResult *tally = nullptr) const;

    qint64 m_maxSize = DefaultMaxSize;
    bool m_keepEncoded = false;
    PartHeaders m_partHeaders = PartHeaders::All;
};
