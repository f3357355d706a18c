#pragma once

#include <QString>

struct sqlite3;

// The full-text function quillet_snippet(table, hitStart, hitEnd): the text
// around the first hit of a row, its hit words between the two markers. FTS5's
// own snippet() weighs every fragment of the whole text, which costs a full
// pass over a page of megabytes for each hit listed (over a second for a page
// of results in the benchmark); this one reads a page only up to its first hit.
// The last column with a hit is taken (the body before the title).
class LibrarySnippet
{
public:
    static constexpr const char *Name = "quillet_snippet";
    // Characters shown before and after the first hit.
    static constexpr int Before = 60;
    static constexpr int After = 160;

    // Registers the function on one connection; empty on success, otherwise why not.
    static QString registerOn(sqlite3 *db);
};
