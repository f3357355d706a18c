#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

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
    QByteArray data;

    // Text parts are written quoted-printable, everything else base64.
    bool isText() const;
    // First value of a header, case-insensitive name; empty when absent.
    QByteArray header(const QByteArray &name) const;
};

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

    const MhtmlPart *root() const;
    MhtmlPart *root();
    // The root's bytes as text, decoded with its declared charset (or the one
    // its own <meta> declares; UTF-8 when neither says).
    QString rootHtml() const;
    // First part whose Content-Location equals location; nullptr when none.
    const MhtmlPart *findByLocation(const QString &location) const;
    // Sum of the decoded sizes of all parts.
    qint64 totalSize() const;

    // Decodes bytes with a charset name; unknown or empty names give UTF-8.
    static QString decodeText(const QByteArray &bytes, const QByteArray &charset);
    // The charset an HTML text declares in a <meta> tag near its start; empty if none.
    static QByteArray sniffHtmlCharset(const QByteArray &html);
};
