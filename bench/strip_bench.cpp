// Times the script stripper on a 1 GB page body with 10,000 script blocks
// against `cat` of the same file to /dev/null, measured in the same run, and
// reports how far the stripper raises the process's peak memory.
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

template <typename F> double bestSeconds(int runs, F &&run)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!run())
            return -1;
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
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
    const QByteArray cat = "cat '" + QFile::encodeName(in) + "' > /dev/null";
    const QString sink = QStringLiteral("/dev/null");
    bool countsRight = true;
    auto strip = [&](const QString &target) {
        // Never remove the sink: as root that would delete the device.
        if (target != sink)
            QFile::remove(target);
        const std::optional<int> count = StripScriptBlocks(in, target, dialogs);
        countsRight = countsRight && count == blocks;
        return count.has_value();
    };

    // Warm the page cache so both sides read from memory.
    if (std::system(cat.constData()) != 0)
        return 1;
    const int runs = 3;
    const double catSeconds = bestSeconds(runs, [&] { return std::system(cat.constData()) == 0; });
    const qint64 baselineKiB = statusKiB("VmRSS:");
    const bool peakReset = resetPeak();
    const double nullSeconds = bestSeconds(runs, [&] { return strip(sink); });
    const double fileSeconds = bestSeconds(runs, [&] { return strip(out); });
    const qint64 peakKiB = statusKiB("VmHWM:");
    const bool bytesRight = QFile(out).size() == expected;
    QFile::remove(out);
    QFile::remove(in);

    std::printf("input: %lld MiB, %d script blocks; best of %d runs\n", megabytes, blocks, runs);
    std::printf("cat IN > /dev/null          %8.3f s  (baseline)\n", catSeconds);
    std::printf("strip IN to /dev/null       %8.3f s  ratio %.2f\n", nullSeconds, nullSeconds / catSeconds);
    std::printf("strip IN to a file          %8.3f s  ratio %.2f\n", fileSeconds, fileSeconds / catSeconds);
    std::printf("peak memory growth          %8lld KiB (baseline RSS %lld KiB%s)\n", peakKiB - baselineKiB, baselineKiB,
                peakReset ? "" : "; peak not reset, figure is an upper bound");
    std::printf("blocks counted right: %s, output size right: %s\n", countsRight ? "yes" : "NO",
                bytesRight ? "yes" : "NO");
    return countsRight && bytesRight ? 0 : 1;
}
