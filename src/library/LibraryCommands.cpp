#include "library/LibraryCommands.h"

#include "library/ArchiveDigest.h"
#include "library/LibraryIndex.h"
#include "library/LibraryIndexer.h"
#include "library/LibrarySearch.h"
#include "support/ProgramFolder.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

enum ExitCode { Ok = 0, Failed = 1, Usage = 2 };

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int usageError(const QString &message)
{
    print(stderr, message + QStringLiteral("\nSee quillet-archive --help.\n"));
    return Usage;
}

// The options every command shares, and what is left.
struct Arguments
{
    QString db;
    bool marks = false;
    QString colour;
    QString limit;
    QString format;
    QStringList rest;
    QString error;
};

Arguments parse(const QStringList &args, const QStringList &valued, const QStringList &flags)
{
    Arguments a;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (flags.contains(arg)) {
            a.marks = true;
        } else if (valued.contains(arg)) {
            if (i + 1 >= args.size()) {
                a.error = QStringLiteral("%1 needs a value").arg(arg);
                return a;
            }
            const QString value = args[++i];
            if (arg == QLatin1String("--db"))
                a.db = value;
            else if (arg == QLatin1String("--colour") || arg == QLatin1String("--color"))
                a.colour = value;
            else if (arg == QLatin1String("--limit"))
                a.limit = value;
            else
                a.format = value;
        } else if (arg.startsWith(QLatin1String("--")) && arg.size() > 2) {
            a.error = QStringLiteral("Unknown option %1").arg(arg);
            return a;
        } else {
            a.rest << arg;
        }
    }
    return a;
}

// Opens the index named by --db, or the program folder's; says why not on stderr.
bool openIndex(const QString &db, std::unique_ptr<LibraryIndex> &index)
{
    const QString path =
        db.isEmpty() ? ProgramFolder::fromEnvironment().filePath(QLatin1String(LibraryIndex::FileName)) : db;
    index = std::make_unique<LibraryIndex>(path);
    const LibraryResult opened = index->open();
    if (!opened.ok()) {
        print(stderr, opened.message + u'\n');
        return false;
    }
    if (const QString notice = index->takeNotice(); !notice.isEmpty())
        print(stderr, notice + u'\n');
    return true;
}

int indexCommand(const QStringList &args)
{
    const Arguments a = parse(args, {QStringLiteral("--db")}, {});
    if (!a.error.isEmpty())
        return usageError(a.error);
    if (a.rest.isEmpty())
        return usageError(QStringLiteral("index needs a folder or file"));
    LibraryScope scope;
    for (const QString &path : a.rest) {
        const QFileInfo info(path);
        if (info.isDir())
            scope.folders << path;
        else if (info.isFile())
            scope.files << path;
        else
            print(stderr, QStringLiteral("%1: no such file or folder\n").arg(path));
    }
    std::unique_ptr<LibraryIndex> index;
    if (!openIndex(a.db, index))
        return Failed;
    LibraryIndexer indexer(*index);
    if (isatty(STDERR_FILENO)) {
        indexer.setProgress([](int done, int total) {
            print(stderr, u'\r' + LibraryIndexer::progressText(done, total) + (done == total ? u'\n' : u' '));
        });
    }
    const LibraryReport report = indexer.run(scope);
    for (const auto &[path, reason] : report.refused)
        print(stderr, QStringLiteral("%1: not indexed: %2\n").arg(path, reason));
    if (!report.notice.isEmpty())
        print(stderr, report.notice + u'\n');
    print(stdout, QStringLiteral("%1 archives: %2 read, %3 unchanged, %4 not indexed, %5 removed, %6 unavailable\n")
                      .arg(report.seen)
                      .arg(report.read)
                      .arg(report.unchanged)
                      .arg(report.refused.size())
                      .arg(report.removed)
                      .arg(report.unavailable));
    if (!report.result.ok()) {
        print(stderr, report.result.message + u'\n');
        return Failed;
    }
    return Ok;
}

int searchCommand(const QStringList &args)
{
    const Arguments a = parse(
        args,
        {QStringLiteral("--db"), QStringLiteral("--colour"), QStringLiteral("--color"), QStringLiteral("--limit")},
        {QStringLiteral("--marks")});
    if (!a.error.isEmpty())
        return usageError(a.error);
    LibrarySearchOptions options;
    options.marksOnly = a.marks;
    if (!a.colour.isEmpty()) {
        options.colour = MarkColour::fromUserText(a.colour);
        if (!options.colour)
            return usageError(
                QStringLiteral("Unknown colour %1: give a colour of the grid (yellow, dark red, ...) or #rrggbb")
                    .arg(a.colour));
    }
    if (!a.limit.isEmpty()) {
        bool ok = false;
        options.limit = a.limit.toInt(&ok);
        if (!ok || options.limit <= 0)
            return usageError(QStringLiteral("--limit needs a positive number"));
    }
    std::unique_ptr<LibraryIndex> index;
    if (!openIndex(a.db, index))
        return Failed;
    const LibrarySearchResult found = LibrarySearch(*index).find(a.rest.join(u' '), options);
    if (found.damaged) {
        // Made anew now; the next index run fills it again.
        const LibraryResult rebuilt = index->rebuild(found.error);
        print(stderr,
              (rebuilt.ok() ? index->takeNotice() : rebuilt.message) + QStringLiteral(": run quillet-archive index\n"));
        return Failed;
    }
    if (!found.ok()) {
        print(stderr, found.error + u'\n');
        return Usage;
    }
    QString out;
    for (const LibraryHit &hit : found.hits) {
        out += hit.path + u'\t' + hit.title + u'\t' + hit.snippet;
        if (hit.isMark)
            out += u'\t' + (hit.markColourName.isEmpty() ? hit.markColour : hit.markColourName);
        out += u'\n';
    }
    print(stdout, out);
    // As grep: 1 when nothing was found.
    return found.hits.isEmpty() ? Failed : Ok;
}

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QLatin1String("\"\""));
    return u'"' + quoted + u'"';
}

