// Times reading and writing web archives against a plain copy of the same
// bytes made in the same run, so the ratio means something on a busy machine.
// Each measurement runs in a child process so its peak memory is its own.

#include "BenchArchive.h"
#include "BenchProcess.h"
#include "BenchTiming.h"
#include "archive/MhtmlReader.h"
#include "archive/MhtmlWriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

bool copyFile(const QString &from, const QString &to)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    QByteArray buffer(MiB, Qt::Uninitialized);
    while (true) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n <= 0)
            return n == 0;
        if (out.write(buffer.constData(), n) != n)
            return false;
    }
}

void scenario(const QString &name, const QString &folder, qint64 htmlBytes, qint64 imageBytes, int images, int runs)
{
    const QString archivePath = QDir(folder).filePath(name + QStringLiteral(".mht"));
    const QString outPath = QDir(folder).filePath(name + QStringLiteral("-out.mht"));
    const QString copyPath = QDir(folder).filePath(name + QStringLiteral("-copy.mht"));

    const ChildRun write = inChild([&] {
        const MhtmlArchive archive = makeBenchArchive(htmlBytes, imageBytes, images);
        const double t = bestOf(runs, [&] { writeArchiveFile(archive, archivePath); });
        const double copy = bestOf(runs, [&] { copyFile(archivePath, copyPath); });
        return QStringLiteral("%1 write: %2 s, file copy %3 s, ratio %4, archive %5 MB on disk")
            .arg(name)
            .arg(t, 0, 'f', 3)
            .arg(copy, 0, 'f', 3)
            .arg(t / copy, 0, 'f', 1)
            .arg(QFileInfo(archivePath).size() / double(MiB), 0, 'f', 1);
    });
    std::printf("%s, peak memory %.0f MB\n", qPrintable(write.report), write.peakMiB);

    const ChildRun read = inChild([&] {
        const MhtmlReader reader;
        bool ok = true;
        const double t = bestOf(runs, [&] { ok = reader.readFile(archivePath).ok() && ok; });
        const double copy = bestOf(runs, [&] { copyFile(archivePath, copyPath); });
        return QStringLiteral("%1 read: %2 s, file copy %3 s, ratio %4%5")
            .arg(name)
            .arg(t, 0, 'f', 3)
            .arg(copy, 0, 'f', 3)
            .arg(t / copy, 0, 'f', 1)
            .arg(ok ? QString() : QStringLiteral(" (READ FAILED)"));
    });
    std::printf("%s, peak memory %.0f MB\n", qPrintable(read.report), read.peakMiB);

    const ChildRun resave = inChild([&] {
        const double t = bestOf(runs, [&] {
            const MhtmlReadResult r = MhtmlReader().readFile(archivePath);
            writeArchiveFile(r.archive, outPath);
        });
        const double copy = bestOf(runs, [&] { copyFile(archivePath, copyPath); });
        return QStringLiteral("%1 read+write: %2 s, file copy %3 s, ratio %4")
            .arg(name)
            .arg(t, 0, 'f', 3)
            .arg(copy, 0, 'f', 3)
            .arg(t / copy, 0, 'f', 1);
    });
    std::printf("%s, peak memory %.0f MB\n", qPrintable(resave.report), resave.peakMiB);
    std::fflush(stdout);
}

