#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// A stretch of the text drawn on an inline background colour, with one
// set of the other formats.
struct HtmlTextRun
{
    qsizetype start = 0;
    qsizetype length = 0;
    // 0xRRGGBB.
    quint32 background = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// What the library keeps of a page.
struct HtmlPageText
{
    // The visible text: no tags, no script or style contents, references
    // decoded, white space collapsed, one line per block.
    QString text;
    // The first <title>, decoded and simplified.
    QString title;
    // The link that follows "This has been copied from" (the clipboard page's source line).
    QString copiedFrom;
    // In text order; runs never overlap.
    QList<HtmlTextRun> marked;
};

// Turns HTML into text in one pass, as a browser would show it for reading,
// and notes what an inline style colours (the Mark command's spans, and the
// font elements of older archives). Tolerant of any input: unclosed or stray
// tags, broken references and truncated markup never fail, and the work is
// linear in the input.
class HtmlText
{
public:
    static HtmlPageText extract(QStringView html);
};
