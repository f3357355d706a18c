// Edit mode on a big page, on the real engine offscreen: what the change
// detector costs while nothing changes, as a ratio to one full serialisation
// of the document, and what Save costs, as a ratio to `quillet-archive resave`
// of the same archive, both measured in this run.

#include "BenchArchive.h"
#include "BenchPage.h"
#include "BenchTiming.h"
#include "app/ModeController.h"
#include "app/NavigationController.h"
#include "app/TMainF.h"
#include "archive/MhtmlComposer.h"
#include "archive/MhtmlReader.h"
#include "archive/MhtmlWriter.h"
#include "browser/WebEngineBrowser.h"
#include "marking/TMyStatusBar.h"
#include "shell/GioDesktopAssociation.h"
#include "shell/SystemDesktop.h"
#include "support/ConsoleDialogs.h"
#include "support/RegistryStore.h"
#include "window/MainUi.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int SettleTicks = 5;
constexpr int IdleTicks = 10;
// Each save follows its mark in one of these ways, in turn.
const char *const SaveWhen[] = {"at once after the Mark command", "once the page shows the mark",
                                "a tick after the mark"};
constexpr int Saves = 6;

[[noreturn]] void die(const QString &message)
{
    std::fprintf(stderr, "edit_bench: %s\n", qPrintable(message));
    std::exit(1);
}

// CPU seconds (user + system) used so far by root and every process below
// it: the engine's zygote and renderer processes are children of ours.
double treeCpuSeconds(pid_t root)
{
    struct Entry
    {
        pid_t parent = 0;
        double seconds = 0;
    };
    std::map<pid_t, Entry> processes;
    const double tick = double(sysconf(_SC_CLK_TCK));
    for (const QString &name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const pid_t pid = pid_t(name.toInt(&numeric));
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(name));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // The command name may hold spaces; the fields after it do not.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13)
            continue;
        // After the name: state, ppid, ..., utime is field 14 and stime 15 of the whole line.
        processes[pid] =
            Entry{pid_t(fields.at(1).toInt()), (fields.at(11).toDouble() + fields.at(12).toDouble()) / tick};
    }
    double total = 0;
    for (const auto &[pid, entry] : processes) {
        for (pid_t p = pid; p > 1; p = processes.count(p) ? processes[p].parent : 0) {
            if (p == root) {
                total += entry.seconds;
                break;
            }
        }
    }
    return total;
}

// CPU seconds of the children that have ended and been waited for.
double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double cpuNow()
{
    return treeCpuSeconds(getpid());
}

