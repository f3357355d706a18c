#pragma once

#include <QString>
#include <QStringView>

// The named character references of HTML 4 (and "&apos;"): what real pages
// use. The table is sorted by name for a binary search.
class HtmlEntities
{
public:
    // The character a name without "&" and ";" stands for; 0 when none.
    static char32_t lookUp(QStringView name);
    // Text with every "&name;", "&#n;" and "&#xh;" replaced by its character.
    static QString decode(QStringView text);
    // Decodes the reference at text[at] (which is '&'); sets length to the
    // characters used, or returns 0 when none starts there.
    static char32_t decodeAt(QStringView text, qsizetype at, qsizetype &length);
};
