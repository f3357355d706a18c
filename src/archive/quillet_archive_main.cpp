// quillet-archive: the archive reader and writer from the command line, for
// users, scripts, benchmarks and black-box checks.

#include "archive/MhtmlReader.h"
#include "archive/MhtmlWriter.h"
#include "library/LibraryCommands.h"
#include "support/AtomicFile.h"
#include "support/ConsoleDialogs.h"
#include "support/PathUtils.h"
#include "support/ScriptStripper.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

enum ExitCode { Ok = 0, BrokenInput = 1, Usage = 2 };

// An OUT that replaces a file is on the disk before it takes its name; a new
// one is written as cp writes it, its input still there to write it again.
constexpr AtomicFile::Durability OutputDurability = AtomicFile::Durability::WhenReplacing;

struct Command
{
    QString name;
    int arguments = 0;
    QString synopsis;
    // The archive a command reads is main's, so that it is never taken apart.
    std::function<int(const QStringList &, MhtmlArchive &)> run;
};

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

QString usage(const QList<Command> &commands)
{
    QString text = QStringLiteral("Usage: quillet-archive COMMAND ARGUMENTS\n\nCommands:\n");
    for (const Command &c : commands)
        text += QStringLiteral("  %1\n").arg(c.synopsis);
    for (const QString &synopsis : LibraryCommands::synopses())
        text += QStringLiteral("  %1\n").arg(synopsis);
    text += QStringLiteral("\nExit codes: 0 success, 1 the archive could not be read or written, 2 wrong usage.\n");
    return text;
}

// Reads an archive or says on stderr why it cannot. Every command takes this
// one verdict; parts stay encoded, so a resave copies what it can.
bool load(const QString &path, MhtmlArchive &archive,
          MhtmlReader::PartHeaders partHeaders = MhtmlReader::PartHeaders::All)
{
    MhtmlReader reader;
    reader.setKeepEncoded(true);
    reader.setPartHeaders(partHeaders);
    MhtmlReadResult result = reader.readFile(path);
    if (!result.ok()) {
        print(stderr, result.error + u'\n');
        return false;
    }
    archive = std::move(result.archive);
    return true;
}

// A header value as it is, cut with an ellipsis when it would flood the screen.
QString shown(const QString &value)
{
    constexpr qsizetype Longest = 200;
    return value.size() <= Longest ? value : value.left(Longest) + QChar(0x2026);
}

QString shown(const QByteArray &value)
{
    return shown(QString::fromUtf8(value));
}

int info(const QStringList &args, MhtmlArchive &archive)
{
    if (!load(args[0], archive))
        return BrokenInput;
    QString out;
    // Values go in through one arg() call each, so a "%1" inside a value stays as it is.
    out += QStringLiteral("Subject: %1\n").arg(shown(archive.subject));
    out += QStringLiteral("Snapshot-Content-Location: %1\n").arg(shown(archive.snapshotLocation));
    out += QStringLiteral("Parts: %1 (%2 bytes decoded)\n")
               .arg(QString::number(archive.parts.size()), QString::number(archive.totalSize()));
    for (qsizetype i = 0; i < archive.parts.size(); ++i) {
        const MhtmlPart &p = archive.parts[i];
        QByteArray type = p.contentType;
        if (!p.charset.isEmpty())
            type += "; charset=" + p.charset;
        out += QStringLiteral("%1%2\t%3\t%4 bytes\t%5\t%6\t%7\n")
                   .arg(QString::number(i), i == archive.rootIndex ? QStringLiteral(" root") : QString(), shown(type),
                        QString::number(p.decodedSize()),
                        p.transferEncoding.isEmpty() ? QStringLiteral("-") : shown(p.transferEncoding),
                        p.contentLocation.isEmpty() ? QStringLiteral("-") : shown(p.contentLocation),
                        p.contentId.isEmpty() ? QString() : u'<' + shown(p.contentId) + u'>');
    }
    print(stdout, out);
    return Ok;
}

int html(const QStringList &args, MhtmlArchive &archive)
{
    if (!load(args[0], archive))
        return BrokenInput;
    print(stdout, archive.rootHtml());
    return Ok;
}

