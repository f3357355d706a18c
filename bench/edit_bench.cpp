// Edit mode on a big page, on the real engine offscreen, each figure next to
// a baseline measured in this run: opening the archive against a bare
// QWebEngineView loading the same file (and Chromium's headless load of it,
// where Chromium is installed); the Mark command against the same
// execCommand sent to the bare view by a plain script, on the big page and
// on a small one; start-up to a visible window with the archive as argument
// against Chromium's with the same file; what the change detector costs
// while nothing changes, as a ratio to one full serialisation of the
// document; and what Save costs, as a ratio to `quillet-archive resave`.
// Opening and marking are also taken apart step by step, each step beside
// the bare engine's where it has one.
// The last two lines, "open ratio: R" and "mark ratio: R", are for scripts.

#include "BenchArchive.h"
#include "BenchPage.h"
#include "BenchTiming.h"
#include "VirtualDisplay.h"
#include "app/ModeController.h"
#include "app/NavigationController.h"
#include "app/TMainF.h"
#include "archive/MhtmlComposer.h"
#include "archive/MhtmlNormalizer.h"
#include "archive/MhtmlReader.h"
#include "archive/MhtmlWriter.h"
#include "archive/QuotedPrintableMemo.h"
#include "browser/CssColor.h"
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
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

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
constexpr int BareMarks = 5;
constexpr int SmallMarks = 15;
constexpr int StartupRuns = 3;
// Chromium as the brief for its baseline has it: no sandbox (we may be
// root), no GPU, nothing fetched, a profile of its own.
const QStringList ChromiumFlags = {QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                                   QStringLiteral("--disable-background-networking"),
                                   QStringLiteral("--disable-component-update"), QStringLiteral("--no-first-run")};

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

// Runs script in the page's application world, as our own scripts run,
// and waits for its value.
QVariant runIn(QWebEnginePage *page, const QString &script)
{
    QVariant result;
    bool answered = false;
    QEventLoop loop;
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant &value) {
        result = value;
        answered = true;
        loop.quit();
    });
    if (!answered) {
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!answered)
        die(QStringLiteral("the page did not answer"));
    return result;
}

// Selects the first word of a paragraph; the word every page here starts with.
QString selectionScript(int paragraph)
{
    return QStringLiteral("var t = document.querySelectorAll('p')[%1].firstChild;"
                          " var r = document.createRange(); r.setStart(t, 0);"
                          " r.setEnd(t, 4); var s = window.getSelection();"
                          " s.removeAllRanges(); s.addRange(r); s.toString()")
        .arg(paragraph);
}
const QString SelectedWord = QStringLiteral("Caf\u00e9");

// The mark the Mark command makes in the default colour, as a plain script
// makes it: the same three document commands, nothing around them.
QString plainMarkScript()
{
    return QStringLiteral("document.execCommand('styleWithCSS', false, true);"
                          " document.execCommand('backColor', false, '%1');"
                          " document.execCommand('styleWithCSS', false, false); true")
        .arg(CssColor::fromValue(255));
}

