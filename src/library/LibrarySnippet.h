#pragma once

#include <QString>

struct sqlite3;

// The full-text function quillet_snippet(table, hitStart, hitEnd[, content[, steps]]):
// the text around the first hit of a row, its hit words between the two
// markers. FTS5's own snippet() loads each listed page whole and weighs every
// fragment of it, a full pass over megabytes for each hit (over a second for a
// page of results in the benchmark); this one reads a page only up to a little
// past its first hit, from the table named content (the table's own
// "<table>_content") in pieces, and with the table named steps
// (LibraryTokenizer::StepRecorder) starts at the step before the hit. The
// last column with a hit is taken (the body before the title).
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
