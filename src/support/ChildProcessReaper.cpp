#include "support/ChildProcessReaper.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>
#endif

#ifdef Q_OS_LINUX
namespace {

struct ProcessEntry
{
    pid_t parent = 0;
    // When it started, so that a number the system has given to a new
    // process since is never mistaken for it.
    unsigned long long started = 0;
};

// Fields 4 (the parent) and 22 (the start time) of /proc/PID/stat.
bool readEntry(pid_t pid, ProcessEntry &entry)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[1024];
    const ssize_t size = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (size <= 0)
        return false;
    text[size] = '\0';
    // The name in parentheses may hold spaces; the fields follow its end.
    const char *field = std::strrchr(text, ')');
    for (int number = 3; field && number <= 22; ++number) {
        field = std::strchr(field + 1, ' ');
        if (field && number == 4)
            entry.parent = pid_t(std::strtol(field + 1, nullptr, 10));
    }
    if (!field)
        return false;
    entry.started = std::strtoull(field + 1, nullptr, 10);
    return true;
}

// Every descendant of root but the watcher itself. The kernel here may not
// list a process's children, so the whole process table is read.
std::map<pid_t, ProcessEntry> descendantsOf(pid_t root)
{
    std::map<pid_t, ProcessEntry> all;
    if (DIR *proc = ::opendir("/proc")) {
        while (const dirent *item = ::readdir(proc)) {
            char *end = nullptr;
            const long pid = std::strtol(item->d_name, &end, 10);
            ProcessEntry entry;
            if (pid > 0 && *end == '\0' && readEntry(pid_t(pid), entry))
                all.emplace(pid_t(pid), entry);
        }
        ::closedir(proc);
    }
    std::map<pid_t, ProcessEntry> found;
    std::vector<pid_t> pending{root};
    const pid_t self = ::getpid();
    while (!pending.empty()) {
        const pid_t parent = pending.back();
        pending.pop_back();
        for (const auto &[pid, entry] : all) {
            if (entry.parent == parent && pid != self && found.emplace(pid, entry).second)
                pending.push_back(pid);
        }
    }
    return found;
}

[[noreturn]] void watch(pid_t program, int lifeline)
{
    // Nothing of the program's: no terminal, no pipe a reader waits on.
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd)
        ::dup2(null, fd);
    const long limit = ::sysconf(_SC_OPEN_MAX);
    for (int fd = 3; fd < (limit > 0 && limit < 65536 ? limit : 65536); ++fd) {
        if (fd != lifeline)
            ::close(fd);
    }
    // The program answers these itself; the watcher goes with the program.
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        std::signal(number, SIG_IGN);
    std::map<pid_t, ProcessEntry> known;
    // Its name says how many processes it would end: "quillet-reap:N".
    const auto showCount = [](std::size_t count) {
        char name[16];
        std::snprintf(name, sizeof name, "quillet-reap:%zu", count);
        ::prctl(PR_SET_NAME, name, 0, 0, 0);
    };
    showCount(0);
    for (;;) {
        pollfd end{lifeline, POLLIN, 0};
        const int ready = ::poll(&end, 1, 500);
        if (ready > 0) {
            // A byte: the program ended as it should, and what it started
            // to outlive it (a restart, a viewer) must live on.
            char byte = 0;
            if (::read(lifeline, &byte, 1) == 1)
                ::_exit(0);
            break;
        }
        if ((ready < 0 && errno != EINTR) || ::getppid() != program)
            break;
        const std::size_t before = known.size();
        known = descendantsOf(program);
        if (known.size() != before)
            showCount(known.size());
    }
    for (const auto &[pid, entry] : known) {
        ProcessEntry now;
        if (readEntry(pid, now) && now.started == entry.started)
            ::kill(pid, SIGKILL);
    }
    ::_exit(0);
}

} // namespace
#endif

ChildProcessReaper::ChildProcessReaper()
{
#ifdef Q_OS_LINUX
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return;
    const pid_t program = ::getpid();
    const pid_t watcher = ::fork();
    if (watcher == 0) {
        ::close(ends[1]);
        watch(program, ends[0]);
    }
    ::close(ends[0]);
    if (watcher < 0) {
        ::close(ends[1]);
        return;
    }
    m_watcher = watcher;
    m_lifeline = ends[1];
#endif
}

ChildProcessReaper::~ChildProcessReaper()
{
#ifdef Q_OS_LINUX
    if (m_lifeline < 0)
        return;
    [[maybe_unused]] const ssize_t written = ::write(m_lifeline, "x", 1);
    ::close(m_lifeline);
#endif
}