// The bare engine: a plain view with the engine's default profile and
// nothing of ours, loading path; then, in design mode, marks made by a plain
// script, each timed until the engine answers again (it draws first).
struct BareRun
{
    double open = 0;
    // From the call to the engine's start of the load, and from there to its end.
    double toLoadStart = 0;
    double load = 0;
    double designMode = 0;
    QList<double> marks;
    // Each mark's two steps: the script, and the engine's next answer.
    QList<double> scripts;
    QList<double> frames;
    // The page's HTML read out after the marks: what any save of it waits for.
    double pageHtml = 0;
};
BareRun bareEngine(const QString &path, int marks, int paragraphStep)
{
    BareRun run;
    auto view = std::make_unique<QWebEngineView>();
    view->resize(1000, 700);
    view->show();
    QWebEnginePage *page = view->page();
    bool finished = false;
    QEventLoop loop;
    QElapsedTimer clock;
    QObject::connect(page, &QWebEnginePage::loadStarted, &loop, [&] { run.toLoadStart = clock.nsecsElapsed() / 1e9; });
    QObject::connect(page, &QWebEnginePage::loadFinished, &loop, [&] {
        finished = true;
        run.load = clock.nsecsElapsed() / 1e9 - run.toLoadStart;
        loop.quit();
    });
    clock.start();
    run.open = seconds([&] {
        view->load(QUrl::fromLocalFile(path));
        QTimer::singleShot(600000, &loop, &QEventLoop::quit);
        loop.exec();
    });
    if (!finished)
        die(QStringLiteral("the bare engine did not load the page"));
    if (marks > 0) {
        run.designMode = seconds([&] { runIn(page, QStringLiteral("document.designMode = 'on'; 1")); });
        for (int i = 0; i < marks; ++i) {
            if (runIn(page, selectionScript(i * paragraphStep + 1)).toString() != SelectedWord)
                die(QStringLiteral("no word is selected in the bare engine"));
            const double script = seconds([&] { runIn(page, plainMarkScript()); });
            const double frame = seconds([&] { runIn(page, QStringLiteral("1")); });
            run.scripts.append(script);
            run.frames.append(frame);
            run.marks.append(script + frame);
        }
        if (runIn(page, QStringLiteral("document.querySelectorAll('span[style]').length")).toInt() != marks)
            die(QStringLiteral("the plain script's marks are missing"));
        run.pageHtml = seconds([&] {
            if (runIn(page, QStringLiteral("document.documentElement.outerHTML")).toString().isEmpty())
                die(QStringLiteral("the bare engine gave no HTML"));
        });
    }
    // The engine's processes go with the view, before anything else is timed.
    view.reset();
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();
    return run;
}

// Wall seconds of Chromium loading path headless and printing its DOM.
double chromiumHeadless(const QString &chromium, const QString &path)
{
    QTemporaryDir profile;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const double took = seconds([&] {
        process.start(chromium, QStringList{QStringLiteral("--headless"), QStringLiteral("--dump-dom")} +
                                    ChromiumFlags +
                                    QStringList{QStringLiteral("--user-data-dir=") + profile.path(),
                                                QUrl::fromLocalFile(path).toString()});
        if (!process.waitForFinished(600000) || process.exitCode() != 0)
            die(QStringLiteral("%1 --headless --dump-dom failed").arg(chromium));
    });
    return took;
}

