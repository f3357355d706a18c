#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Measurements in processes of their own, so each peak memory is its own.

struct ChildRun
{
    // The line the work returned.
    QString report;
    double seconds = 0;
    double peakMiB = 0;
};

// Runs work in a forked child: its report line, wall time and peak memory.
inline ChildRun inChild(const std::function<QString()> &work)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {QStringLiteral("pipe failed")};
    std::fflush(nullptr);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const QByteArray line = work().toUtf8();
        (void)!write(fds[1], line.constData(), size_t(line.size()));
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    QByteArray line;
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        line.append(buffer, n);
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return {QString::fromUtf8(line), timer.nsecsElapsed() / 1e9, usage.ru_maxrss / 1024.0};
}

struct ProcessRun
{
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

// Runs a program to its end, its output thrown away, and measures it as a
// whole: wall time and the child's own peak resident memory.
inline ProcessRun runProcess(const std::vector<QByteArray> &argv)
{
    // The child must not write out what the parent has buffered.
    std::fflush(nullptr);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::vector<char *> args;
        for (const QByteArray &a : argv)
            args.push_back(const_cast<char *>(a.constData()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return {timer.nsecsElapsed() / 1e9, usage.ru_maxrss, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}
