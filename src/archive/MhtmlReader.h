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

// Reads MIME web archives (RFC 2557) as other programs write them: CRLF or
// LF line ends, quoted-printable or base64 or no transfer encoding, nested
// multipart/alternative. Damaged input gives an error, never a crash; the
// input size is capped so a huge file cannot exhaust memory. An archive is
// read only when a browser would show its root document.
class MhtmlReader
{
public:
    static constexpr qint64 DefaultMaxSize = qint64(512) * 1024 * 1024;

    explicit MhtmlReader(qint64 maxSize = DefaultMaxSize) : m_maxSize(maxSize) {}

    // Parts keep their bodies encoded as they stand in the source
    // (MhtmlPart::encoded) instead of being decoded: a resave then copies
    // them, and memory holds little more than the file.
    void setKeepEncoded(bool keep) { m_keepEncoded = keep; }

    MhtmlReadResult readFile(const QString &path) const;
    MhtmlReadResult read(const QByteArray &bytes) const;

    // Undoes a Content-Transfer-Encoding; unknown ones are taken as binary.
    static QByteArray decodeBody(const QByteArray &encoded, const QByteArray &transferEncoding);
    // decodeBody(...).size(), without decoding base64.
    static qsizetype decodedSize(const QByteArray &encoded, const QByteArray &transferEncoding);

    // The quoted-printable and RFC 2047 decoders are shared with the tools.
    static QByteArray decodeQuotedPrintable(const QByteArray &encoded);
    // decodeQuotedPrintable(encoded).size(), without the copy.
    static qsizetype quotedPrintableSize(const QByteArray &encoded);
    // Decodes "=?charset?B|Q?...?=" words; other text is taken as UTF-8.
    static QString decodeHeaderWords(const QByteArray &value);

private:
    MhtmlReadResult parse(const QByteArray &bytes, const std::shared_ptr<const void> &source) const;

    qint64 m_maxSize = DefaultMaxSize;
    bool m_keepEncoded = false;
};
