#include "library/LibraryRank.h"

#include "library/LibraryTokenizer.h"

#include <sqlite3.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr double K1 = 1.2;
constexpr double B = 0.75;

// The token counts of rows, read from the table's "<table>_docsize" in
// rowid order. FTS5 visits the rows of a match in that order, and stepping
// one statement along them costs a fraction of xColumnSize's lookup of each
// row (a statement reset, bound and run from the root of the b-tree): it took
// two thirds of the time of ranking sixteen thousand marks.
class RowSizes
{
public:
    RowSizes() = default;
    RowSizes(const RowSizes &) = delete;
    RowSizes &operator=(const RowSizes &) = delete;
    ~RowSizes() { sqlite3_finalize(m_statement); }

    // The tokens of the row in all its columns; false when it cannot tell.
    bool lengthOf(sqlite3 *db, const char *table, sqlite3_int64 rowid, int &length)
    {
        if (!m_statement && !m_failed) {
            char *sql = sqlite3_mprintf("SELECT id, sz FROM \"%w_docsize\" WHERE id >= ?", table);
            m_failed = !sql || sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK;
            sqlite3_free(sql);
        }
        if (m_failed)
            return false;
        // A row close ahead is stepped to, a row far ahead or behind looked up.
        if (!m_atRow || rowid < m_id || rowid - m_id > FarAhead) {
            sqlite3_reset(m_statement);
            sqlite3_bind_int64(m_statement, 1, rowid);
            step();
        }
        while (m_atRow && m_id < rowid)
            step();
        if (!m_atRow || m_id != rowid)
            return false;
        // One varint a column, as FTS5 writes them.
        const auto *p = static_cast<const unsigned char *>(sqlite3_column_blob(m_statement, 1));
        const unsigned char *const end = p + sqlite3_column_bytes(m_statement, 1);
        length = 0;
        while (p && p < end) {
            unsigned int value = 0;
            int bytes = 0;
            do {
                value = (value << 7) | (*p & 0x7F);
                ++bytes;
            } while ((*p++ & 0x80) && p < end && bytes < 5);
            length += int(value);
        }
        return true;
    }

private:
    static constexpr sqlite3_int64 FarAhead = 16;

    void step()
    {
        m_atRow = sqlite3_step(m_statement) == SQLITE_ROW;
        if (m_atRow)
            m_id = sqlite3_column_int64(m_statement, 0);
    }

    sqlite3_stmt *m_statement = nullptr;
    bool m_failed = false;
    bool m_atRow = false;
    sqlite3_int64 m_id = 0;
};

// What a query needs once, kept with the statement.
struct QueryData
{
    RowSizes sizes;
    std::vector<double> idf;
    double averageLength = 1.0;
    // Whether counting position lists agreed with walking them on the first
    // row where it counted anything; walking is the fallback for an SQLite
    // that lays them out differently.
    bool checked = false;
    bool countable = false;
    std::vector<double> frequency;
};

int countRow(const Fts5ExtensionApi *, Fts5Context *, void *count)
{
    ++*static_cast<sqlite3_int64 *>(count);
    return SQLITE_OK;
}

int prepare(const Fts5ExtensionApi *api, Fts5Context *fts, QueryData &data)
{
    const int phrases = api->xPhraseCount(fts);
    data.idf.assign(std::size_t(phrases), 1.0);
    data.frequency.assign(std::size_t(phrases), 0.0);
    sqlite3_int64 rows = 0;
    sqlite3_int64 tokens = 0;
    int rc = api->xRowCount(fts, &rows);
    if (rc == SQLITE_OK)
        rc = api->xColumnTotalSize(fts, -1, &tokens);
    if (rc != SQLITE_OK)
        return rc;
    data.averageLength = rows > 0 && tokens > 0 ? double(tokens) / double(rows) : 1.0;
    if (phrases < 2)
        return SQLITE_OK;
    for (int i = 0; i < phrases; ++i) {
        sqlite3_int64 hits = 0;
        if ((rc = api->xQueryPhrase(fts, i, &hits, countRow)) != SQLITE_OK)
            return rc;
        // A phrase in more than half the rows would weigh less than nothing.
        const double idf = std::log((double(rows) - double(hits) + 0.5) / (double(hits) + 0.5));
        data.idf[std::size_t(i)] = idf <= 0.0 ? 1e-6 : idf;
    }
    return SQLITE_OK;
}

