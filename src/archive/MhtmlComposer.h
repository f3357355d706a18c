#pragma once

#include "MhtmlArchive.h"

#include <QString>

class QuotedPrintableMemo;

// Builds the archive a save writes: the document's current HTML as the root,
// and every other part of the archive it was opened from, so pictures and
// styles survive any number of saves.
class MhtmlComposer
{
public:
    // source is the archive the page was opened from, or nullptr; location
    // names the root when there is no source (the page's address). A source
    // whose root is no page (a picture, plain text) is kept as it is.
    // With rootEncoding the root comes encoded, as a writer copies it; the
    // memo keeps it for the next call.
    static MhtmlArchive compose(const QString &html, const MhtmlArchive *source, const QString &location,
                                QuotedPrintableMemo *rootEncoding = nullptr);
    // The HTML as UTF-8 bytes, with any <meta> charset declaration saying so.
    static QByteArray utf8Html(const QString &html);
    // Every charset declared in a <meta> tag becomes "utf-8".
    static QString rewriteMetaCharset(const QString &html);
    // The text of the document's <title>, entities decoded; empty when none.
    static QString titleOf(const QString &html);
};
