// The library against baselines run in the same process: indexing against
// quillet-archive check reading the same files, re-indexing an unchanged
// library against the full index, queries against ripgrep scanning the folder,
// and the indexer's peak memory. Each measurement that needs its own peak
// memory runs in a child process.
//
// Usage: library_bench [FOLDER [INDEX]]   (default: a temporary folder; an
// existing library in FOLDER is used as it is, and so is an existing INDEX:
// then only the queries are measured)

#include "BenchProcess.h"
#include "BenchTiming.h"
#include "archive/MhtmlReader.h"
#include "library/ArchiveDigest.h"
#include "library/LibraryIndex.h"
#include "library/LibraryIndexer.h"
#include "library/LibrarySearch.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int Archives = 2000;

struct Language
{
    const char *charset;
    // Ranked by frequency: word i is drawn with a weight of 1 / (i + 1), as
    // the words of real text are (Zipf's law).
    QStringList words;
    // Words are joined without spaces (Chinese, Japanese).
    bool unspaced = false;
    std::vector<double> cumulative;

    const QString &draw(QRandomGenerator &random) const
    {
        const double u = random.generateDouble() * cumulative.back();
        return words[qsizetype(std::upper_bound(cumulative.begin(), cumulative.end(), u) - cumulative.begin())];
    }
};

constexpr int WordsPerLanguage = 5000;

// The characters a legacy charset encodes in a range of its two-byte codes
// (lead bytes from..to, trail bytes trailFrom..trailTo).
QStringList charactersOf(const char *charset, int from, int to, int trailFrom, int trailTo)
{
    QStringDecoder decoder(charset);
    QStringList characters;
    for (int lead = from; lead <= to; ++lead) {
        for (int trail = trailFrom; trail <= trailTo; ++trail) {
            const char code[] = {char(lead), char(trail)};
            const QString c = decoder.decode(QByteArray(code, 2));
            if (c.size() == 1 && c[0].unicode() >= 0x3040 && c[0] != QChar::ReplacementCharacter)
                characters << c;
        }
    }
    return characters;
}

// A vocabulary of WordsPerLanguage made-up words of syllables (or of
// characters), with the words the queries look for at chosen ranks.
Language language(const char *charset, const QStringList &pieces, int minPieces, int maxPieces, bool unspaced,
                  const QList<QPair<int, QString>> &seeded, QRandomGenerator &random)
{
    Language l{charset, {}, unspaced, {}};
    QSet<QString> taken;
    for (const auto &seed : seeded)
        taken.insert(seed.second);
    while (l.words.size() < WordsPerLanguage) {
        // Frequent words are short, as in real text.
        const int most = l.words.size() < 100 ? minPieces + 1 : maxPieces;
        const int n = minPieces + int(random.bounded(most - minPieces + 1));
        QString word;
        for (int i = 0; i < n; ++i)
            word += pieces[random.bounded(int(pieces.size()))];
        if (!taken.contains(word)) {
            taken.insert(word);
            l.words << word;
        }
    }
    for (const auto &[rank, word] : seeded)
        l.words[rank] = word;
    double sum = 0;
    for (int i = 0; i < WordsPerLanguage; ++i)
        l.cumulative.push_back(sum += 1.0 / (i + 1));
    return l;
}

