#include "library/LibrarySnippet.h"

#include "library/LibraryTokenizer.h"

#include <QtEndian>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// No window holds more tokens than it has characters.
constexpr int ReachTokens = LibrarySnippet::Before + LibrarySnippet::After + 64;

bool continuation(char c)
{
    return (uchar(c) & 0xC0) == 0x80;
}

// Where the window around the first hit begins and ends, in bytes.
struct Window
{
    int start = 0;
    int end = 0;
    bool cutBefore = false;
    bool cutAfter = false;
};

Window windowAround(const char *text, int size, int hitStart, int hitEnd)
{
    Window w;
    w.start = hitStart;
    for (int chars = 0; w.start > 0 && text[w.start - 1] != '\n';) {
        --w.start;
        if (!continuation(text[w.start]) && ++chars == LibrarySnippet::Before)
            break;
    }
    if (w.start > 0 && text[w.start - 1] != '\n') {
        // A cut window starts at a word.
        w.cutBefore = true;
        for (int i = w.start; i < hitStart; ++i) {
            if (text[i] == ' ') {
                w.start = i + 1;
                break;
            }
        }
    }
    w.end = hitEnd;
    for (int chars = 0; w.end < size && text[w.end] != '\n';) {
        ++w.end;
        while (w.end < size && continuation(text[w.end]))
            ++w.end;
        if (++chars == LibrarySnippet::After)
            break;
    }
    if (w.end < size && text[w.end] != '\n') {
        w.cutAfter = true;
        for (int i = w.end; i > hitEnd; --i) {
            if (text[i - 1] == ' ') {
                w.end = i - 1;
                break;
            }
        }
    }
    return w;
}

struct Hit
{
    int from = 0;
    int to = 0; // one past the last token position
};

struct Walk
{
    std::vector<Hit> hits;
    std::size_t nextHit = 0;
    int position = -1;
    int openUntil = -1;
    // Added to the offsets of the piece being tokenized.
    int base = 0;
    // Byte range of the first hit's first token; start < 0 until it is seen.
    int anchorStart = -1;
    int anchorEnd = 0;
    bool finished = false;
    // Byte offsets where a marker goes: opening (true) or closing.
    std::vector<std::pair<int, bool>> markers;
};

// Bytes read past the first hit: more than the window can show after it.
constexpr int ReachBytes = 4 * LibrarySnippet::After + 64;
constexpr int PieceBytes = 16 * 1024;

int onToken(void *context, int flags, const char *, int, int start, int end)
{
    auto *walk = static_cast<Walk *>(context);
    if (flags & FTS5_TOKEN_COLOCATED)
        return SQLITE_OK;
    start += walk->base;
    end += walk->base;
    const int pos = ++walk->position;
    if (walk->anchorStart < 0) {
        if (pos < walk->hits.front().from)
            return SQLITE_OK;
        walk->anchorStart = start;
        walk->anchorEnd = end;
    }
    if (start >= walk->anchorEnd + ReachBytes) {
        walk->finished = true;
        return SQLITE_DONE;
    }
    while (walk->nextHit < walk->hits.size() && walk->hits[walk->nextHit].from <= pos) {
        const Hit &h = walk->hits[walk->nextHit++];
        if (h.to <= pos)
            continue;
        if (walk->openUntil <= pos)
            walk->markers.emplace_back(start, true);
        walk->openUntil = std::max(walk->openUntil, h.to);
    }
    if (walk->openUntil == pos + 1)
        walk->markers.emplace_back(end, false);
    return SQLITE_OK;
}

