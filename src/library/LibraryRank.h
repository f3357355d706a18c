#pragma once

#include <QString>

struct sqlite3;

// The full-text function quillet_rank(table, weight, ...): the order of the
// hits, Okapi BM25 as FTS5's own bm25() computes it (k1 1.2, b 0.75, the same
// inverse document frequency, one weight per column), the same scores for
// the same rows, at a fraction of its cost where a query matches most pages.
// bm25() walks every hit of a row through the instance list, several calls
// each (tens of thousands in a long page for a word as common as "the"), and
// runs every phrase over the whole table once more for its document
// frequency. This one counts the hits of a column from the position list
// directly, and skips the frequency when the query has one phrase: it
// scales every score alike then, and the order is what is wanted. The
// lengths of the rows come from the table's own "<table>_docsize", read in
// the order the rows are visited.
class LibraryRank
{
public:
    static constexpr const char *Name = "quillet_rank";

    // Registers the function on one connection; empty on success, otherwise why not.
    static QString registerOn(sqlite3 *db);
};
