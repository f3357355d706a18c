#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QtCore/qtypeinfo.h>

#include <memory>

class MhtmlSource;

// One resource of a web archive: its headers as read and its decoded bytes.
struct MhtmlPart
{
    // Header names as written, values unfolded; kept so a tool can show them.
    QList<QPair<QByteArray, QByteArray>> headers;
    // Lower-case "type/subtype" without parameters.
    QByteArray contentType;
    // Lower-case charset parameter; empty when none was given.
    QByteArray charset;
    QString contentLocation;
    // Without the angle brackets.
    QString contentId;
    // Lower-case transfer encoding as read; empty when the header was missing.
    QByteArray transferEncoding;
    // The decoded bytes. Empty while encoded holds the part still undecoded.
    QByteArray data;
    // Only from a reader told to keep the source: the body as it stands in
    // the file, transfer-encoded. A writer copies it as it is when its
    // encoding is clean; whoever changes the part assigns data and clears it.
    QByteArray encoded;
    // Keeps the bytes that encoded points into alive.
    std::shared_ptr<const MhtmlSource> source;
    // What the reader learnt of encoded in the one sweep it made over it:
    // decodedSize(), and whether a writer may copy it as it stands. Unknown
    // (-1, false) for a body put there by other hands.
    qsizetype encodedSize = -1;
    bool encodedCopyable = false;

    // Holds text that may refer to other parts (pages, styles, scripts, SVG).
    bool isText() const;
    // text/*: the only parts whose line breaks a writer may turn into CRLF;
    // every other part must come back byte for byte.
    bool hasTextLineBreaks() const;
    // data, or the decoded encoded body.
    QByteArray decoded() const;
    // The size of decoded() without keeping it.
    qsizetype decodedSize() const;
    // Decodes a kept body into data, so the part can be changed.
    void materialize();
    // First value of a header, case-insensitive name; empty when absent.
    QByteArray header(const QByteArray &name) const;
};

// Moved by memmove when a list of parts grows (every member is: the
// shared_ptr is two plain pointers), so 100,000 parts cost no moves one by one.
Q_DECLARE_TYPEINFO(MhtmlPart, Q_RELOCATABLE_TYPE);

// A multipart/related web archive: the root document and its resources.
class MhtmlArchive
{
public:
    QList<MhtmlPart> parts;
    // Index into parts of the document shown when the archive is opened.
    int rootIndex = 0;
    // Decoded Subject header; empty when the archive has none.
    QString subject;
    QString snapshotLocation;
    // The top-level headers as they stand, folding kept (CRLF before each
    // continuation line). A writer writes them again except those it owns.
    QList<QPair<QByteArray, QByteArray>> headers;

    const MhtmlPart *root() const;
    MhtmlPart *root();
    // The root's bytes as text, decoded with its declared charset (or the one
    // its own <meta> declares; UTF-8 when neither says).
    QString rootHtml() const;
    // First part whose Content-Location equals location; nullptr when none.
    const MhtmlPart *findByLocation(const QString &location) const;
    // Sum of the decoded sizes of all parts.
    qint64 totalSize() const;

    // Decodes bytes under a charset label as browsers do; unknown or empty labels give UTF-8.
    static QString decodeText(const QByteArray &bytes, const QByteArray &charset);
    // Whether Chromium takes a part of this type as an archive's page: pages,
    // text and XML of any kind, but no script or style sheet.
    static bool isDocumentType(const QByteArray &type);
    // Whether it shows a picture of this type as the page of an archive that
    // holds nothing else.
    static bool isPictureType(const QByteArray &type);
    // The charset an HTML text declares in a <meta> tag near its start; empty if none.
    static QByteArray sniffHtmlCharset(const QByteArray &html);
};