// The command-line tool against cp and cat of the same file, runs
// interleaved so a busy machine slows both alike. Both start a process, so
// both pay for one. A resave to a new name leaves the writing to the disk to
// the system, as cp does; one that replaces a file syncs it before its
// rename, so it is set beside a copy followed by a sync of it.
void wholeProcesses(const QString &archivePath, const QString &folder, const char *tool, int runs)
{
    const QByteArray archive = archivePath.toLocal8Bit();
    const QString outPath = QDir(folder).filePath(QStringLiteral("resaved.mht"));
    const QString copyPath = QDir(folder).filePath(QStringLiteral("copied.mht"));
    const QByteArray out = outPath.toLocal8Bit();
    const QByteArray copy = copyPath.toLocal8Bit();
    const QByteArray copyAndSync = "cp '" + archive + "' '" + copy + "' && sync '" + copy + "'";
    const double fileMiB = QFileInfo(archivePath).size() / double(MiB);
    std::vector<double> resave, cp, replace, cpSync, check, cat;
    long resavePeak = 0;
    long checkPeak = 0;
    bool ok = true;
    for (int i = 0; i < runs; ++i) {
        // Each new name is new: the files of the run before go first.
        QFile::remove(outPath);
        ProcessRun r = runProcess({tool, "resave", archive, out});
        resave.push_back(r.seconds);
        resavePeak = qMax(resavePeak, r.peakKiB);
        ok = ok && r.ok;
        QFile::remove(copyPath);
        r = runProcess({"/bin/cp", archive, copy});
        cp.push_back(r.seconds);
        ok = ok && r.ok;
        r = runProcess({tool, "resave", archive, out});
        replace.push_back(r.seconds);
        resavePeak = qMax(resavePeak, r.peakKiB);
        ok = ok && r.ok;
        r = runProcess({"/bin/sh", "-c", copyAndSync});
        cpSync.push_back(r.seconds);
        ok = ok && r.ok;
        r = runProcess({tool, "check", archive});
        check.push_back(r.seconds);
        checkPeak = qMax(checkPeak, r.peakKiB);
        ok = ok && r.ok;
        r = runProcess({"/bin/cat", archive});
        cat.push_back(r.seconds);
        ok = ok && r.ok;
    }
    // The ratio of each interleaved pair too: its spread shows how much a
    // busy machine moved the figures.
    const auto spread = [](const std::vector<double> &ours, const std::vector<double> &floor) {
        std::vector<double> ratios;
        for (size_t i = 0; i < ours.size(); ++i)
            ratios.push_back(ours[i] / floor[i]);
        std::sort(ratios.begin(), ratios.end());
        return QStringLiteral("%1 (runs %2-%3)")
            .arg(median(ours) / median(floor), 0, 'f', 2)
            .arg(ratios.front(), 0, 'f', 2)
            .arg(ratios.back(), 0, 'f', 2);
    };
    std::printf("whole processes, %s, %.1f MB, medians of %d runs%s\n", qPrintable(QFileInfo(archivePath).fileName()),
                fileMiB, runs, ok ? "" : " (A RUN FAILED)");
    std::printf("  resave to a new name %.3f s, cp %.3f s; replacing %.3f s, cp and sync %.3f s\n", median(resave),
                median(cp), median(replace), median(cpSync));
    std::printf("    resave / cp                     %s  goal 1.30\n", qPrintable(spread(resave, cp)));
    std::printf("    resave replacing / cp and sync  %s  (synced before its rename)\n",
                qPrintable(spread(replace, cpSync)));
    std::printf("    resave replacing / cp           %s\n", qPrintable(spread(replace, cp)));
    std::printf("    peak memory %.1f MB = %.2fx the file\n", resavePeak / 1024.0, resavePeak / 1024.0 / fileMiB);
    std::printf("  check %.3f s, cat %.3f s\n", median(check), median(cat));
    std::printf("    check / cat           %s  goal 1.50\n", qPrintable(spread(check, cat)));
    std::printf("    peak memory %.1f MB = %.2fx the file\n", checkPeak / 1024.0, checkPeak / 1024.0 / fileMiB);
    std::fflush(stdout);
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    scenario(QStringLiteral("1 MB page"), dir.path(), 768 * 1024, 256 * 1024, 4, 5);
    scenario(QStringLiteral("64 MB archive"), dir.path(), 8 * MiB, 56 * MiB, 14, 3);
    wholeProcesses(dir.filePath(QStringLiteral("64 MB archive.mht")), dir.path(), QUILLET_ARCHIVE_EXE, 9);
    // A saved page with thousands of pictures: 100,000 of them, icons and
    // thumbnails of 256 bytes to 4 KB.
    // Made in a child: a child started later would count this process's
    // memory as its own until it runs the program it was started for.
    const QString many = dir.filePath(QStringLiteral("100000 parts.mht"));
    inChild([&] {
        const auto size = [](int, QRandomGenerator &random) { return random.bounded(256, 4097); };
        return writeArchiveFile(makeBenchPage(4 * MiB, 100000, size), many) ? QString() : QStringLiteral("failed");
    });
    if (!QFileInfo::exists(many)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(many));
        return 1;
    }
    wholeProcesses(many, dir.path(), QUILLET_ARCHIVE_EXE, 9);
    return 0;
}
