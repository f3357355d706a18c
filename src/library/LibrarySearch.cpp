#include "library/LibrarySearch.h"

#include "library/LibraryIndex.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

enum class Kind { Term, Operator, Open, Close };

struct Piece
{
    Kind kind = Kind::Term;
    QString text;
    bool prefix = false;
};

bool hasWordCharacter(const QString &text)
{
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            return true;
    }
    return false;
}

QList<Piece> lex(const QString &query)
{
    QList<Piece> pieces;
    const qsizetype size = query.size();
    qsizetype i = 0;
    const auto isPlain = [&](qsizetype k) {
        const QChar c = query[k];
        return !c.isSpace() && c != u'"' && c != u'(' && c != u')';
    };
    while (i < size) {
        const QChar c = query[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'(' || c == u')') {
            pieces.append({c == u'(' ? Kind::Open : Kind::Close, QString(c)});
            ++i;
        } else if (c == u'"') {
            qsizetype close = query.indexOf(u'"', i + 1);
            if (close < 0)
                close = size;
            Piece phrase{Kind::Term, query.mid(i + 1, close - i - 1)};
            i = close + 1;
            if (i < size && query[i] == u'*') {
                phrase.prefix = true;
                ++i;
            }
            pieces.append(phrase);
        } else {
            const qsizetype start = i;
            while (i < size && isPlain(i))
                ++i;
            QString word = query.mid(start, i - start);
            if (word == QLatin1String("OR") || word == QLatin1String("AND") || word == QLatin1String("NOT")) {
                pieces.append({Kind::Operator, word});
                continue;
            }
            Piece term{Kind::Term, word};
            while (term.text.endsWith(u'*')) {
                term.text.chop(1);
                term.prefix = true;
            }
            pieces.append(term);
        }
    }
    // A "word" of punctuation alone has nothing to find.
    pieces.removeIf([](const Piece &p) { return p.kind == Kind::Term && !hasWordCharacter(p.text); });
    return pieces;
}

QString quoted(const Piece &term)
{
    QString text = term.text;
    text.replace(u'"', QLatin1String("\"\""));
    return u'"' + text + u'"' + (term.prefix ? QStringLiteral("*") : QString());
}

LibraryHit hitFrom(const QSqlQuery &row)
{
    LibraryHit hit;
    hit.path = row.value(0).toString();
    hit.title = row.value(1).toString();
    hit.date = QDateTime::fromString(row.value(2).toString(), Qt::ISODate);
    hit.available = row.value(3).toBool();
    hit.snippet = row.value(4).toString().simplified();
    return hit;
}

} // namespace

LibrarySearch::LibrarySearch(LibraryIndex &index) : m_index(index)
{
    // Only the searching connection maps the file: an indexer's memory stays its own.
    QSqlQuery(m_index.database()).exec(QStringLiteral("PRAGMA mmap_size = %1").arg(qint64(4) << 30));
}

QString LibrarySearch::toMatchExpression(const QString &query, QString &error)
{
    QStringList out;
    int depth = 0;
    bool expectOperand = true;
    QString lastOperator;
    for (const Piece &p : lex(query)) {
        switch (p.kind) {
        case Kind::Term:
        case Kind::Open:
            if (!expectOperand)
                out << QStringLiteral("AND");
            out << (p.kind == Kind::Term ? quoted(p) : QStringLiteral("("));
            depth += p.kind == Kind::Open ? 1 : 0;
            expectOperand = p.kind == Kind::Open;
            break;
        case Kind::Close:
            if (depth == 0) {
                error = QStringLiteral("A closing bracket has no opening one");
                return {};
            }
            if (expectOperand) {
                error = QStringLiteral("Brackets need a word inside");
                return {};
            }
            --depth;
            out << QStringLiteral(")");
            break;
        case Kind::Operator:
            if (expectOperand) {
                error = p.text == QLatin1String("NOT")
                            ? QStringLiteral("NOT needs a word before it: a NOT b finds a without b")
                            : QStringLiteral("%1 needs a word on each side").arg(p.text);
                return {};
            }
            out << p.text;
            lastOperator = p.text;
            expectOperand = true;
            break;
        }
    }
    if (!out.isEmpty() && expectOperand) {
        error =
            QStringLiteral("%1 needs a word after it").arg(lastOperator.isEmpty() ? QStringLiteral("(") : lastOperator);
        return {};
    }
    if (depth > 0) {
        error = QStringLiteral("A bracket is not closed");
        return {};
    }
    return out.join(u' ');
}

