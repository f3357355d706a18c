// quillet-archive: the archive reader and writer from the command line, for
// users, scripts, benchmarks and black-box checks.

#include "archive/MhtmlReader.h"
#include "archive/MhtmlWriter.h"
#include "library/LibraryCommands.h"
#include "support/ConsoleDialogs.h"
#include "support/PathUtils.h"
#include "support/ScriptStripper.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <functional>

namespace {

enum ExitCode { Ok = 0, BrokenInput = 1, Usage = 2 };

struct Command
{
    QString name;
    int arguments = 0;
    QString synopsis;
    std::function<int(const QStringList &)> run;
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
bool load(const QString &path, MhtmlArchive &archive)
{
    MhtmlReader reader;
    reader.setKeepEncoded(true);
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

int info(const QStringList &args)
{
    MhtmlArchive archive;
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

int html(const QStringList &args)
{
    MhtmlArchive archive;
    if (!load(args[0], archive))
        return BrokenInput;
    print(stdout, archive.rootHtml());
    return Ok;
}

int check(const QStringList &args)
{
    MhtmlArchive archive;
    if (!load(args[0], archive))
        return BrokenInput;
    print(stdout, QStringLiteral("%1: ok, %2 parts, %3 bytes\n")
                      .arg(args[0], QString::number(archive.parts.size()), QString::number(archive.totalSize())));
    return Ok;
}

int resave(const QStringList &args)
{
    MhtmlArchive archive;
    if (!load(args[0], archive))
        return BrokenInput;
    const MhtmlWriteResult written = MhtmlWriter().writeFile(archive, args[1]);
    if (!written.ok()) {
        print(stderr, written.error + u'\n');
        return BrokenInput;
    }
    return Ok;
}

int stripScripts(const QStringList &args)
{
    const QString &in = args[0];
    const QString &out = args[1];
    // Replacing OUT would delete IN itself, however the two are spelled.
    if (in == out || SameFile(in, out)) {
        print(stderr, QStringLiteral("IN and OUT must be different files\n"));
        return Usage;
    }
    // The pieces are appended: a file left from an earlier run must not stay
    // in front. Only a regular file is replaced; a device such as /dev/null
    // is written to as it is.
    const bool regularOut = !QFileInfo(out).exists() || QFileInfo(out).isFile();
    if (regularOut && QFileInfo(out).exists() && !QFile::remove(out)) {
        print(stderr, QStringLiteral("Cannot replace %1\n").arg(out));
        return BrokenInput;
    }
    ConsoleDialogs dialogs;
    std::optional<int> removed;
    try {
        removed = StripScriptBlocks(in, out, dialogs);
    } catch (const std::exception &error) {
        print(stderr, QString::fromStdString(error.what()) + u'\n');
    }
    if (!removed || !QFileInfo::exists(out)) {
        if (regularOut)
            QFile::remove(out);
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
            if (c.name == name && args.size() == c.arguments)
                return c.run(args);
        }
    }
    print(stderr, usage(commands));
    return Usage;
}
