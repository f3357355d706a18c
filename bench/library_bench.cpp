// The library against baselines run in the same process: indexing against
// quillet-archive check reading the same files, re-indexing an unchanged
// library against the full index, queries against ripgrep scanning the folder,
// and the indexer's peak memory. Each measurement that needs its own peak
// memory runs in a child process.
//
// Usage: library_bench [FOLDER]   (default: a temporary folder; an existing
// library in FOLDER is used as it is)

#include "BenchProcess.h"
#include "BenchTiming.h"
#include "archive/MhtmlReader.h"
#include "library/LibraryIndex.h"
#include "library/LibraryIndexer.h"
#include "library/LibrarySearch.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

constexpr int Archives = 2000;

struct Language
{
    const char *charset;
    QStringList words;
    // Words are joined without spaces (Chinese, Japanese).
    bool unspaced = false;
};

QList<Language> languages()
{
    const auto split = [](const char *text) { return QString::fromUtf8(text).split(u' '); };
    return {
        {"utf-8",
         split("the library keeps every page and every passage marked in it search finds words quickly across "
               "thousands of archives written by browsers over many years caf\xc3\xa9 cr\xc3\xa8me na\xc3\xafve "
               "\xc3\xbc"
               "ber stra\xc3\x9f"
               "e garden river mountain window letter history science music")},
        {"windows-1251", split("библиотека хранит каждую страницу поиск находит слова быстро среди тысяч архивов "
                               "история наука музыка город река гора окно письмо время")},
        {"gb2312",
         split("图书馆 保存 每个 页面 搜索 快速 找到 文字 历史 科学 音乐 城市 河流 山 窗口 信件 时间 中文 "
               "学习 语法"),
         true},
        {"shift_jis", split("図書館 ページ 検索 言葉 歴史 科学 音楽 都市 川 山 窓 手紙 時間 天気 東京 晴れ 雨"), true},
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
            html += language.words[random.bounded(int(language.words.size()))] + separator;
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

    const QString db = QDir(temporary.path()).filePath(QStringLiteral("library.sqlite"));
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(db + suffix);
    const ChildRun full = inChild([&] { return indexRun(db, folder); });
    const ChildRun again = inChild([&] { return indexRun(db, folder); });
    std::printf("full index: %.1f s (%s), peak memory %.0f MB (goal <= 150)\n", full.seconds, qPrintable(full.report),
                full.peakMiB);
    std::printf("  vs quillet-archive check of each file: %.1f s, ratio %.2f (goal <= 2)\n", check,
                full.seconds / check);
    std::printf("  vs reading them in one process: %.1f s (%s), ratio %.2f\n", read.seconds, qPrintable(read.report),
                full.seconds / read.seconds);
    std::printf("re-index, nothing changed: %.3f s (%s), %.2f%% of the full index (goal <= 2%%)\n", again.seconds,
                qPrintable(again.report), 100 * again.seconds / full.seconds);
    std::printf("index file: %.0f MB\n",
                (QFileInfo(db).size() + QFileInfo(db + QStringLiteral("-wal")).size()) / double(MiB));
    std::fflush(stdout);

    // Queries: common and rare words of every script, phrases, prefixes, OR, NOT, marks.
    const QStringList queries{
        QStringLiteral("library"),
        QStringLiteral("mountain river"),
        QStringLiteral("\"every page\""),
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
    for (auto it = byQuery.cbegin(); it != byQuery.cend(); ++it)
        std::printf("  %-20s median %7.2f ms\n", qPrintable(it.key()), median(it.value()) * 1000);
    std::sort(times.begin(), times.end());
    const double p95 = times[size_t(times.size() * 95 / 100)];
    const double p50 = times[times.size() / 2];
    std::printf("queries (the first 20 hits with snippets): %zu runs, median %.2f ms, 95th percentile %.2f ms (goal "
                "<= 20), %d hits\n",
                times.size(), p50 * 1000, p95 * 1000, hits);
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
    std::printf("  rg -l -i WORD over the folder: median %.0f ms; ratio to the query p95 %.0fx (goal >= 50)\n",
                scan * 1000, scan / p95);
    return 0;
}