// The hits of a phrase in the row, each weighed by its column. Walked one by
// one, or counted: a position list holds one varint per hit, after a marker
// byte 1 and the column's number for each column but the first, so past the
// first column's hits the rest of a two-column table's list is the second
// column's. read tells whether anything was counted.
double frequency(const Fts5ExtensionApi *api, Fts5Context *fts, int phrase, const std::vector<double> &weights,
                 bool count, bool &read)
{
    Fts5PhraseIter it;
    int column = 0;
    int offset = 0;
    double sum = 0.0;
    if (api->xPhraseFirst(fts, phrase, &it, &column, &offset) != SQLITE_OK)
        return 0.0;
    for (; column == 0 || (column > 0 && !count); api->xPhraseNext(fts, &it, &column, &offset))
        sum += weights[std::size_t(column)];
    if (column > 0) {
        // The hit just read, and one for each varint's last byte after it.
        read = true;
        long long hits = 1;
        for (const unsigned char *p = it.a; p < it.b; ++p)
            hits += *p < 0x80 ? 1 : 0;
        sum += double(hits) * weights[std::size_t(column)];
    }
    return sum;
}

void rank(const Fts5ExtensionApi *api, Fts5Context *fts, sqlite3_context *result, int argCount, sqlite3_value **args)
{
    auto *data = static_cast<QueryData *>(api->xGetAuxdata(fts, 0));
    if (!data) {
        auto fresh = std::make_unique<QueryData>();
        int rc = prepare(api, fts, *fresh);
        // The statement owns it from here, and deletes it itself when it cannot keep it.
        if (rc == SQLITE_OK)
            rc = api->xSetAuxdata(fts, data = fresh.release(), [](void *p) { delete static_cast<QueryData *>(p); });
        if (rc != SQLITE_OK) {
            sqlite3_result_error_code(result, rc);
            return;
        }
    }
    if (argCount < 1 || sqlite3_value_type(args[0]) != SQLITE_TEXT) {
        sqlite3_result_error(result, "quillet_rank: the table's name and its column weights expected", -1);
        return;
    }
    const auto *table = reinterpret_cast<const char *>(sqlite3_value_text(args[0]));
    const int columns = api->xColumnCount(fts);
    std::vector<double> weights(std::size_t(columns), 1.0);
    for (int i = 1; i < argCount && i <= columns; ++i)
        weights[std::size_t(i - 1)] = sqlite3_value_double(args[i]);
    const int phrases = int(data->idf.size());
    // Counting pays where a long second column follows a short first one (title, text).
    const bool mayCount = columns == 2 && (data->countable || !data->checked);
    bool read = false;
    bool agree = true;
    for (int i = 0; i < phrases; ++i) {
        double &f = data->frequency[std::size_t(i)];
        if (mayCount && data->checked) {
            f = frequency(api, fts, i, weights, true, read);
        } else {
            bool walkedAll = false;
            f = frequency(api, fts, i, weights, false, walkedAll);
            if (mayCount)
                agree = agree && frequency(api, fts, i, weights, true, read) == f;
        }
    }
    if (mayCount && !data->checked && read) {
        data->checked = true;
        data->countable = agree;
    }
    int length = 0;
    if (!data->sizes.lengthOf(sqlite3_context_db_handle(result), table, api->xRowid(fts), length)) {
        if (const int rc = api->xColumnSize(fts, -1, &length); rc != SQLITE_OK) {
            sqlite3_result_error_code(result, rc);
            return;
        }
    }
    double score = 0.0;
    for (int i = 0; i < phrases; ++i) {
        const double f = data->frequency[std::size_t(i)];
        score += data->idf[std::size_t(i)] * (f * (K1 + 1.0)) /
                 (f + K1 * (1.0 - B + B * double(length) / data->averageLength));
    }
    // Best first in ascending order, as bm25().
    sqlite3_result_double(result, -score);
}

} // namespace

QString LibraryRank::registerOn(sqlite3 *db)
{
    fts5_api *fts5 = LibraryTokenizer::fts5Of(db);
    if (!fts5)
        return QStringLiteral("this SQLite has no full-text search (FTS5)");
    if (fts5->xCreateFunction(fts5, Name, nullptr, rank, nullptr) != SQLITE_OK)
        return QStringLiteral("the ranking function could not be registered");
    return {};
}
