#pragma once

#include <QByteArray>
#include <QString>

class ByteSink;

// The transfer encodings of web archives, both ways, and the RFC 2047
// words of their headers. The reader decodes with it, the writer encodes
// with it and asks it whether a body can be copied as it stands.
class MhtmlCodec
{
public:
    // Undoes a Content-Transfer-Encoding; unknown ones are taken as binary.
    static QByteArray decodeBody(const QByteArray &encoded, const QByteArray &transferEncoding);
    // decodeBody(...).size(), without decoding.
    static qsizetype decodedSize(const QByteArray &encoded, const QByteArray &transferEncoding);

    // An "=" that starts no escape and no soft break is kept as it is.
    static QByteArray decodeQuotedPrintable(const QByteArray &encoded);

    // Lines of 76 columns, CRLF after each.
    static void encodeBase64(ByteSink &sink, const QByteArray &data);
    // Soft breaks keep lines within 76 columns, an escape is never split,
    // line breaks become CRLF.
    static void encodeQuotedPrintable(ByteSink &sink, const QByteArray &data);
    static QByteArray encodeQuotedPrintable(const QByteArray &data);
    // Where a line of a text starts (after a line feed), in the text and in
    // its quoted-printable encoding: the encoding of what follows depends on
    // nothing before it.
    struct LineStart
    {
        qsizetype text = 0;
        qsizetype encoded = 0;
    };
    // The size bytes at data into a sink without a device, each line start
    // after the first appended to lines: from data, and from where the sink
    // stood.
    static void encodeQuotedPrintable(ByteSink &sink, const char *data, qsizetype size, QList<LineStart> &lines);

    // What a writer needs to know of a kept body: its decoded size, and
    // whether it may be copied as it stands. It may when any reader decodes
    // it to the same bytes and the writer's boundary (it holds "=_") cannot
    // occur in it: base64 or quoted-printable, lines of at most 76
    // characters with CRLF between them, for quoted-printable nothing outside
    // its alphabet, for base64 padding only at the end (stray characters
    // are copied too: every reader skips them now as it did in the original).
    struct Stats
    {
        qsizetype size = 0;
        bool clean = false;
    };
    static Stats bodyStats(const char *p, const char *e, const QByteArray &transferEncoding);

    // A header value with its "=?charset?B|Q?...?=" words decoded as mail
    // readers do: adjacent words of one charset are joined before their
    // bytes are decoded (writers split a character across two), blanks
    // between words go, and folding inside a word is tolerated. Other text
    // is taken as UTF-8.
    static QString decodeHeaderWords(const QByteArray &value);
    // ASCII text as it is; anything else as RFC 2047 words, folded so that
    // no line grows past 76 columns.
    static QByteArray encodeHeaderText(const QString &text);

    // bodyStats() of a base64 body as a reader meets it, line by line and
    // before it knows where the body ends, so the body is looked at once.
    struct Base64Sweep
    {
        qsizetype size = 0;
        bool clean = true;
        // Internal: characters since the last padding, the padding seen, and
        // a fault of the last line's break that only counts when more body
        // follows it.
        qsizetype run = 0;
        int pads = 0;
        bool pendingFault = false;
    };
    // Sweeps whole lines from p, a line start, and stops at the first line
    // that begins with "--" (a delimiter may start there; unless p itself
    // is such a line and checkFirst is false) or at e. Returns where it
    // stopped.
    static const char *sweepBase64(const char *p, const char *e, Base64Sweep &sweep, bool checkFirst = true);
    // The body ended: at the line break before a delimiter, or at the end of
    // the text (its last line break then belongs to it).
    static void finishBase64(Base64Sweep &sweep, bool atDelimiter);
};
