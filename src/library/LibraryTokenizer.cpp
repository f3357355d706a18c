#include "library/LibraryTokenizer.h"

#include <QtEndian>

#include <sqlite3.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

struct Tokenizer
{
    fts5_tokenizer unicode61{};
    Fts5Tokenizer *inner = nullptr;
};

struct Api
{
    fts5_api *fts5 = nullptr;
};

// Decodes the UTF-8 character at text[i]; sets length to its byte count.
// Bad bytes count as one character each: unicode61 skips them the same way.
char32_t decodeAt(const unsigned char *text, int size, int i, int &length)
{
    const unsigned char c = text[i];
    int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
    if (extra < 0 || i + extra >= size) {
        length = 1;
        return 0xFFFD;
    }
    char32_t value = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        if ((text[i + k] & 0xC0) != 0x80) {
            length = 1;
            return 0xFFFD;
        }
        value = (value << 6) | (text[i + k] & 0x3F);
    }
    length = extra + 1;
    return value;
}

constexpr int SpacedPiece = 4096;

struct Shifted
{
    void *context;
    int (*token)(void *, int, const char *, int, int, int);
    int offset;
    // What the caller answered when it stopped the tokenizing (unicode61 reports a stop as success).
    int stopped = SQLITE_OK;
};

int shiftToken(void *context, int flags, const char *token, int size, int start, int end)
{
    auto *shifted = static_cast<Shifted *>(context);
    shifted->stopped =
        shifted->token(shifted->context, flags, token, size, start + shifted->offset, end + shifted->offset);
    return shifted->stopped;
}

int create(void *userData, const char **args, int argCount, Fts5Tokenizer **out)
{
    auto *api = static_cast<Api *>(userData);
    auto tokenizer = std::make_unique<Tokenizer>();
    void *innerData = nullptr;
    int rc = api->fts5->xFindTokenizer(api->fts5, "unicode61", &innerData, &tokenizer->unicode61);
    if (rc != SQLITE_OK)
        return rc;
    // Diacritics go, so "cafe" finds "café"; the table may add its own options.
    std::vector<const char *> innerArgs{"remove_diacritics", "2"};
    innerArgs.insert(innerArgs.end(), args, args + argCount);
    rc = tokenizer->unicode61.xCreate(innerData, innerArgs.data(), int(innerArgs.size()), &tokenizer->inner);
    if (rc != SQLITE_OK)
        return rc;
    *out = reinterpret_cast<Fts5Tokenizer *>(tokenizer.release());
    return SQLITE_OK;
}

void destroy(Fts5Tokenizer *handle)
{
    auto *tokenizer = reinterpret_cast<Tokenizer *>(handle);
    tokenizer->unicode61.xDelete(tokenizer->inner);
    delete tokenizer;
}

thread_local LibraryTokenizer::StepRecorder *recorder = nullptr;

struct Recording
{
    void *context;
    int (*token)(void *, int, const char *, int, int, int);
    std::vector<quint32> &steps;
    int position = 0;
};

int recordToken(void *context, int flags, const char *text, int size, int start, int end)
{
    auto *recording = static_cast<Recording *>(context);
    if (!(flags & FTS5_TOKEN_COLOCATED) && recording->position++ % LibraryTokenizer::StepTokens == 0)
        recording->steps.push_back(quint32(start));
    return recording->token(recording->context, flags, text, size, start, end);
}