int check(const QStringList &args, MhtmlArchive &)
{
    const MhtmlCheckResult result = MhtmlReader().checkFile(args[0]);
    if (!result.ok()) {
        print(stderr, result.error + u'\n');
        return BrokenInput;
    }
    print(stdout, QStringLiteral("%1: ok, %2 parts, %3 bytes\n")
                      .arg(args[0], QString::number(result.parts), QString::number(result.size)));
    return Ok;
}

int resave(const QStringList &args, MhtmlArchive &archive)
{
    // The writer writes a part's type, encoding, location and id anew.
    if (!load(args[0], archive, MhtmlReader::PartHeaders::Location))
        return BrokenInput;
    const QString error = WriteFileAtomically(
                              args[1], [&](QIODevice &device) { return MhtmlWriter().write(archive, device).error; },
                              OutputDurability)
                              .error;
    if (!error.isEmpty()) {
        print(stderr, QStringLiteral("Cannot write %1: %2\n").arg(args[1], error));
        return BrokenInput;
    }
    return Ok;
}

int stripScripts(const QStringList &args, MhtmlArchive &)
{
    const QString &in = args[0];
    const QString &out = args[1];
    // Replacing OUT would delete IN itself, however the two are spelled.
    if (in == out || SameFile(in, out)) {
        print(stderr, QStringLiteral("IN and OUT must be different files\n"));
        return Usage;
    }
    // A device such as /dev/null is written to as it is; a file only
    // through a temporary one beside it, renamed into place once the whole
    // page is stripped, so a failed run leaves OUT as it was.
    ConsoleDialogs dialogs;
    std::optional<int> removed;
    bool told = false;
    const auto strip = [&](QIODevice &device) {
        try {
            removed = StripScriptBlocks(in, device, dialogs);
        } catch (const std::exception &error) {
            return QString::fromStdString(error.what());
        }
        // When it stops, the stripper has said why on stderr.
        told = !removed;
        return removed ? QString() : QStringLiteral("the page was not stripped");
    };
    QString error;
    if (QFileInfo(out).exists() && !QFileInfo(out).isFile()) {
        QFile device(out);
        error = device.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ? strip(device) : device.errorString();
    } else {
        error = WriteFileAtomically(out, strip, OutputDurability).error;
    }
    if (!error.isEmpty()) {
        if (!told)
            print(stderr, QStringLiteral("Cannot write %1: %2\n").arg(out, error));
        return BrokenInput;
    }
    print(stderr, QStringLiteral("%1 scripts removed\n").arg(*removed));
    return Ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QList<Command> commands{
        {QStringLiteral("info"), 1, QStringLiteral("info FILE        parts, types, sizes and locations"), info},
        {QStringLiteral("html"), 1, QStringLiteral("html FILE        the root document's HTML, to stdout"), html},
        {QStringLiteral("check"), 1, QStringLiteral("check FILE       validate; exit code 1 and a message if broken"),
         check},
        {QStringLiteral("resave"), 2, QStringLiteral("resave IN OUT    read IN and write it again as OUT"), resave},
        {QStringLiteral("strip-scripts"), 2,
         QStringLiteral("strip-scripts IN OUT  IN (HTML) without its script blocks as OUT; the count on stderr"),
         stripScripts},
    };
    QStringList args = app.arguments().mid(1);
    if (args.size() == 1 &&
        (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h") || args[0] == QLatin1String("help"))) {
        print(stdout, usage(commands));
        return Ok;
    }
    if (!args.isEmpty()) {
        const QString name = args.takeFirst();
        if (const std::optional<int> code = LibraryCommands::run(name, args))
            return *code;
        for (const Command &c : commands) {
            if (c.name == name && args.size() == c.arguments) {
                MhtmlArchive archive;
                const int code = c.run(args, archive);
                // The parts of a large archive are many small blocks; freeing
                // them one by one took as long as reading them. The system
                // takes all of the memory back at once.
                std::fflush(stdout);
                std::fflush(stderr);
                std::_Exit(code);
            }
        }
    }
    print(stderr, usage(commands));
    return Usage;
}