void waitForTicks(QTimer *timer, int ticks)
{
    int seen = 0;
    QEventLoop loop;
    QObject::connect(timer, &QTimer::timeout, &loop, [&] {
        if (++seen == ticks)
            loop.quit();
    });
    QTimer::singleShot(ticks * timer->interval() * 3 + 10000, &loop, &QEventLoop::quit);
    loop.exec();
    if (seen < ticks)
        die(QStringLiteral("the change timer did not tick"));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    if (!dir.isValid())
        die(QStringLiteral("no temporary folder"));
    const QString archivePath = dir.filePath(QStringLiteral("page.mht"));
    const QString resavedPath = dir.filePath(QStringLiteral("resaved.mht"));
    if (!writeArchiveFile(makeBenchArchive(8 * MiB, 56 * MiB, 14), archivePath))
        die(QStringLiteral("cannot write the archive"));
    // A save syncs its file, and on ext4 that also waits for whatever else
    // is waiting to be written (a build just before, say): flushed here, that
    // is not counted in the first save.
    ::sync();
    std::printf("archive: %.1f MB (8 MB of HTML, 56 MB of pictures)\n", QFile(archivePath).size() / double(MiB));

    const QString tool = QStringLiteral(QUILLET_ARCHIVE_EXE);
    // The CPU time resave used goes to resaveCpu.
    double resaveCpu = 0;
    const auto resave = [&] {
        const double before = childrenCpuSeconds();
        const auto done = qScopeGuard([&] { resaveCpu += childrenCpuSeconds() - before; });
        return seconds([&] {
            QProcess process;
            process.start(tool, {QStringLiteral("resave"), archivePath, resavedPath});
            if (!process.waitForFinished(120000) || process.exitCode() != 0)
                die(QStringLiteral("%1 resave failed").arg(tool));
        });
    };

    const QString home = dir.filePath(QStringLiteral("home"));
    const QString programFolder = dir.filePath(QStringLiteral("program"));
    QDir().mkpath(home);
    QDir().mkpath(programFolder);
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("HOME"), home);
    // No one answers dialogs here: every box is printed and given its default.
    ConsoleDialogs dialogs;
    SystemDesktop desktop(environment, QCoreApplication::applicationFilePath());
    WebEngineBrowser browser(nullptr, programFolder, dir.filePath(QStringLiteral("cache")));
    browser.setScriptTimeout(60000);
    // The association is never switched here; it only completes the window.
    RegistryStore registry(dir.filePath(QStringLiteral("registry.ini")));
    GioDesktopAssociation association;
    TMainF window(TMainF::Services{dialogs, desktop, browser, programFolder, programFolder + QStringLiteral("/quillet"),
                                   registry, association});
    window.resize(1000, 700);
    window.show();
    MainUi &ui = window.ui();

    const double open = seconds([&] { window.navigation().startHitemclicked(archivePath); });
    std::printf("open: %.2f s\n", open);
    ui.emodeMI->trigger();
    if (window.state().SurfMode)
        die(QStringLiteral("edit mode did not start"));

    // Right after the switch the engine may still be busy with it (now and
    // then a garbage collection of over a CPU-second); the idle ticks follow.
    const double settleStart = cpuNow();
    waitForTicks(ui.Timer1, SettleTicks);
    const double settle = cpuNow() - settleStart;
    const double idleStart = cpuNow();
    const double idleWall = seconds([&] { waitForTicks(ui.Timer1, IdleTicks); });
    const double idle = cpuNow() - idleStart;
    // One full serialisation, taken to the program, as the old detector did
    // every tick (past the browser's copy of an unchanged page).
    const auto serialise = [&] {
        return pageAnswer(browser, QStringLiteral("document.documentElement.outerHTML")).toString();
    };
    QList<double> serialisations;
    for (int i = 0; i < 3; ++i) {
        const double before = cpuNow();
        const qsizetype length = serialise().size();
        serialisations.append(cpuNow() - before);
        if (length < 7 * MiB)
            die(QStringLiteral("the page's HTML is too short"));
    }
    const double serialisation = median(serialisations);

    std::printf("one serialisation: %.3f CPU-s (program and engine)\n", serialisation);
    std::printf("first %d ticks in edit mode: %.3f CPU-s\n", SettleTicks, settle);
    std::printf("%d idle ticks: %.3f CPU-s in %.1f s = %.1f%% of a core; ratio to one serialisation %.2f\n", IdleTicks,
                idle, idleWall, 100 * idle / idleWall, idle / serialisation);
    if (ui.SaveMI->isEnabled()) {
        std::printf("warning: Save is enabled on an unchanged page\n");
        window.modes().SetSaveEnabled(false);
    }

    // Selects the first word of a paragraph.
    const auto selectFirstWord = [&](int paragraph) {
        pageAnswer(browser, QStringLiteral("var t = document.querySelectorAll('p')[%1].firstChild;"
                                           " var r = document.createRange(); r.setStart(t, 0);"
                                           " r.setEnd(t, 4); var s = window.getSelection();"
                                           " s.removeAllRanges(); s.addRange(r);")
                                .arg(paragraph));
        if (browser.selectionText() != QStringLiteral("Caf\u00e9"))
            die(QStringLiteral("no word is selected"));
    };
    // ... and marks it with the Mark command, whose wall time goes to markTimes.
    QList<double> markTimes;
    const auto markFirstWord = [&](int paragraph) {
        selectFirstWord(paragraph);
        markTimes.append(seconds([&] { ui.MarkMI->trigger(); }));
    };
    QList<double> resaves;
    QList<double> saveTimes;
    double saveCpu = 0;
    for (int i = 0; i < Saves; ++i) {
        resaves.append(resave());
        markFirstWord(i * 1000);
        if (!ui.SaveMI->isEnabled())
            die(QStringLiteral("the mark did not enable Save"));
        // At once: as the Mark command returns. Once the page shows the mark:
        // after one more answer of the engine (which the Mark command has
        // waited for already). A tick later the change detector has read
        // the changed page.
        if (i % 3 == 1)
            pageAnswer(browser, QStringLiteral("1"));
        else if (i % 3 == 2)
            waitForTicks(ui.Timer1, 1);
        const double cpuBefore = cpuNow();
        saveTimes.append(seconds([&] { ui.SaveMI->trigger(); }));
        saveCpu += cpuNow() - cpuBefore;
        if (!ui.StB1->statusText().startsWith(QStringLiteral("File saved: ")))
            die(QStringLiteral("Save did not report: %1").arg(ui.StB1->statusText()));
        waitForTicks(ui.Timer1, 2);
        if (ui.SaveMI->isEnabled())
            die(QStringLiteral("Save is enabled again after saving"));
    }
    // What the engine spends on showing a mark, after the script that made
    // it and before it answers anything else. The Mark command waits for it.
    selectFirstWord(9000);
    pageAnswer(browser, QStringLiteral("document.execCommand('backColor', false, '#ffff00')"));
    const double busyAfterMark = seconds([&] { pageAnswer(browser, QStringLiteral("1")); });
    std::printf("engine's first answer after a mark made by a script: %.3f s\n", busyAfterMark);

    const MhtmlReadResult saved = MhtmlReader().readFile(archivePath);
    if (qEnvironmentVariableIsSet("EDIT_BENCH_SHOT"))
        window.grab().save(qEnvironmentVariable("EDIT_BENCH_SHOT"));
    if (!saved.ok() || saved.archive.rootHtml().count(QStringLiteral("background-color")) != Saves ||
        saved.archive.parts.size() != 15)
        die(QStringLiteral("the saved archive lacks its marks or pictures"));

    // Where a save's time goes, step by step: the page's HTML whole, as
    // the first read of a page takes it, and after a mark, when the page
    // answers only what changed.
    QString html;
    const double fetch = seconds([&] { html = serialise(); });
    // No tick may read the page in between.
    ui.Timer1->stop();
    browser.documentHtml();
    markFirstWord(9500);
    pageAnswer(browser, QStringLiteral("1"));
    const double changedFetch = seconds([&] { html = browser.documentHtml(); });
    MhtmlReadResult source;
    const double read = seconds([&] { source = MhtmlReader().readFile(archivePath); });
    MhtmlArchive composed;
    const double compose =
        seconds([&] { composed = MhtmlComposer::compose(html, &source.archive, browser.LocationURL()); });
    const double write = seconds([&] { writeArchiveFile(composed, resavedPath); });
    std::printf(
        "save steps: page HTML %.3f s (after a mark %.3f s), source read %.3f s, compose %.3f s, write %.3f s\n", fetch,
        changedFetch, read, compose, write);

    const double baseline = median(resaves);
    std::printf("Mark command: median %.3f s, slowest %.3f s\n", median(markTimes),
                *std::max_element(markTimes.cbegin(), markTimes.cend()));
    const double worst = *std::max_element(saveTimes.cbegin(), saveTimes.cend());
    QStringList resaveTexts;
    for (double t : resaves)
        resaveTexts.append(QString::number(t, 'f', 3));
    std::printf("resave: %s s, median %.3f s\n", qPrintable(resaveTexts.join(QStringLiteral(", "))), baseline);
    for (int i = 0; i < Saves; ++i)
        std::printf("save %d (%s): %.3f s, ratio to resave %.2f\n", i + 1, SaveWhen[i % 3], saveTimes[i],
                    saveTimes[i] / baseline);
    for (int when = 0; when < 3; ++when) {
        double worstHere = 0;
        for (int i = when; i < Saves; i += 3)
            worstHere = std::max(worstHere, saveTimes[i]);
        std::printf("worst save %s: ratio to resave %.2f\n", SaveWhen[when], worstHere / baseline);
    }
    std::printf("worst save: ratio to resave %.2f\n", worst / baseline);
    std::printf("CPU time, program and engine: save %.3f s, resave %.3f s per run, ratio %.2f\n", saveCpu / Saves,
                resaveCpu / Saves, saveCpu / resaveCpu);
    return 0;
}