// The text of a row's column, read as far as it is needed: a page's text
// through incremental reads of the table that holds it, so a page of
// megabytes costs only the bytes up to its first hit.
class ColumnText
{
public:
    // Read from byte from on when the text is read in pieces.
    ColumnText(const Fts5ExtensionApi *api, Fts5Context *fts, sqlite3_context *result, const char *table, int column,
               int from)
    {
        if (table) {
            // The content table names its columns c0, c1, ...
            char name[16];
            std::snprintf(name, sizeof name, "c%d", column);
            if (sqlite3_blob_open(sqlite3_context_db_handle(result), "main", table, name, api->xRowid(fts), 0,
                                  &m_blob) == SQLITE_OK) {
                m_total = sqlite3_blob_bytes(m_blob);
                m_from = std::clamp(from, 0, m_total);
                return;
            }
            m_blob = nullptr;
        }
        const char *text = nullptr;
        int size = 0;
        if (api->xColumnText(fts, column, &text, &size) == SQLITE_OK && text)
            m_text.assign(text, std::size_t(size));
        m_total = int(m_text.size());
    }
    ~ColumnText()
    {
        if (m_blob)
            sqlite3_blob_close(m_blob);
    }
    ColumnText(const ColumnText &) = delete;
    ColumnText &operator=(const ColumnText &) = delete;

    // The bytes read, from start() on.
    const std::string &text() const { return m_text; }
    int start() const { return m_from; }
    bool complete() const { return m_from + int(m_text.size()) >= m_total; }
    // Reads the next piece; false when there is none or it failed.
    bool readMore()
    {
        if (complete() || !m_blob)
            return false;
        const int size = int(m_text.size());
        const int n = std::min(PieceBytes, m_total - m_from - size);
        m_text.resize(std::size_t(size + n));
        return sqlite3_blob_read(m_blob, m_text.data() + size, n, m_from + size) == SQLITE_OK;
    }

private:
    sqlite3_blob *m_blob = nullptr;
    int m_from = 0;
    int m_total = 0;
    std::string m_text;
};

// Where the text read so far may be cut without splitting a word: after its
// last white space, or else before its last character of three bytes or more
// (unspaced scripts take one position a character, so a cut there is safe).
int safeCut(const std::string &text, int from)
{
    for (int i = int(text.size()); i > from; --i) {
        if (text[std::size_t(i - 1)] == ' ' || text[std::size_t(i - 1)] == '\n')
            return i;
    }
    for (int i = int(text.size()) - 1; i > from; --i) {
        if (uchar(text[std::size_t(i)]) >= 0xE0)
            return i;
    }
    return int(text.size());
}

// Tokenizes the column from byte from of what was read up to a little past its first hit.
int walkColumn(const Fts5ExtensionApi *api, Fts5Context *fts, ColumnText &column, Walk &walk, int from)
{
    int done = from;
    while (!walk.finished) {
        const bool more = column.readMore();
        const std::string &text = column.text();
        const int cut = column.complete() ? int(text.size()) : safeCut(text, done);
        if (cut > done) {
            walk.base = done;
            const int rc = api->xTokenize(fts, text.data() + done, cut - done, &walk, onToken);
            if (rc != SQLITE_OK && rc != SQLITE_DONE)
                return rc;
            done = cut;
        }
        if (!more && (column.complete() || cut == done))
            break;
    }
    return SQLITE_OK;
}

// A token position and the byte where that token begins.
struct Step
{
    int position = 0;
    int offset = 0;
};

// More bytes than the characters a window shows before its hit can take.
constexpr int WindowBytesBefore = 4 * LibrarySnippet::Before + 8;

// The last step at or before position, from the row's steps; the start of
// the text when there are none.
Step stepBefore(sqlite3 *db, const char *table, sqlite3_int64 rowid, int position)
{
    const int k = position / LibraryTokenizer::StepTokens;
    sqlite3_blob *blob = nullptr;
    if (!table || k == 0 || sqlite3_blob_open(db, "main", table, "steps", rowid, 0, &blob) != SQLITE_OK) {
        sqlite3_blob_close(blob);
        return {};
    }
    unsigned char bytes[4];
    Step step;
    if (sqlite3_blob_bytes(blob) >= 4 * (k + 1) && sqlite3_blob_read(blob, bytes, 4, 4 * k) == SQLITE_OK)
        step = {k * LibraryTokenizer::StepTokens, int(qFromLittleEndian<quint32>(bytes))};
    sqlite3_blob_close(blob);
    return step;
}

