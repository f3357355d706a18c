#include "library/LibrarySnippet.h"

#include "library/LibraryTokenizer.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

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
    const char *text = nullptr;
    int size = 0;
    std::vector<Hit> hits;
    std::size_t nextHit = 0;
    int position = -1;
    int openUntil = -1;
    Window window;
    bool windowKnown = false;
    // Byte offsets where a marker goes: opening (true) or closing.
    std::vector<std::pair<int, bool>> markers;
};

int onToken(void *context, int flags, const char *, int, int start, int end)
{
    auto *walk = static_cast<Walk *>(context);
    if (flags & FTS5_TOKEN_COLOCATED)
        return SQLITE_OK;
    const int pos = ++walk->position;
    if (!walk->windowKnown) {
        if (pos < walk->hits.front().from)
            return SQLITE_OK;
        walk->window = windowAround(walk->text, walk->size, start, end);
        walk->windowKnown = true;
    }
    if (start >= walk->window.end)
        return SQLITE_DONE;
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

void snippet(const Fts5ExtensionApi *api, Fts5Context *fts, sqlite3_context *result, int argCount,
             sqlite3_value **args)
{
    if (argCount != 2) {
        sqlite3_result_error(result, "quillet_snippet: two arguments expected", -1);
        return;
    }
    const std::string open = reinterpret_cast<const char *>(sqlite3_value_text(args[0]));
    const std::string close = reinterpret_cast<const char *>(sqlite3_value_text(args[1]));
    int instances = 0;
    if (api->xInstCount(fts, &instances) != SQLITE_OK) {
        sqlite3_result_error(result, "quillet_snippet: no hits", -1);
        return;
    }
    // The last column with a hit, and the hits in it.
    int column = -1;
    Walk walk;
    for (int i = 0; i < instances; ++i) {
        int phrase = 0, col = 0, offset = 0;
        if (api->xInst(fts, i, &phrase, &col, &offset) != SQLITE_OK)
            continue;
        if (col > column) {
            column = col;
            walk.hits.clear();
        }
        if (col == column)
            walk.hits.push_back({offset, offset + api->xPhraseSize(fts, phrase)});
    }
    // A hit in the title alone shows the start of the text.
    if (column < api->xColumnCount(fts) - 1) {
        column = api->xColumnCount(fts) - 1;
        walk.hits.clear();
    }
    const char *text = nullptr;
    int size = 0;
    if (api->xColumnText(fts, column, &text, &size) != SQLITE_OK || !text) {
        sqlite3_result_text(result, "", 0, SQLITE_STATIC);
        return;
    }
    walk.text = text;
    walk.size = size;
    if (walk.hits.empty()) {
        walk.window = windowAround(text, size, 0, 0);
        walk.windowKnown = true;
    } else {
        std::sort(walk.hits.begin(), walk.hits.end(), [](const Hit &a, const Hit &b) { return a.from < b.from; });
        const int rc = api->xTokenize(fts, text, size, &walk, onToken);
        if (rc != SQLITE_OK && rc != SQLITE_DONE) {
            sqlite3_result_error_code(result, rc);
            return;
        }
        if (!walk.windowKnown)
            walk.window = windowAround(text, size, 0, 0);
    }
    const Window &w = walk.window;
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
    if (w.cutAfter)
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