LibrarySearchResult LibrarySearch::find(const QString &query, const LibrarySearchOptions &options) const
{
    LibrarySearchResult result;
    if (query.size() > LongestQuery) {
        const QLocale english(QLocale::English);
        result.error = QStringLiteral("The query is too long (%1 characters; at most %2)")
                           .arg(english.toString(query.size()), english.toString(LongestQuery));
        return result;
    }
    const QString expression = toMatchExpression(query, result.error);
    if (!result.ok())
        return result;
    const bool marks = options.marksOnly || options.colour;
    if (expression.isEmpty() && !marks) {
        result.error = QStringLiteral("Type a word to search for");
        return result;
    }
    // The hits are chosen and ordered inside one full-text query, so snippets
    // are made for the rows shown only, not for every match.
    QString sql;
    if (!marks) {
        sql = QStringLiteral("SELECT a.path, a.title, a.date, a.available, hits.snippet FROM"
                             " (SELECT rowid AS id, rank AS score,"
                             "  quillet_snippet(pages, :start, :end, 'pages_content', 'page_steps') AS snippet"
                             "  FROM pages WHERE pages MATCH :match ORDER BY rank LIMIT :limit) AS hits"
                             " JOIN archives a ON a.id = hits.id ORDER BY hits.score");
    } else if (!expression.isEmpty()) {
        const QString colourFilter =
            options.colour ? QStringLiteral(" AND rowid IN (SELECT id FROM marks WHERE colour = :colour)") : QString();
        sql = QStringLiteral("SELECT a.path, a.title, a.date, a.available, hits.snippet, m.ord, m.colour,"
                             " m.colour_name, m.sentence FROM"
                             " (SELECT rowid AS id, rank AS score, quillet_snippet(mark_words, :start, :end) AS snippet"
                             "  FROM mark_words"
                             "  WHERE mark_words MATCH :match") +
              colourFilter +
              QStringLiteral(" ORDER BY rank LIMIT :limit) AS hits"
                             " JOIN marks m ON m.id = hits.id JOIN archives a ON a.id = m.archive ORDER BY hits.score");
    } else {
        // Without words: every mark, page by page in page order.
        sql = QStringLiteral("SELECT a.path, a.title, a.date, a.available, m.text, m.ord, m.colour, m.colour_name,"
                             " m.sentence FROM marks m JOIN archives a ON a.id = m.archive") +
              (options.colour ? QStringLiteral(" WHERE m.colour = :colour") : QString()) +
              QStringLiteral(" ORDER BY a.path, m.ord LIMIT :limit");
    }
    QSqlQuery q(m_index.database());
    q.setForwardOnly(true);
    const auto fail = [&result](const QSqlError &error) {
        const LibraryResult failed = LibraryIndex::resultOf(error, QStringLiteral("search"));
        result.error = failed.message;
        result.damaged = failed.kind == LibraryResult::Damaged;
        result.hits.clear();
    };
    if (!q.prepare(sql)) {
        fail(q.lastError());
        return result;
    }
    if (!expression.isEmpty()) {
        q.bindValue(QStringLiteral(":start"), options.hitStart);
        q.bindValue(QStringLiteral(":end"), options.hitEnd);
        q.bindValue(QStringLiteral(":match"), expression);
    }
    if (options.colour)
        q.bindValue(QStringLiteral(":colour"), options.colour->hex());
    q.bindValue(QStringLiteral(":limit"), options.limit);
    if (!q.exec()) {
        const QString text = q.lastError().databaseText();
        if (text.contains(QLatin1String("fts5")))
            result.error = QStringLiteral("The query cannot be searched (%1)").arg(text);
        else
            fail(q.lastError());
        return result;
    }
    while (q.next()) {
        LibraryHit hit = hitFrom(q);
        if (marks) {
            hit.isMark = true;
            hit.markOrder = q.value(5).toInt();
            hit.markColour = q.value(6).toString();
            hit.markColourName = q.value(7).toString();
            hit.markSentence = q.value(8).toString();
        }
        result.hits.append(hit);
    }
    if (q.lastError().isValid())
        fail(q.lastError());
    return result;
}
