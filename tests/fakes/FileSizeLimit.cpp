#include "FileSizeLimit.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

FileSizeLimit::FileSizeLimit(qint64 maxBytes)
{
#ifdef Q_OS_UNIX
    // Without this the kernel ends the process at the first write too many.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    m_previous = limit.rlim_cur;
    limit.rlim_cur = rlim_t(maxBytes);
    m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
#else
    Q_UNUSED(maxBytes);
#endif
}

FileSizeLimit::~FileSizeLimit()
{
#ifdef Q_OS_UNIX
    if (!m_active)
        return;
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_previous);
    setrlimit(RLIMIT_FSIZE, &limit);
#endif
}