QString markdownText(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (QStringLiteral("\\`*_{}[]<>#|~").contains(c))
            out += u'\\';
        out += c;
    }
    return out;
}

QString colourOf(const LibraryMark &m)
{
    return m.colourName.isEmpty() ? m.colour : QStringLiteral("%1 %2").arg(m.colourName, m.colour);
}

QStringList formatsOf(const LibraryMark &m)
{
    QStringList formats;
    if (m.bold)
        formats << QStringLiteral("bold");
    if (m.italic)
        formats << QStringLiteral("italic");
    if (m.underline)
        formats << QStringLiteral("underline");
    return formats;
}

int marksCommand(const QStringList &args)
{
    const Arguments a = parse(args, {QStringLiteral("--format")}, {});
    if (!a.error.isEmpty())
        return usageError(a.error);
    const QString format = a.format.isEmpty() ? QStringLiteral("text") : a.format;
    if (!QStringList{QStringLiteral("text"), QStringLiteral("markdown"), QStringLiteral("csv"), QStringLiteral("json")}
             .contains(format))
        return usageError(QStringLiteral("Unknown format %1: text, markdown, csv or json").arg(format));
    if (a.rest.size() != 1)
        return usageError(QStringLiteral("marks needs one archive"));
    const QFileInfo info(a.rest[0]);
    const LibraryEntry entry = ArchiveDigest::read(a.rest[0], info.size(), 0);
    if (!entry.indexed) {
        print(stderr, QStringLiteral("%1: %2\n").arg(a.rest[0], entry.reason));
        return Failed;
    }
    QString out;
    if (format == QLatin1String("json")) {
        QJsonArray marks;
        for (const LibraryMark &m : entry.marks)
            marks.append(QJsonObject{{QStringLiteral("order"), m.order + 1},
                                     {QStringLiteral("text"), m.text},
                                     {QStringLiteral("colour"), m.colour},
                                     {QStringLiteral("colourName"), m.colourName},
                                     {QStringLiteral("bold"), m.bold},
                                     {QStringLiteral("italic"), m.italic},
                                     {QStringLiteral("underline"), m.underline},
                                     {QStringLiteral("sentence"), m.sentence}});
        const QJsonObject document{{QStringLiteral("path"), entry.path},
                                   {QStringLiteral("title"), entry.title},
                                   {QStringLiteral("marks"), marks}};
        out = QString::fromUtf8(QJsonDocument(document).toJson());
    } else if (format == QLatin1String("csv")) {
        out = QStringLiteral("order,colour,colour name,bold,italic,underline,text,sentence\r\n");
        for (const LibraryMark &m : entry.marks)
            out += QStringList{QString::number(m.order + 1),
                               m.colour,
                               csvField(m.colourName),
                               QString::number(m.bold),
                               QString::number(m.italic),
                               QString::number(m.underline),
                               csvField(m.text),
                               csvField(m.sentence)}
                       .join(u',') +
                   QStringLiteral("\r\n");
    } else if (format == QLatin1String("markdown")) {
        out = QStringLiteral("# Marks of %1\n\n")
                  .arg(markdownText(entry.title.isEmpty() ? info.fileName() : entry.title));
        for (const LibraryMark &m : entry.marks) {
            const QStringList formats = formatsOf(m);
            out += QStringLiteral("%1. **%2**%3: %4\n")
                       .arg(QString::number(m.order + 1), colourOf(m),
                            formats.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(formats.join(u", ")),
                            markdownText(m.text));
            if (m.sentence != m.text)
                out += QStringLiteral("   > %1\n").arg(markdownText(m.sentence));
        }
    } else {
        for (const LibraryMark &m : entry.marks) {
            const QStringList formats = formatsOf(m);
            out += QStringLiteral("%1\t%2%3\t%4\n\t%5\n")
                       .arg(QString::number(m.order + 1), colourOf(m),
                            formats.isEmpty() ? QString() : u' ' + formats.join(u','), m.text, m.sentence);
        }
    }
    print(stdout, out);
    return Ok;
}

} // namespace

std::optional<int> LibraryCommands::run(const QString &name, const QStringList &args)
{
    if (name == QLatin1String("index"))
        return indexCommand(args);
    if (name == QLatin1String("search"))
        return searchCommand(args);
    if (name == QLatin1String("marks"))
        return marksCommand(args);
    return std::nullopt;
}

QStringList LibraryCommands::synopses()
{
    return {
        QStringLiteral("index [--db FILE] PATH...  add archives to the library index (folders searched through)"),
        QStringLiteral("search [--db FILE] [--marks] [--colour NAME|#rrggbb] [--limit N] QUERY\n"
                       "                 find archives: words, \"a phrase\", prefix*, OR, NOT; exit code 1 if none"),
        QStringLiteral("marks [--format text|markdown|csv|json] FILE  the marks of an archive, in order"),
    };
}
