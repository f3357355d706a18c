#pragma once

#include "library/MarkColour.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class LibraryIndex;

struct LibrarySearchOptions
{
    // Only marked passages are searched (and, without words, listed).
    bool marksOnly = false;
    // Only marks of this colour; implies marksOnly.
    std::optional<MarkColour> colour;
    int limit = 100;
    // Put around each hit word of a snippet.
    QString hitStart = QStringLiteral("[");
    QString hitEnd = QStringLiteral("]");
};

struct LibraryHit
{
    QString path;
    QString title;
    QDateTime date;
    // The file cannot be reached now (its mount is absent).
    bool available = true;
    // The passage around the hit words, on one line.
    QString snippet;
    // Set for a hit in a marked passage.
    bool isMark = false;
    int markOrder = -1;
    QString markColour;
    QString markColourName;
    QString markSentence;
};

struct LibrarySearchResult
{
    QList<LibraryHit> hits;
    // Why nothing could be searched, for the user; empty when the search ran.
    QString error;
    // The index file is damaged: the caller rebuilds it (LibraryIndex::rebuild).
    bool damaged = false;

    bool ok() const { return error.isEmpty(); }
};

// Searches the library: words that must all occur, "a phrase", prefix*,
// OR, NOT and brackets; best hits first (bm25, the title weighing more than
// the text). What the user types is never handed to the full-text engine as
// it stands: every word becomes a quoted string, so punctuation, column
// names and stray operators cannot break the query, and what remains wrong
// gets a message.
class LibrarySearch
{
public:
    static constexpr qsizetype LongestQuery = 1000;

    // Reads the index through a memory map: snippets read whole page texts,
    // and copying them out of the file cost more than finding the hits.
    explicit LibrarySearch(LibraryIndex &index);

    LibrarySearchResult find(const QString &query, const LibrarySearchOptions &options) const;

    // The full-text expression for a query; empty when the query has no
    // words. Sets error when the query cannot be one.
    static QString toMatchExpression(const QString &query, QString &error);

private:
    LibraryIndex &m_index;
};
