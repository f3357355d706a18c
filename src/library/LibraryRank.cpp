#include "library/LibraryRank.h"

#include "library/LibraryTokenizer.h"

#include <sqlite3.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr double K1 = 1.2;
constexpr double B = 0.75;

// What a query needs once, kept with the statement.
struct QueryData
{
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
    const int columns = api->xColumnCount(fts);
    std::vector<double> weights(std::size_t(columns), 1.0);
    for (int i = 0; i < argCount && i < columns; ++i)
        weights[std::size_t(i)] = sqlite3_value_double(args[i]);
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
    if (const int rc = api->xColumnSize(fts, -1, &length); rc != SQLITE_OK) {
        sqlite3_result_error_code(result, rc);
        return;
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