QList<Language> languages()
{
    QRandomGenerator random(2026);
    const auto split = [](const char *text) { return QString::fromUtf8(text).split(u' '); };
    const QStringList latin = split("ba be bi bo bu da de di do du fa fe fi ka ke ki ko ku la le li lo lu ma me mi "
                                    "mo mu na ne ni no nu pa pe pi po pu ra re ri ro ru sa se si so su ta te ti to "
                                    "tu va ve vi vo za ze zi zo br st tr gr pl an en in on er ar or ul");
    const QStringList cyrillic = split("ба бе би бо бу да де ди до ду ка ке ки ко ку ла ле ли ло лу ма ме ми мо му "
                                       "на не ни но ну па пе пи по пу ра ре ри ро ру са се си со су та те ти то ту "
                                       "ва ве ви во вы за зе зи зо жа жи ша ши ча чи ст тр пр");
    const QStringList kana =
        split("か き く け こ さ し す せ そ た ち つ て と な に ぬ ね の は ひ ふ へ ほ ま み む "
              "め も ら り る れ ろ わ を ん が ぎ ぐ げ ご カ キ ク ケ コ サ シ ス セ ソ タ チ");
    // GB2312's level-1 characters, Shift_JIS's level-1 kanji.
    const QStringList hanzi = charactersOf("GB18030", 0xB0, 0xD7, 0xA1, 0xFE);
    QStringList kanji = charactersOf("Shift_JIS", 0x89, 0x97, 0x40, 0xFC);
    kanji += kana;
    return {
        language("utf-8", latin, 1, 4, false,
                 {{0, QStringLiteral("the")},
                  {60, QStringLiteral("library")},
                  {120, QStringLiteral("page")},
                  {400, QStringLiteral("mountain")},
                  {700, QStringLiteral("river")},
                  {900, QString::fromUtf8("cr\xc3\xa8me")},
                  {1500, QString::fromUtf8("stra\xc3\x9f"
                                           "e")},
                  {2000, QStringLiteral("garden")},
                  {2500, QStringLiteral("window")},
                  {3000, QStringLiteral("music")},
                  {3500, QStringLiteral("science")}},
                 random),
        language(
            "windows-1251", cyrillic, 1, 4, false,
            {{100, QStringLiteral("библиотека")}, {300, QStringLiteral("история")}, {600, QStringLiteral("наука")}},
            random),
        language("gb2312", hanzi, 1, 3, true,
                 {{200, QStringLiteral("中文")}, {400, QStringLiteral("学习")}, {900, QStringLiteral("语法")}}, random),
        language("shift_jis", kanji, 1, 3, true, {{300, QStringLiteral("天気")}, {700, QStringLiteral("東京")}},
                 random),
    };
}

QByteArray base64Lines(const QByteArray &bytes)
{
    const QByteArray b64 = bytes.toBase64();
    QByteArray out;
    out.reserve(b64.size() + b64.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < b64.size(); i += 76)
        out += b64.mid(i, 76) + "\r\n";
    return out;
}

QByteArray quotedPrintable(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size() * 2);
    int column = 0;
    for (const char ch : bytes) {
        const auto c = uchar(ch);
        QByteArray piece;
        if (c == '\n') {
            out += "\r\n";
            column = 0;
            continue;
        }
        if (c == '=' || c >= 0x7F || (c < 0x20 && c != '\t'))
            piece = '=' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        else
            piece = QByteArray(1, char(c));
        if (column + piece.size() > 75) {
            out += "=\r\n";
            column = 0;
        }
        out += piece;
        column += int(piece.size());
    }
    return out;
}

// One archive of about textBytes of page and pictureBytes of pictures.
QByteArray makeArchive(int n, const Language &language, qint64 textBytes, qint64 pictureBytes, bool marked,
                       QRandomGenerator &random)
{
    QString html = QStringLiteral("<html><head><title>Page %1 %2</title></head><body>\n")
                       .arg(n)
                       .arg(language.words[n % language.words.size()]);
    const QString separator = language.unspaced ? QString() : QStringLiteral(" ");
    const qint64 wanted = textBytes / (language.unspaced ? 2 : 1);
    int sentence = 0;
    while (html.size() < wanted) {
        html += QStringLiteral("<p>");
        for (int w = 0; w < 60; ++w) {
            html += language.draw(random) + separator;
            if (w == 30)
                html += QStringLiteral("unique%1x%2 ").arg(n).arg(sentence);
        }
        if (marked && sentence % 7 == 0)
            html +=
                QStringLiteral("<span style=\"background-color: rgb(255, 255, 0);\">marked passage %1</span> ").arg(n);
        html += QStringLiteral(".</p>\n");
        ++sentence;
    }
    html += QStringLiteral("</body></html>\n");
    QStringEncoder encoder(language.charset == QByteArray("gb2312") ? "GB18030" : language.charset);
    const QByteArray page = encoder.encode(html);
    const int transfer = n % 3;
    QByteArray out = "From: <Saved by Blink>\r\nSubject: Page " + QByteArray::number(n) +
                     "\r\nDate: Tue, 14 May 2024 09:30:00 +0200\r\nMIME-Version: 1.0\r\n"
                     "Content-Type: multipart/related; type=\"text/html\"; boundary=\"----=_b\"\r\n\r\n"
                     "------=_b\r\nContent-Type: text/html; charset=" +
                     QByteArray(language.charset) + "\r\nContent-Transfer-Encoding: " +
                     (transfer == 0   ? "quoted-printable"
                      : transfer == 1 ? "base64"
                                      : "8bit") +
                     "\r\nContent-Location: https://bench.test/" + QByteArray::number(n) + "\r\n\r\n";
    out += transfer == 0 ? quotedPrintable(page) : transfer == 1 ? base64Lines(page) : page;
    for (int p = 0; pictureBytes > 0 && p < 3; ++p) {
        QByteArray picture(pictureBytes / 3, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32 *>(picture.data()), picture.size() / 4);
        out += "\r\n------=_b\r\nContent-Type: image/jpeg\r\nContent-Transfer-Encoding: base64\r\n"
               "Content-Location: https://bench.test/" +
               QByteArray::number(n) + "/" + QByteArray::number(p) + ".jpg\r\n\r\n" + base64Lines(picture);
    }
    out += "\r\n------=_b--\r\n";
    return out;
}

