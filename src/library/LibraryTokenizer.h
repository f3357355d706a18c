#pragma once

#include <QString>

struct sqlite3;
struct fts5_api;

// The full-text tokenizer of the library, "quillet": SQLite's unicode61
// (case and diacritics folded) for scripts that put spaces between words, and
// overlapping character pairs for scripts that do not (Chinese, Japanese,
// Thai, Lao, Khmer, Myanmar). Each such character takes one position: the
// pair it starts, and in documents also the character alone at the same
// place, so a one-character word and a phrase that joins such a run to a
// following word are found as well. A query of two or more such characters
// becomes the phrase of its pairs (and its last character when more follows),
// so a two-character Chinese word inside a sentence matches. The trigram tokenizer was not
// taken: it cannot match words shorter than three characters.
class LibraryTokenizer
{
public:
    static constexpr const char *Name = "quillet";

    // Registers the tokenizer on one connection; empty on success, otherwise why not.
    static QString registerOn(sqlite3 *db);

    // The full-text interface of a connection; nullptr when SQLite has none.
    static fts5_api *fts5Of(sqlite3 *db);

    // Whether a query text ends in two or more unspaced characters: its hits
    // then end one character after their last position (the pair's second).
    static bool endsWithPairs(const QString &text);

    // Whether c belongs to a script written without spaces between words.
    static bool isUnspaced(char32_t c);
};
