#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

struct sqlite3;
struct fts5_api;

// The full-text tokenizer of the library, "quillet": SQLite's unicode61
// (case and diacritics folded) for scripts that put spaces between words, and
// one token for each character of scripts that do not (Chinese, Japanese,
// Thai, Lao, Khmer, Myanmar), in documents and queries alike: a word of such
// characters is found as the phrase of its characters, wherever it stands in
// a sentence. Indexing each pair of neighbouring characters as well made
// millions of distinct terms, most of them across word boundaries, and their
// hashing took most of the indexing time. The trigram tokenizer was not taken:
// it cannot match words shorter than three characters.
class LibraryTokenizer
{
public:
    static constexpr const char *Name = "quillet";

    // Registers the tokenizer on one connection; empty on success, otherwise why not.
    static QString registerOn(sqlite3 *db);

    // The full-text interface of a connection; nullptr when SQLite has none.
    static fts5_api *fts5Of(sqlite3 *db);

    // Whether c belongs to a script written without spaces between words.
    static bool isUnspaced(char32_t c);

    // Where every StepTokens-th token of a text begins, in bytes: a snippet
    // starts tokenizing a long page at the step before its first hit instead
    // of at its start. While one lives, it collects the steps of the
    // documents this thread's connections tokenize for the index.
    static constexpr int StepTokens = 256;
    class StepRecorder
    {
    public:
        StepRecorder();
        ~StepRecorder();
        StepRecorder(const StepRecorder &) = delete;
        StepRecorder &operator=(const StepRecorder &) = delete;

        // Documents (columns) tokenized so far.
        int documents() const { return m_documents; }
        // The steps of the last one, 32-bit little-endian byte offsets.
        QByteArray lastSteps() const;
        // For the tokenizer: a document begins; its steps go here.
        std::vector<quint32> &beginDocument();

    private:
        StepRecorder *m_outer = nullptr;
        int m_documents = 0;
        std::vector<quint32> m_steps;
    };
};
