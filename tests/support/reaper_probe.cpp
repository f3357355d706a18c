// Not a test: a program that starts the reaper, then child processes as the
// browser engine does, and waits. tst_childprocessreaper kills it or lets it
// end. Its argument says what to start: "child" or "grandchild".
#include "support/ChildProcessReaper.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
pid_t startSleeper(const char *command)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command, static_cast<char *>(nullptr));
        ::_exit(127);
    }
    return pid;
}
} // namespace

int main(int argc, char **argv)
{
    ChildProcessReaper reaper;
    const char *what = argc > 1 ? argv[1] : "child";
    std::printf("watcher %d\n", int(reaper.watcherPid()));
    if (std::strcmp(what, "grandchild") == 0) {
        // A child that starts a child of its own, as the engine's zygote does.
        std::printf("pid %d\n", int(startSleeper("sleep 300 & echo pid $!; exec sleep 300")));
    } else {
        std::printf("pid %d\n", int(startSleeper("exec sleep 300")));
    }
    std::fflush(stdout);
    // Ends when its input does, as a program that ends as it should.
    char byte;
    while (::read(0, &byte, 1) > 0) {
    }
    return 0;
}
