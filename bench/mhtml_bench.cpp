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
// interleaved so a busy machine slows both alike. cp does not sync its copy
// to the disk, the atomic writer must: the copy followed by a sync of it is
// shown beside it.
void wholeProcesses(const QString &archivePath, const QString &folder, const char *tool, int runs)
{
    const QByteArray archive = archivePath.toLocal8Bit();
    const QByteArray out = QDir(folder).filePath(QStringLiteral("resaved.mht")).toLocal8Bit();
    const QByteArray copy = QDir(folder).filePath(QStringLiteral("copied.mht")).toLocal8Bit();
    const QByteArray copyAndSync = "cp '" + archive + "' '" + copy + "' && sync '" + copy + "'";
    const double fileMiB = QFileInfo(archivePath).size() / double(MiB);
    std::vector<double> resave, cp, cpSync, check, cat;
    long resavePeak = 0;
    long checkPeak = 0;
    bool ok = true;
    for (int i = 0; i < runs; ++i) {
        ProcessRun r = runProcess({tool, "resave", archive, out});
        resave.push_back(r.seconds);
        resavePeak = qMax(resavePeak, r.peakKiB);
        ok = ok && r.ok;
        r = runProcess({"/bin/cp", archive, copy});
        cp.push_back(r.seconds);
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
    std::printf("whole processes, %s, %.1f MB, medians of %d runs%s\n", qPrintable(QFileInfo(archivePath).fileName()),
                fileMiB, runs, ok ? "" : " (A RUN FAILED)");
    std::printf("  resave %.3f s, cp %.3f s, ratio %.2f (cp and sync %.3f s, ratio %.2f); peak memory %.1f MB = "
                "%.2fx the file\n",
                median(resave), median(cp), median(resave) / median(cp), median(cpSync),
                median(resave) / median(cpSync), resavePeak / 1024.0, resavePeak / 1024.0 / fileMiB);
    std::printf("  check %.3f s, cat %.3f s, ratio %.2f; peak memory %.1f MB = %.2fx the file\n", median(check),
                median(cat), median(check) / median(cat), checkPeak / 1024.0, checkPeak / 1024.0 / fileMiB);
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
