#pragma once

#include "library/HtmlText.h"

#include <QList>
#include <QString>

// One marked passage of a page.
struct LibraryMark
{
    // 0 for the first mark of the page, in text order.
    int order = 0;
    QString text;
    // "#rrggbb".
    QString colour;
    // The colour grid's name of the colour; empty for other colours.
    QString colourName;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    // The sentence (or sentences) the mark stands in, the mark included.
    QString sentence;
    // Where the passage stands in the page's text (not kept in the index).
    qsizetype start = 0;
    qsizetype length = 0;
};

// The marks of a page: each stretch of text on one background colour is one
// mark, so a passage the engine split over several elements (or that runs
// over a line break) comes back as the one passage the user marked. A mark is
// bold, italic or underlined when all of its text is.
class PageMarks
{
public:
    static constexpr qsizetype LongestContext = 300;

    static QList<LibraryMark> of(const HtmlPageText &page);
    // The sentence around [start, start + length) of text, at most
    // LongestContext characters on either side of it.
    static QString sentenceAround(const QString &text, qsizetype start, qsizetype length);
};
