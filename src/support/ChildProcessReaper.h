#pragma once

#include <sys/types.h>

// Ends the program's child processes, and theirs, when the program ends
// without ending them, as after kill -9: the browser engine's helper
// processes would otherwise live on, each holding its memory. A small
// watcher process, forked before the program starts any thread, notes the
// program's descendants twice a second and kills those still there once the
// program has died. Its process name, "quillet-reap:N", says how many it
// would end now.
class ChildProcessReaper
{
public:
    // Starts the watcher. Call first thing in main(): forking is only safe
    // while the program has one thread.
    ChildProcessReaper();
    // The program ends as it should: the watcher ends too, killing nothing.
    ~ChildProcessReaper();
    ChildProcessReaper(const ChildProcessReaper &) = delete;
    ChildProcessReaper &operator=(const ChildProcessReaper &) = delete;

    // -1 where there is none (not Linux, or it could not start).
    pid_t watcherPid() const { return m_watcher; }

private:
    // Held open by the program alone: the watcher reads a byte when the
    // program ends as it should, and the pipe's end when it dies.
    int m_lifeline = -1;
    pid_t m_watcher = -1;
};