void snippet(const Fts5ExtensionApi *api, Fts5Context *fts, sqlite3_context *result, int argCount, sqlite3_value **args)
{
    if (argCount < 2 || argCount > 4) {
        sqlite3_result_error(result, "quillet_snippet: hit start, hit end, the content and the steps table expected",
                             -1);
        return;
    }
    const auto textOf = [&](int i) {
        const unsigned char *value = sqlite3_value_text(args[i]);
        return std::string(value ? reinterpret_cast<const char *>(value) : "");
    };
    const std::string open = textOf(0);
    const std::string close = textOf(1);
    const auto nameOf = [&](int i) {
        return argCount > i ? reinterpret_cast<const char *>(sqlite3_value_text(args[i])) : nullptr;
    };
    const char *table = nameOf(2);
    const char *stepsTable = nameOf(3);
    // The hits in the last column that has any, as far as a window can reach:
    // instances come in column and position order, so each phrase stops early.
    const int lastColumn = api->xColumnCount(fts) - 1;
    int column = -1;
    Walk walk;
    for (int phrase = 0; phrase < api->xPhraseCount(fts); ++phrase) {
        const int length = api->xPhraseSize(fts, phrase);
        Fts5PhraseIter it;
        int col = -1, offset = 0;
        int first = -1;
        for (api->xPhraseFirst(fts, phrase, &it, &col, &offset); col >= 0; api->xPhraseNext(fts, &it, &col, &offset)) {
            if (col > column) {
                column = col;
                walk.hits.clear();
                first = -1;
            }
            if (col < column)
                continue;
            if (first < 0)
                first = offset;
            else if (offset > first + ReachTokens)
                break;
            walk.hits.push_back({offset, offset + length});
        }
    }
    // A hit in the title alone shows the start of the text.
    if (column < lastColumn) {
        column = lastColumn;
        walk.hits.clear();
    }
    std::sort(walk.hits.begin(), walk.hits.end(), [](const Hit &a, const Hit &b) { return a.from < b.from; });
    const Step step = stepBefore(sqlite3_context_db_handle(result), stepsTable, api->xRowid(fts),
                                 walk.hits.empty() ? 0 : walk.hits.front().from);
    // The window reaches back from the hit: what it may show is read too.
    ColumnText source(api, fts, result, table, column, step.offset - WindowBytesBefore);
    walk.position = step.position - 1;
    if (walk.hits.empty()) {
        source.readMore();
    } else {
        if (const int rc = walkColumn(api, fts, source, walk, step.offset - source.start()); rc != SQLITE_OK) {
            sqlite3_result_error_code(result, rc);
            return;
        }
    }
    const char *text = source.text().data();
    const int size = int(source.text().size());
    const Window w = walk.anchorStart < 0 ? windowAround(text, size, 0, 0)
                                          : windowAround(text, size, walk.anchorStart, walk.anchorEnd);
    std::string out;
    out.reserve(std::size_t(w.end - w.start) + 32);
    if (w.cutBefore)
        out += "\xE2\x80\xA6";
    int copied = w.start;
    bool opened = false;
    for (const auto &[at, opening] : walk.markers) {
        if (at < w.start || at > w.end)
            continue;
        out.append(text + copied, std::size_t(at - copied));
        out += opening ? open : close;
        opened = opening;
        copied = at;
    }
    out.append(text + copied, std::size_t(w.end - copied));
    if (opened)
        out += close;
    if (w.cutAfter || (w.end == size && !source.complete()))
        out += "\xE2\x80\xA6";
    sqlite3_result_text(result, out.data(), int(out.size()), SQLITE_TRANSIENT);
}

} // namespace

QString LibrarySnippet::registerOn(sqlite3 *db)
{
    fts5_api *fts5 = LibraryTokenizer::fts5Of(db);
    if (!fts5)
        return QStringLiteral("this SQLite has no full-text search (FTS5)");
    if (fts5->xCreateFunction(fts5, Name, nullptr, snippet, nullptr) != SQLITE_OK)
        return QStringLiteral("the snippet function could not be registered");
    return {};
}