QString ratioText(double ours, double baseline)
{
    return QString::number(ours / baseline, 'f', 2);
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
    const QString smallPath = dir.filePath(QStringLiteral("small.mht"));
    const QString resavedPath = dir.filePath(QStringLiteral("resaved.mht"));
    if (!writeArchiveFile(makeBenchArchive(8 * MiB, 56 * MiB, 14), archivePath) ||
        !writeArchiveFile(makeBenchArchive(36 * 1024, 12 * 1024, 2), smallPath))
        die(QStringLiteral("cannot write the archives"));
    // Every Save replaces its archive, so every resave replaces one too, the
    // first included: a new name is written without a sync.
    if (!QFile::copy(archivePath, resavedPath))
        die(QStringLiteral("cannot write %1").arg(resavedPath));
    // A save syncs its file, and on ext4 that also waits for whatever else
    // is waiting to be written (a build just before, say): flushed here, that
    // is not counted in the first save.
    ::sync();
    std::printf("archive: %.1f MB (8 MB of HTML, 56 MB of pictures); small page: %.1f KB\n",
                QFile(archivePath).size() / double(MiB), QFile(smallPath).size() / 1024.0);

    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString programFolder = dir.filePath(QStringLiteral("program"));
    QDir().mkpath(home);
    QDir().mkpath(programFolder);

    // Start-up first, while no engine of this process holds memory or a core.
    VirtualDisplay display;
    QList<double> startups;
    QList<double> chromiumStartups;
    if (display.isValid()) {
        const QString startupHome = dir.filePath(QStringLiteral("startup-home"));
        const QString startupProgram = dir.filePath(QStringLiteral("startup-program"));
        QDir().mkpath(startupHome);
        QDir().mkpath(startupProgram);
        // A settings file already there: no first-run box comes before the window.
        QFile(startupProgram + QStringLiteral("/quillet.ini")).open(QIODevice::WriteOnly);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), startupHome);
        environment.insert(QStringLiteral("QUILLET_HOME"), startupProgram);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        const QString quillet = QStringLiteral(QUILLET_EXE);
        const auto ours = [&] { return display.secondsToWindow(quillet, {archivePath}, environment); };
        const auto theirs = [&] {
            QTemporaryDir profile;
            return display.secondsToWindow(chromium,
                                           ChromiumFlags +
                                               QStringList{QStringLiteral("--user-data-dir=") + profile.path(),
                                                           QUrl::fromLocalFile(archivePath).toString()},
                                           environment);
        };
        // The first run of each reads its libraries from disk.
        ours();
        if (!chromium.isEmpty())
            theirs();
        for (int i = 0; i < StartupRuns; ++i) {
            const std::optional<double> mine = ours();
            if (!mine)
                die(QStringLiteral("quillet showed no window"));
            startups.append(*mine);
            if (!chromium.isEmpty()) {
                if (const std::optional<double> other = theirs())
                    chromiumStartups.append(*other);
            }
        }
    }

    QList<double> chromiumLoads;
    if (!chromium.isEmpty()) {
        for (int i = 0; i < 2; ++i)
            chromiumLoads.append(chromiumHeadless(chromium, archivePath));
    }

    // The engine's start in this process is no one's opening; then the
    // small page, the bare engine's marks and ours.
    bareEngine(smallPath, 0, 0);
    const BareRun bareSmall = bareEngine(smallPath, SmallMarks, 20);

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
    // An opening, step by step: from the command to the engine's start of
    // the load (the archive check), the load itself, from its end to surf
    // mode (the wait for it and the histories), and surf mode's own steps.
    struct OpenSteps
    {
        double total = 0;
        double toLoadStart = 0;
        double load = 0;
        double toSurfMode = 0;
        double surfMode = 0;
    };
    QList<OpenSteps> openSteps;
    QWebEnginePage *ourPage = qobject_cast<QWebEngineView *>(browser.widget())->page();
    const auto openFile = [&](const QString &path) {
        OpenSteps steps;
        double started = 0;
        double finished = 0;
        double surf = 0;
        QElapsedTimer clock;
        QObject watcher;
        QObject::connect(ourPage, &QWebEnginePage::loadStarted, &watcher,
                         [&] { started = clock.nsecsElapsed() / 1e9; });
        QObject::connect(ourPage, &QWebEnginePage::loadFinished, &watcher,
                         [&] { finished = clock.nsecsElapsed() / 1e9; });
        QObject::connect(ui.StB1, &QStatusBar::messageChanged, &watcher, [&](const QString &text) {
            if (text == QStringLiteral("Surfing mode ON. Edit mode OFF"))
                surf = clock.nsecsElapsed() / 1e9;
        });
        clock.start();
        window.navigation().startHitemclicked(path);
        steps.total = clock.nsecsElapsed() / 1e9;
        steps.toLoadStart = started;
        steps.load = finished - started;
        steps.toSurfMode = surf - finished;
        steps.surfMode = steps.total - surf;
        openSteps.append(steps);
        return steps.total;
    };

    // Selects the first word of a paragraph ...
    const auto selectFirstWord = [&](int paragraph) {
        pageAnswer(browser, selectionScript(paragraph));
        if (browser.selectionText() != SelectedWord)
            die(QStringLiteral("no word is selected"));
    };
    // ... and marks it with the Mark command, whose wall time goes to marks.
    const auto markFirstWord = [&](int paragraph, QList<double> &marks) {
        selectFirstWord(paragraph);
        marks.append(seconds([&] { ui.MarkMI->trigger(); }));
    };
    const double smallOpen = openFile(smallPath);
    ui.emodeMI->trigger();
    if (window.state().SurfMode)
        die(QStringLiteral("edit mode did not start on the small page"));
    QList<double> smallMarks;
    for (int i = 0; i < SmallMarks; ++i)
        markFirstWord(i * 20 + 1, smallMarks);

    // Files are opened in surf mode (the commands are off in edit mode).
    window.modes().seteditmode(true);
    const BareRun bareBig = bareEngine(archivePath, BareMarks, 1000);
    // The check an opening makes before the engine starts, on its own.
    QList<double> checks;
    for (int i = 0; i < 3; ++i) {
        checks.append(seconds([&] {
            QString error;
            if (MhtmlNormalizer::engineReadyPath(archivePath, dir.filePath(QStringLiteral("check")), &error) !=
                archivePath)
                die(QStringLiteral("the archive needs a copy: %1").arg(error));
        }));
    }
    QList<double> opens{openFile(archivePath)};
    const OpenSteps firstBigOpen = openSteps.last();
    const double editModeOn = seconds([&] { ui.emodeMI->trigger(); });
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

    if (ui.SaveMI->isEnabled()) {
        std::printf("warning: Save is enabled on an unchanged page\n");
        window.modes().SetSaveEnabled(false);
    }

    // The Mark command as the plain script's marks are made: one after the
    // other, on the same paragraphs, on a page busy with nothing else. The
    // marks before the saves below follow a resave's and a save's writes.
    QList<double> bigMarks;
    for (int i = 0; i < BareMarks; ++i)
        markFirstWord(i * 1000 + 1, bigMarks);

    QList<double> markTimes;
    QList<double> resaves;
    QList<double> saveTimes;
    double saveCpu = 0;
    for (int i = 0; i < Saves; ++i) {
        resaves.append(resave());
        markFirstWord(i * 1000, markTimes);
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
    pageAnswer(browser, plainMarkScript());
    const double busyAfterMark = seconds([&] { pageAnswer(browser, QStringLiteral("1")); });

    const MhtmlReadResult saved = MhtmlReader().readFile(archivePath);
    if (qEnvironmentVariableIsSet("EDIT_BENCH_SHOT"))
        window.grab().save(qEnvironmentVariable("EDIT_BENCH_SHOT"));
    if (!saved.ok() || saved.archive.rootHtml().count(QStringLiteral("background-color")) != BareMarks + Saves ||
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
    QList<double> unusedMark;
    markFirstWord(9500, unusedMark);
    pageAnswer(browser, QStringLiteral("1"));
    const double changedFetch = seconds([&] { html = browser.documentHtml(); });
    // The Mark command step by step on the big page: the selection read (a
    // caller's, not the command's), the same execCommand as a plain script
    // on our page and the engine's next answer (its drawing), what the
    // command changes in the window, and the detector's read afterwards.
    QList<double> selectionReads, ourScripts, ourFrames, windowSteps, detectorReads;
    QString markedHtml;
    for (int i = 0; i < 3; ++i) {
        selectFirstWord(9600 + 50 * i);
        selectionReads.append(seconds([&] { browser.selectionText(); }));
        ourScripts.append(seconds([&] { pageAnswer(browser, plainMarkScript()); }));
        ourFrames.append(seconds([&] { pageAnswer(browser, QStringLiteral("1")); }));
        windowSteps.append(seconds([&] { window.modes().SetSaveEnabled(true); }));
        detectorReads.append(seconds([&] { markedHtml = browser.documentHtml(); }));
    }
    MhtmlReadResult source;
    const double read = seconds([&] { source = MhtmlReader().readFile(archivePath); });
    MhtmlArchive composed;
    const double compose =
        seconds([&] { composed = MhtmlComposer::compose(html, &source.archive, browser.LocationURL()); });
    const double write = seconds([&] { writeArchiveFile(composed, resavedPath); });
    // Composed with the root encoded, as Save does: whole, as the first save
    // after an opening, and again after three marks, as a later save.
    QuotedPrintableMemo rootEncoding;
    const double encodeWhole =
        seconds([&] { MhtmlComposer::compose(html, &source.archive, browser.LocationURL(), &rootEncoding); });
    const double encodeAgain =
        seconds([&] { MhtmlComposer::compose(markedHtml, &source.archive, browser.LocationURL(), &rootEncoding); });

    // The second opening of each, the bare engine's first.
    window.modes().seteditmode(true);
    const BareRun bareBigAgainRun = bareEngine(archivePath, 0, 0);
    const double bareBigAgain = bareBigAgainRun.open;
    opens.append(openFile(archivePath));
    const OpenSteps secondBigOpen = openSteps.last();
    // What the detector's snapshot on entering edit mode costs: the first
    // read of a freshly opened page.
    const double firstRead = seconds([&] { browser.documentHtml(); });

    const auto list = [](const QList<double> &values) {
        QStringList texts;
        for (double t : values)
            texts.append(QString::number(t, 'f', 3));
        return texts.join(QStringLiteral(", "));
    };
    const double bareOpen = std::min(bareBig.open, bareBigAgain);
    const double ourOpen = *std::min_element(opens.cbegin(), opens.cend());
    std::printf("open: %s s; bare engine: %.3f, %.3f s; ratio of the fastest %s\n", qPrintable(list(opens)),
                bareBig.open, bareBigAgain, qPrintable(ratioText(ourOpen, bareOpen)));
    if (!chromiumLoads.isEmpty()) {
        // The bare engine's ratio beside ours: what the engine itself takes.
        const double fastest = *std::min_element(chromiumLoads.cbegin(), chromiumLoads.cend());
        std::printf("Chromium headless load (--dump-dom, start-up included): %s s; ours to the fastest %s,"
                    " the bare engine's %s\n",
                    qPrintable(list(chromiumLoads)), qPrintable(ratioText(ourOpen, fastest)),
                    qPrintable(ratioText(bareOpen, fastest)));
    } else
        std::printf("Chromium headless load: not measured (no chromium installed)\n");
    std::printf(
        "open of the small page: %.3f s (the documented 100 ms pause of surf mode included); bare engine %.3f s\n",
        smallOpen, bareSmall.open);
    if (!startups.isEmpty() && !chromiumStartups.isEmpty())
        std::printf("start-up to a visible window: %s s; Chromium: %s s; ratio of the medians %s\n",
                    qPrintable(list(startups)), qPrintable(list(chromiumStartups)),
                    qPrintable(ratioText(median(startups), median(chromiumStartups))));
    else if (!startups.isEmpty())
        std::printf("start-up to a visible window: %s s; Chromium not measured\n", qPrintable(list(startups)));
    else
        std::printf("start-up: not measured (no Xvfb)\n");
    std::printf("edit mode on: %.3f s (the documented 100 ms pause included); bare engine's design mode on %.3f s\n",
                editModeOn, bareBig.designMode);

    std::printf("one serialisation: %.3f CPU-s (program and engine)\n", serialisation);
    std::printf("first %d ticks in edit mode: %.3f CPU-s\n", SettleTicks, settle);
    std::printf("%d idle ticks: %.3f CPU-s in %.1f s = %.1f%% of a core; ratio to one serialisation %.2f\n", IdleTicks,
                idle, idleWall, 100 * idle / idleWall, idle / serialisation);
    std::printf("engine's first answer after a mark made by a script: %.3f s\n", busyAfterMark);
    std::printf(
        "save steps: page HTML %.3f s (after a mark %.3f s), source read %.3f s, compose %.3f s, write %.3f s\n", fetch,
        changedFetch, read, compose, write);
    std::printf("compose with the root encoded: whole %.3f s, again after three marks %.3f s\n", encodeWhole,
                encodeAgain);

    // The steps, in the order an opening and a mark take them.
    std::printf("opening the big archive, step by step (first, second opening; bare engine first, second):\n");
    std::printf("  archive check (maps the file; copy needed: no): %s s\n", qPrintable(list(checks)));
    std::printf("  command to the engine's load start: %.3f, %.3f s; bare %.3f, %.3f s\n", firstBigOpen.toLoadStart,
                secondBigOpen.toLoadStart, bareBig.toLoadStart, bareBigAgainRun.toLoadStart);
    std::printf("  engine's load (parse, layout, pictures): %.3f, %.3f s; bare %.3f, %.3f s\n", firstBigOpen.load,
                secondBigOpen.load, bareBig.load, bareBigAgainRun.load);
    std::printf("  load end to surf mode (the wait's poll, histories): %.3f, %.3f s\n", firstBigOpen.toSurfMode,
                secondBigOpen.toSurfMode);
    std::printf("  surf mode (the documented 100 ms pause, design mode off): %.3f, %.3f s\n", firstBigOpen.surfMode,
                secondBigOpen.surfMode);
    std::printf("  edit mode on: %.3f s = the documented 100 ms pause, the detector's snapshot (a first read"
                " of the page: %.3f s), design mode on (bare %.3f s)\n",
                editModeOn, firstRead, bareBig.designMode);
    std::printf("marking on the big page, step by step:\n");
    std::printf("  selection read (before the command): %s s\n", qPrintable(list(selectionReads)));
    std::printf("  execCommand on our page: %s s; bare %s s\n", qPrintable(list(ourScripts)),
                qPrintable(list(bareBig.scripts)));
    std::printf("  engine's next answer (its drawing) on our page: %s s; bare %s s\n", qPrintable(list(ourFrames)),
                qPrintable(list(bareBig.frames)));
    std::printf("  status and Save state: %s s\n", qPrintable(list(windowSteps)));
    std::printf("  detector's read after the mark (not in the command): %s s\n", qPrintable(list(detectorReads)));

    const double bigMarkRatio = median(bigMarks) / median(bareBig.marks);
    const double smallMarkRatio = median(smallMarks) / median(bareSmall.marks);
    std::printf("Mark command: %s s, median %.3f s; plain script's mark: %s s, median %.3f s; ratio %.2f\n",
                qPrintable(list(bigMarks)), median(bigMarks), qPrintable(list(bareBig.marks)), median(bareBig.marks),
                bigMarkRatio);
    std::printf("Mark command before each save (after a resave and a save): %s s, median %.3f s\n",
                qPrintable(list(markTimes)), median(markTimes));
    std::printf("Mark command on the small page: %s s, median %.4f s; plain script's mark: %s s, median %.4f s;"
                " ratio %.2f\n",
                qPrintable(list(smallMarks)), median(smallMarks), qPrintable(list(bareSmall.marks)),
                median(bareSmall.marks), smallMarkRatio);

    const double baseline = median(resaves);
    const double worst = *std::max_element(saveTimes.cbegin(), saveTimes.cend());
    std::printf("resave: %s s, median %.3f s\n", qPrintable(list(resaves)), baseline);
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
    // A save at once after a mark cannot take less than reading the page out
    // of the engine; the bare engine's read, beside the resave, shows that floor.
    std::printf("the bare engine's page HTML after its marks: %.3f s, ratio to resave %.2f\n", bareBig.pageHtml,
                bareBig.pageHtml / baseline);
    std::printf("CPU time, program and engine: save %.3f s, resave %.3f s per run, ratio %.2f\n", saveCpu / Saves,
                resaveCpu / Saves, saveCpu / resaveCpu);
    std::printf("open ratio: %.2f\n", ourOpen / bareOpen);
    std::printf("mark ratio: %.2f\n", std::max(bigMarkRatio, smallMarkRatio));
    return 0;
}