qint64 generate(const QString &folder)
{
    QRandomGenerator random(26);
    const QList<Language> langs = languages();
    qint64 total = 0;
    for (int n = 0; n < Archives; ++n) {
        // Pages of 5 KB to 2 MB, most of them small, as real libraries are.
        const double u = random.generateDouble();
        const qint64 text = qint64(5 * 1024 * std::pow(400.0, u * u));
        const qint64 pictures = n % 4 == 0 ? 0 : qint64(random.bounded(400 * 1024));
        const QByteArray bytes = makeArchive(n, langs[n % langs.size()], text, pictures, n % 10 == 0, random);
        const QString sub = QDir(folder).filePath(QStringLiteral("f%1").arg(n % 20));
        QDir().mkpath(sub);
        QFile file(QDir(sub).filePath(QStringLiteral("page%1.mht").arg(n)));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return -1;
        total += bytes.size();
    }
    return total;
}

QStringList archivesIn(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, {QStringLiteral("*.mht")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

QString indexRun(const QString &db, const QString &folder)
{
    LibraryIndex index(db);
    const LibraryResult opened = index.open();
    if (!opened.ok())
        return opened.message;
    const LibraryReport r = LibraryIndexer(index).run({{folder}, {}});
    return QStringLiteral("%1 seen, %2 read, %3 unchanged, %4 not indexed%5")
        .arg(r.seen)
        .arg(r.read)
        .arg(r.unchanged)
        .arg(r.refused.size())
        .arg(r.result.ok() ? QString() : QStringLiteral(" FAILED: ") + r.result.message);
}

// The texts of the archives, taken out once into a file of their own.
QString extractTexts(const QStringList &files, const QString &target)
{
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write %1").arg(target);
    QDataStream stream(&out);
    for (const QString &f : files) {
        const QFileInfo info(f);
        const LibraryEntry e = ArchiveDigest::read(f, info.size(), info.lastModified().toMSecsSinceEpoch());
        stream << e.title << e.text;
    }
    return QStringLiteral("%1 texts, %2 MB").arg(files.size()).arg(out.size() / double(MiB), 0, 'f', 0);
}

// What SQLite alone costs: those texts written into a bare full-text table of
// the index's tokenizer, in the indexer's batches, one transaction each.
QString bareInsert(const QString &texts, const QString &db)
{
    LibraryIndex index(db);
    if (!index.open().ok())
        return QStringLiteral("cannot open %1").arg(db);
    QFile in(texts);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(texts);
    QDataStream stream(&in);
    QSqlQuery query(index.database());
    query.exec(QStringLiteral("CREATE VIRTUAL TABLE bare USING fts5(title, body, tokenize='quillet')"));
    QSqlQuery insert(index.database());
    insert.prepare(QStringLiteral("INSERT INTO bare(title, body) VALUES(?, ?)"));
    qint64 batch = 0;
    int rows = 0;
    query.exec(QStringLiteral("BEGIN IMMEDIATE"));
    while (!stream.atEnd()) {
        QString title, text;
        stream >> title >> text;
        insert.bindValue(0, title);
        insert.bindValue(1, text);
        rows += insert.exec() ? 1 : 0;
        batch += text.size() * 2;
        if (batch >= LibraryIndexer::BatchTextBytes || rows % LibraryIndexer::BatchEntries == 0) {
            query.exec(QStringLiteral("COMMIT"));
            query.exec(QStringLiteral("BEGIN IMMEDIATE"));
            batch = 0;
        }
    }
    query.exec(QStringLiteral("COMMIT"));
    return QStringLiteral("%1 rows").arg(rows);
}

// Where a query's time goes: the full-text match alone, then ranked and cut
// to the first 20, then with their snippets; the rest is the join with the
// archives and building the hits. Medians of 7 runs each, in ms.
void breakdown(LibraryIndex &index, const LibrarySearch &search, const QStringList &queries)
{
    std::printf("  %-20s %7s %8s %8s %8s %8s %8s\n", "query (ms)", "rows", "match", "+rank", "+snippet", "+rest",
                "total");
    for (const QString &q : queries) {
        QString error;
        const QString expression = LibrarySearch::toMatchExpression(q, error);
        const bool marks = q.contains(QLatin1String("marked"));
        const QString table = marks ? QStringLiteral("mark_words") : QStringLiteral("pages");
        const QString content = marks ? QString() : QStringLiteral(", 'pages_content', 'page_steps'");
        const QStringList steps{
            QStringLiteral("SELECT count(*) FROM %1 WHERE %1 MATCH :m").arg(table),
            QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH :m ORDER BY rank LIMIT 20").arg(table),
            QStringLiteral("SELECT rowid, quillet_snippet(%1, '[', ']'%2) FROM %1 WHERE %1 MATCH :m ORDER BY rank "
                           "LIMIT 20")
                .arg(table, content),
        };
        std::vector<double> medians;
        int rows = 0;
        for (const QString &sql : steps) {
            std::vector<double> runs;
            for (int i = 0; i < 7; ++i) {
                runs.push_back(seconds([&] {
                    QSqlQuery query(index.database());
                    query.setForwardOnly(true);
                    query.prepare(sql);
                    query.bindValue(QStringLiteral(":m"), expression);
                    query.exec();
                    while (query.next()) {
                        if (sql.startsWith(QLatin1String("SELECT count")))
                            rows = query.value(0).toInt();
                        else if (sql.contains(QLatin1String("snippet")))
                            query.value(1).toString();
                    }
                }));
            }
            medians.push_back(median(runs));
        }
        LibrarySearchOptions options;
        options.limit = 20;
        options.marksOnly = marks;
        std::vector<double> runs;
        for (int i = 0; i < 7; ++i)
            runs.push_back(seconds([&] { search.find(q, options); }));
        const double total = median(runs);
        std::printf("  %-20s %7d %8.2f %8.2f %8.2f %8.2f %8.2f\n", qPrintable(q), rows, medians[0] * 1000,
                    (medians[1] - medians[0]) * 1000, (medians[2] - medians[1]) * 1000, (total - medians[2]) * 1000,
                    total * 1000);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.filePath(QStringLiteral("library"));
    if (archivesIn(folder).size() < Archives) {
        const double t = seconds([&] {
            const qint64 bytes = generate(folder);
            std::printf("generated %d archives, %.0f MB\n", Archives, bytes / double(MiB));
        });
        std::printf("  in %.1f s\n", t);
    }
    const QStringList files = archivesIn(folder);
    qint64 bytes = 0;
    for (const QString &f : files)
        bytes += QFileInfo(f).size();
    std::printf("library: %lld archives, %.0f MB\n", qlonglong(files.size()), bytes / double(MiB));
    std::fflush(stdout);

    // An index given as the second argument is taken as it is: the queries alone.
    const bool queriesOnly = argc > 2 && QFileInfo::exists(QString::fromLocal8Bit(argv[2]));
    const QString db =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir(temporary.path()).filePath(QStringLiteral("library.sqlite"));
    if (!queriesOnly) {
        // Baselines: the command-line check of every file, and the same reading in one process.
        const double check = seconds([&] {
            for (const QString &f : files)
                runProcess({QUILLET_ARCHIVE_EXE, "check", f.toLocal8Bit()});
        });
        const ChildRun read = inChild([&] {
            int ok = 0;
            MhtmlReader reader;
            reader.setKeepEncoded(true);
            for (const QString &f : files) {
                const MhtmlReadResult r = reader.readFile(f);
                ok += r.ok() && r.archive.totalSize() > 0 ? 1 : 0;
            }
            return QStringLiteral("%1 read").arg(ok);
        });

        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(db + suffix);
        const ChildRun full = inChild([&] { return indexRun(db, folder); });
        const ChildRun again = inChild([&] { return indexRun(db, folder); });
        std::printf("full index: %.1f s (%s), peak memory %.0f MB (goal <= 150)\n", full.seconds,
                    qPrintable(full.report), full.peakMiB);
        std::printf("  vs quillet-archive check of each file: %.1f s, ratio %.2f (goal <= 2)\n", check,
                    full.seconds / check);
        std::printf("  vs reading them in one process: %.1f s (%s), ratio %.2f\n", read.seconds,
                    qPrintable(read.report), full.seconds / read.seconds);
        std::printf("re-index, nothing changed: %.3f s (%s), %.2f%% of the full index (goal <= 2%%)\n", again.seconds,
                    qPrintable(again.report), 100 * again.seconds / full.seconds);
        std::printf("index file: %.0f MB\n",
                    (QFileInfo(db).size() + QFileInfo(db + QStringLiteral("-wal")).size()) / double(MiB));
        std::fflush(stdout);
        const QString texts = temporary.filePath(QStringLiteral("texts.bin"));
        const QString bareDb = temporary.filePath(QStringLiteral("bare.sqlite"));
        const ChildRun extract = inChild([&] { return extractTexts(files, texts); });
        const ChildRun bare = inChild([&] { return bareInsert(texts, bareDb); });
        QFile::remove(texts);
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(bareDb + suffix);
        std::printf("the parts: reading and taking the texts out %.1f s (%s), ratio to check %.2f;\n"
                    "  those texts into a bare full-text table %.1f s (%s), ratio to check %.2f\n",
                    extract.seconds, qPrintable(extract.report), extract.seconds / check, bare.seconds,
                    qPrintable(bare.report), bare.seconds / check);
        std::fflush(stdout);
    }

    // Queries: common and rare words of every script, phrases, prefixes, OR, NOT, marks.
    // "the" is the most frequent word of the Latin pages: nearly every page holds it many times.
    const QString common = QStringLiteral("the");
    const QStringList queries{
        common,
        QStringLiteral("library"),
        QStringLiteral("mountain river"),
        QStringLiteral("\"the library\""),
        QStringLiteral("unique1500x3"),
        QStringLiteral("mount*"),
        QStringLiteral("garden OR window"),
        QStringLiteral("music NOT science"),
        QStringLiteral("библиотека"),
        QStringLiteral("история наука"),
        QStringLiteral("中文"),
        QStringLiteral("学习语法"),
        QStringLiteral("天気"),
        QStringLiteral("東京"),
        QStringLiteral("creme"),
        QStringLiteral("strasse"),
        QStringLiteral("unique42x0"),
        QStringLiteral("\"marked passage\""),
    };
    LibraryIndex index(db);
    if (!index.open().ok())
        return 1;
    const LibrarySearch search(index);
    std::vector<double> times;
    QMap<QString, std::vector<double>> byQuery;
    int hits = 0;
    for (int round = 0; round < 12; ++round) {
        for (const QString &q : queries) {
            LibrarySearchOptions options;
            options.limit = 20;
            options.marksOnly = q.startsWith(u'"') && q.contains(QLatin1String("marked"));
            times.push_back(seconds([&] { hits += int(search.find(q, options).hits.size()); }));
            byQuery[q].push_back(times.back());
        }
    }
    breakdown(index, search, queries);
    for (auto it = byQuery.cbegin(); it != byQuery.cend(); ++it)
        std::printf("  %-20s median %7.2f ms\n", qPrintable(it.key()), median(it.value()) * 1000);
    std::sort(times.begin(), times.end());
    const double p95 = times[size_t(times.size() * 95 / 100)];
    const double p50 = times[times.size() / 2];
    std::printf("queries (the first 20 hits with snippets): %zu runs, median %.2f ms, 95th percentile %.2f ms (goal "
                "<= 20), %d hits\n",
                times.size(), p50 * 1000, p95 * 1000, hits);
    std::vector<double> rare;
    for (auto it = byQuery.cbegin(); it != byQuery.cend(); ++it) {
        if (it.key() != common)
            rare.insert(rare.end(), it.value().begin(), it.value().end());
    }
    std::sort(rare.begin(), rare.end());
    const double p95Rest = rare[size_t(rare.size() * 95 / 100)];
    std::printf("  the common word \"%s\" alone: median %.2f ms; the others: 95th percentile %.2f ms\n",
                qPrintable(common), median(byQuery[common]) * 1000, p95Rest * 1000);
    // A prefix that matches every page through a hundred thousand different words.
    const double widest = seconds([&] { search.find(QStringLiteral("uniq*"), {}); });
    std::printf("  the widest prefix (uniq*, every page): %.0f ms\n", widest * 1000);
    const QString rg = QStandardPaths::findExecutable(QStringLiteral("rg"));
    if (rg.isEmpty()) {
        std::printf("  rg not installed: no ripgrep baseline\n");
        return 0;
    }
    std::vector<double> scans;
    for (const char *word : {"mountain", "unique1500x3", "garden"}) {
        for (int i = 0; i < 3; ++i)
            scans.push_back(runProcess({rg.toLocal8Bit(), "-l", "-i", word, folder.toLocal8Bit()}).seconds);
    }
    const double scan = median(scans);
    std::printf("  rg -l -i WORD over the folder: median %.0f ms; ratio to the query p95 %.0fx (goal >= 50), to the "
                "common word's median %.0fx, to the others' p95 %.0fx\n",
                scan * 1000, scan / p95, scan / median(byQuery[common]), scan / p95Rest);
    return 0;
}
