// Worker processes: fork, wait and the interrupted-write loop that both the workers' pipes and
// the output files need.
#include "cli/workers.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "cli/exitCodes.h"

pid_t startWorker(int (*work)(void* context), void* context)
{
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        // A parent killed outright (SIGKILL, the out-of-memory killer) must not leave its workers
        // computing for hours into files nobody merges: the system sends them SIGTERM then, and
        // each stops as on any SIGTERM, the instance in hand finished and its files kept valid.
        // The request survives an exec (the program is not set-user-ID). The parent may have died
        // before it was made: the worker then has another parent already and ends at once.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(exitSignalBase + SIGTERM);
        // _exit: the worker must not run the parent's exit handlers or flush its copies of the streams.
        _exit(work(context));
    }
    return pid;
}

int reapWorker(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : exitSignalBase + WTERMSIG(status);
}

bool writeAllTo(int fd, const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        ssize_t n = write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}
