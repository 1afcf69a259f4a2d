// Worker processes: fork, wait and the interrupted-write loop that both the workers' pipes and
// the output files need.
#include "cli/workers.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "cli/exitCodes.h"

pid_t startWorker(int (*work)(void* context), void* context)
{
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        // A parent killed outright cannot pass a stop on: the worker then gets SIGTERM of its own
        // and stops as after a stop, keeping its files, instead of working on for nobody. The
        // setting survives exec, so a worker that is this program again is covered too.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) std::raise(SIGTERM);
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
