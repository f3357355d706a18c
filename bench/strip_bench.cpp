// Times the script stripper on a 1 GB page body with 10,000 script blocks
// against `cat` of the same file, measured in the same run: in this process
// to /dev/null against `cat IN > /dev/null` (the scan alone), and
// `quillet-archive strip-scripts IN OUT` to a new OUT against `cat IN > OUT`
// to a new OUT (the same bytes read and written on the same disk), and over
// an existing OUT, which it syncs before its rename, against that copy
// synced to the disk. Also reports how far the stripper raises the
// process's peak memory.
// Usage: strip_bench [megabytes] [blocks]   (the input lives in a temporary
// folder for the run only)

#include "BenchTiming.h"
#include "support/ConsoleDialogs.h"
#include "support/ScriptStripper.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// A body of ordinary paragraphs with the blocks spread evenly, written a
// megabyte at a time so that generating it costs no memory worth noting.
bool writeBody(const QString &path, qint64 bytes, int blocks, qint64 &stripped)
{
    const QByteArray paragraph = "<p class=\"x\">The quick brown fox jumps over the lazy dog &amp; a &lt; b.</p>\r\n";
    const QByteArray script = "<script type=\"text/javascript\">var a = 1; if (a < 2) { a = 3; }</script>";
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const qint64 stride = bytes / (blocks + 1);
    QByteArray chunk;
    qint64 written = 0;
    stripped = 0;
    for (int block = 0; block <= blocks; ++block) {
        const qint64 end = block == blocks ? bytes : stride * (block + 1);
        while (written < end) {
            chunk.clear();
            while (chunk.size() < MiB && written + chunk.size() + paragraph.size() <= end)
                chunk += paragraph;
            if (chunk.isEmpty())
                chunk = QByteArray(end - written, ' ');
            if (out.write(chunk) != chunk.size())
                return false;
            written += chunk.size();
            stripped += chunk.size();
        }
        if (block < blocks) {
            if (out.write(script) != script.size())
                return false;
            written += script.size();
        }
    }
    return true;
}

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Resets the peak resident size to the current one, so the next peak is the
// stripper's own.
bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

// Appends the wall seconds of one run of work; false when it failed.
template <typename F> bool timed(std::vector<double> &times, F &&work)
{
    QElapsedTimer timer;
    timer.start();
    const bool ok = work();
    times.push_back(timer.nsecsElapsed() / 1e9);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? std::atoll(argv[1]) : 1024;
    const int blocks = argc > 2 ? std::atoi(argv[2]) : 10000;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString in = dir.filePath(QStringLiteral("body.htm"));
    const QString out = dir.filePath(QStringLiteral("stripped.htm"));
    qint64 expected = 0;
    if (!writeBody(in, megabytes * MiB, blocks, expected)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(in));
        return 1;
    }
    ConsoleDialogs dialogs;
    const QByteArray quotedIn = "'" + QFile::encodeName(in) + "'";
    const QByteArray quotedOut = "'" + QFile::encodeName(out) + "'";
    const QByteArray cat = "cat " + quotedIn + " > /dev/null";
    const QByteArray catToFile = "cat " + quotedIn + " > " + quotedOut;
    const QByteArray catAndSync = catToFile + " && sync " + quotedOut;
    const QByteArray tool =
        QByteArray(QUILLET_ARCHIVE_EXE) + " strip-scripts " + quotedIn + " " + quotedOut + " 2>/dev/null";
    const QString sink = QStringLiteral("/dev/null");
    bool countsRight = true;
    const auto stripToNull = [&] {
        const std::optional<int> count = StripScriptBlocks(in, sink, dialogs);
        countsRight = countsRight && count == blocks;
        return count.has_value();
    };
    const auto shell = [](const QByteArray &command) {
        return [command] { return std::system(command.constData()) == 0; };
    };

    // Warm the page cache so every run reads from memory.
    if (std::system(cat.constData()) != 0)
        return 1;
    const int runs = 3;
    const qint64 baselineKiB = statusKiB("VmRSS:");
    const bool peakReset = resetPeak();
    std::vector<double> catNull, strip, catFile, catSync, toolFile, toolReplacing;
    bool ok = true;
    // OUT of the run before goes, untimed, so the next writer writes a new file.
    const auto removeOut = [&] {
        QFile::remove(out);
        return true;
    };
    // Interleaved, so a busy machine slows every side alike.
    for (int i = 0; i < runs && ok; ++i) {
        ok = timed(catNull, shell(cat)) && timed(strip, stripToNull) && removeOut() &&
             timed(catFile, shell(catToFile)) && removeOut() && timed(toolFile, shell(tool)) &&
             timed(toolReplacing, shell(tool)) && timed(catSync, shell(catAndSync));
    }
    const qint64 peakKiB = statusKiB("VmHWM:");
    // The tool's OUT of the last run was replaced by the copies after it: run it once more to check its bytes.
    ok = ok && std::system(tool.constData()) == 0;
    const bool bytesRight = QFile(out).size() == expected;
    QFile::remove(out);
    QFile::remove(in);

    std::printf("input: %lld MiB, %d script blocks; medians of %d runs%s\n", megabytes, blocks, runs,
                ok ? "" : " (A RUN FAILED)");
    std::printf("cat IN > /dev/null              %8.3f s  (baseline)\n", median(catNull));
    std::printf("strip IN to /dev/null           %8.3f s  ratio %.2f\n", median(strip),
                median(strip) / median(catNull));
    std::printf("cat IN > OUT                    %8.3f s  (baseline)\n", median(catFile));
    std::printf("cat IN > OUT, then sync OUT     %8.3f s  (baseline)\n", median(catSync));
    std::printf("strip-scripts to a new OUT      %8.3f s  ratio %.2f to cat\n", median(toolFile),
                median(toolFile) / median(catFile));
    std::printf("strip-scripts replacing OUT     %8.3f s  ratio %.2f to cat, %.2f to cat and sync\n",
                median(toolReplacing), median(toolReplacing) / median(catFile),
                median(toolReplacing) / median(catSync));
    std::printf("peak memory growth              %8lld KiB (baseline RSS %lld KiB%s)\n", peakKiB - baselineKiB,
                baselineKiB, peakReset ? "" : "; peak not reset, figure is an upper bound");
    std::printf("blocks counted right: %s, output size right: %s\n", countsRight ? "yes" : "NO",
                bytesRight ? "yes" : "NO");
    return countsRight && bytesRight ? 0 : 1;
}