int tokenizeText(Fts5Tokenizer *handle, void *context, int flags, const char *text, int size,
                 int (*token)(void *, int, const char *, int, int, int))
{
    auto *tokenizer = reinterpret_cast<Tokenizer *>(handle);
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    int spacedStart = 0;
    int i = 0;
    const auto flushSpaced = [&](int end) {
        if (end <= spacedStart)
            return SQLITE_OK;
        Shifted shifted{context, token, spacedStart};
        const int rc = tokenizer->unicode61.xTokenize(tokenizer->inner, &shifted, flags, text + spacedStart,
                                                      end - spacedStart, shiftToken);
        return rc != SQLITE_OK ? rc : shifted.stopped;
    };
    while (i < size) {
        const unsigned char lead = bytes[i];
        // Every unspaced script lies at U+0E00 or above: three bytes or more.
        if (lead < 0xE0) {
            // Long texts go to unicode61 a piece at a time, cut at white space, so
            // a caller that stops early (a snippet) does not pay for the rest.
            if ((lead == ' ' || lead == '\n') && i - spacedStart >= SpacedPiece) {
                if (const int rc = flushSpaced(i); rc != SQLITE_OK)
                    return rc;
                spacedStart = i;
            }
            const bool pair = lead >= 0xC2 && i + 1 < size && (bytes[i + 1] & 0xC0) == 0x80;
            i += pair ? 2 : 1;
            continue;
        }
        int length = 1;
        const char32_t c = decodeAt(bytes, size, i, length);
        if (LibraryTokenizer::isUnspaced(c)) {
            if (const int rc = flushSpaced(i); rc != SQLITE_OK)
                return rc;
            if (const int rc = token(context, 0, text + i, length, i, i + length); rc != SQLITE_OK)
                return rc;
            spacedStart = i + length;
        }
        i += length;
    }
    return flushSpaced(size);
}

int tokenize(Fts5Tokenizer *handle, void *context, int flags, const char *text, int size,
             int (*token)(void *, int, const char *, int, int, int))
{
    if (recorder && flags == FTS5_TOKENIZE_DOCUMENT) {
        Recording recording{context, token, recorder->beginDocument()};
        return tokenizeText(handle, &recording, flags, text, size, recordToken);
    }
    return tokenizeText(handle, context, flags, text, size, token);
}

void deleteApi(void *userData)
{
    delete static_cast<Api *>(userData);
}

} // namespace

LibraryTokenizer::StepRecorder::StepRecorder() : m_outer(std::exchange(recorder, this))
{
}

LibraryTokenizer::StepRecorder::~StepRecorder()
{
    recorder = m_outer;
}

std::vector<quint32> &LibraryTokenizer::StepRecorder::beginDocument()
{
    ++m_documents;
    m_steps.clear();
    return m_steps;
}

QByteArray LibraryTokenizer::StepRecorder::lastSteps() const
{
    QByteArray bytes(qsizetype(m_steps.size() * 4), Qt::Uninitialized);
    for (std::size_t i = 0; i < m_steps.size(); ++i)
        qToLittleEndian(m_steps[i], bytes.data() + i * 4);
    return bytes;
}

bool LibraryTokenizer::isUnspaced(char32_t c)
{
    if (c < 0x0E00)
        return false;
    return (c >= 0x0E00 && c <= 0x0EFF)    // Thai, Lao
           || (c >= 0x1000 && c <= 0x109F) // Myanmar
           || (c >= 0x1780 && c <= 0x17FF) // Khmer
           || (c >= 0x2E80 && c <= 0x2FDF) // CJK radicals
           || c == 0x3005 || c == 0x3006 || c == 0x3007 || (c >= 0x3021 && c <= 0x3029) ||
           (c >= 0x3041 && c <= 0x30FF && c != 0x30FB) // kana, without the middle dot
           || (c >= 0x31F0 && c <= 0x31FF)             // small katakana
           || (c >= 0x3400 && c <= 0x4DBF)             // Han extension A
           || (c >= 0x4E00 && c <= 0x9FFF)             // Han
           || (c >= 0xF900 && c <= 0xFAFF)             // Han compatibility
           || (c >= 0xFF66 && c <= 0xFF9F)             // half-width katakana
           || (c >= 0x20000 && c <= 0x3FFFF);          // Han extensions B and later
}

fts5_api *LibraryTokenizer::fts5Of(sqlite3 *db)
{
    fts5_api *fts5 = nullptr;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, &fts5, "fts5_api_ptr", nullptr);
        sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    return fts5;
}

QString LibraryTokenizer::registerOn(sqlite3 *db)
{
    fts5_api *fts5 = fts5Of(db);
    if (!fts5)
        return QStringLiteral("this SQLite has no full-text search (FTS5)");
    static fts5_tokenizer methods{create, destroy, tokenize};
    auto *api = new Api{fts5};
    if (fts5->xCreateTokenizer(fts5, Name, api, &methods, deleteApi) != SQLITE_OK) {
        delete api;
        return QStringLiteral("the tokenizer could not be registered");
    }
    return {};
}
